#!/usr/bin/env bash
# Runs a command on Xorg with the dummy video driver and two outputs of
# different sizes side by side: DUMMY0 at 1280x720 on the left, DUMMY1 at
# 1024x768 right of it (a mode the first does not offer). Exits 77
# (the tests' "skipped") when Xorg cannot start here, and says why.
set -uo pipefail
if ! command -v Xorg >/dev/null || ! command -v xrandr >/dev/null; then
  echo "with_dummy_xorg: Xorg or xrandr is not installed: skipped"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/xorg.conf" <<'CONF'
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoAddGPU" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 262144
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0 - 1000.0
  VertRefresh 5.0 - 200.0
  Modeline "1280x720" 74.25 1280 1390 1430 1650 720 725 730 750 +hsync +vsync
  Modeline "1024x768" 65.00 1024 1048 1184 1344 768 771 777 806 -hsync -vsync
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Modes "1280x720" "1024x768"
    Virtual 2304 768
  EndSubSection
EndSection
CONF

# The first free display number from 90 up.
number=90
while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do
  number=$((number + 1))
done
Xorg ":$number" -config "$work/xorg.conf" -logfile "$work/xorg.log" -nolisten tcp -noreset \
  -novtswitch -sharevts >"$work/xorg.out" 2>&1 &
xorg=$!
stop_xorg() {
  kill "$xorg" 2>/dev/null
  wait "$xorg" 2>/dev/null
  rm -rf "$work"
}
trap stop_xorg EXIT
export DISPLAY=":$number"
for _ in $(seq 1 100); do
  if xrandr >/dev/null 2>&1; then break; fi
  if ! kill -0 "$xorg" 2>/dev/null; then break; fi
  sleep 0.05
done
if ! xrandr >/dev/null 2>&1; then
  echo "with_dummy_xorg: Xorg with the dummy driver cannot start here: skipped"
  tail -n 5 "$work/xorg.log" 2>/dev/null
  exit 77
fi
xrandr --addmode DUMMY1 1024x768 &&
  xrandr --output DUMMY0 --mode 1280x720 --pos 0x0 --output DUMMY1 --mode 1024x768 --right-of DUMMY0 ||
  { echo "with_dummy_xorg: cannot set up the second output"; exit 1; }
xrandr >/dev/null  # once more: SDL may otherwise still see the output as disconnected
"$@"
