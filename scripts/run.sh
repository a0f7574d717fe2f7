#!/usr/bin/env bash
# Sets the project up on a fresh Debian 12 machine (packages, build) and runs
# the screensaver full screen ("/s", or the switches given). With no display
# it runs on a private Xvfb display. Afterwards it prints the program's log
# (Windows-1251 on disk, shown as UTF-8).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh

args=("$@")
[ ${#args[@]} -eq 0 ] && args=(/s)
status=0
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  build/bin/klx-saver "${args[@]}" || status=$?
else
  echo "run: no display, using Xvfb for ${KLX_RUN_SECONDS:-10} seconds"
  KLX_NO_MESSAGE_BOXES=1 xvfb-run -a -s "-screen 0 1280x720x24 -nolisten tcp" bash -c '
    build/bin/klx-saver "$@" &
    pid=$!
    sleep "${KLX_RUN_SECONDS:-10}"
    import -window root build/klx-saver-screen.png 2>/dev/null || true
    xdotool mousemove 10 10 key space 2>/dev/null || kill "$pid"
    wait "$pid"' run "${args[@]}" || status=$?
fi
log="${XDG_DATA_HOME:-$HOME/.local/share}/VELMORA Studio/KLXLog.txt"
if [ -f "$log" ]; then
  echo "run: klx-saver exited with $status; its log ($log):"
  iconv -f CP1251 -t UTF-8 "$log"
fi
exit "$status"
