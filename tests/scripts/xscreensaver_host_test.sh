#!/usr/bin/env bash
# Runs klx-saver as a hack of the real XScreenSaver daemon: the daemon is
# set up (in a scratch home, as an unprivileged user: it refuses to start
# hacks as root) to run only our hack, activated with xscreensaver-command,
# and the screen must then show the valley; deactivated, our process must
# end within 1.5 s with a complete log. Prints the time from activation to
# the saver's first scene frame and the hack's resident memory.
#
# Usage: xscreensaver_host_test.sh PATH-TO-KLX-SAVER
# Without DISPLAY it starts its own Xvfb; with KLX_HOST_TEST_DISPLAY=:N it
# uses that server (Xorg with two dummy outputs, for one hack per monitor).
# Exits 77 (skipped) where the daemon or an X server is not installed.
set -uo pipefail
saver=$1
limit_ms=${KLX_STOP_LIMIT_MS:-1500}
. "$(dirname "$0")/require_tools.sh"
require_tools xscreensaver_host_test xscreensaver xscreensaver-command import convert
if [ ! -x /usr/libexec/xscreensaver/xscreensaver-gl-visual ]; then
  echo "xscreensaver_host_test: xscreensaver-gl (the GL visual probe) is not installed: skipped"
  exit 77
fi

work=$(mktemp -d)
chmod 755 "$work"
server=
daemon=
cleanup() {
  [ -n "$daemon" ] && kill "$daemon" 2>/dev/null
  pkill -f "$work/klx-saver" 2>/dev/null
  [ -n "$server" ] && kill "$server" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The hack and its home belong to the user the daemon runs as: nobody when
# this runs as root, this user otherwise. The program is copied so that
# that user can reach it wherever the build lies.
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
cp "$saver" "$work/klx-saver"
mkdir -p "$work/home"
cat >"$work/home/.xscreensaver" <<CONF
mode:		one
selected:	0
timeout:	0:30:00
lock:		False
fade:		False
unfade:		False
splash:		False
dpmsEnabled:	False
programs:	GL: $work/klx-saver --root \\n
CONF
[ "$(id -u)" -eq 0 ] && chown -R nobody:nogroup "$work/home"

if [ -n "${KLX_HOST_TEST_DISPLAY:-}" ]; then
  display=$KLX_HOST_TEST_DISPLAY
else
  if ! command -v Xvfb >/dev/null; then
    echo "xscreensaver_host_test: Xvfb is not installed: skipped"
    exit 77
  fi
  number=80
  while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do number=$((number + 1)); done
  display=":$number"
  # -ac: the unprivileged user may connect.
  Xvfb "$display" -ac -screen 0 1280x720x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  server=$!
  for _ in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X$number" ] && break
    sleep 0.05
  done
fi

# Runs a command as the daemon's user in the scratch home.
user_env() {
  env -i HOME="$work/home" DISPLAY="$display" PATH=/usr/bin:/bin XDG_RUNTIME_DIR="$work/home" \
    KLX_NO_MESSAGE_BOXES=1 ALSOFT_DRIVERS=null "${as_user[@]}" "$@"
}
user_env xscreensaver --no-splash --verbose >"$work/daemon.log" 2>&1 &
daemon=$!
for _ in $(seq 1 100); do
  user_env xscreensaver-command -version >/dev/null 2>&1 && break
  sleep 0.1
done
log=$(echo "$work/home/.local/share/VELMORA Studio/KLXLog.txt")
log_text() { iconv -f CP1251 -t UTF-8 "$log" 2>/dev/null; }

now_ms() { date +%s%3N; }
activated=$(now_ms)
user_env xscreensaver-command -activate >/dev/null 2>&1 || fail "xscreensaver-command -activate failed"
started=
for _ in $(seq 1 600); do
  if grep -qF "Сейвер создан." <<<"$(log_text)"; then
    started=$(now_ms)
    break
  fi
  sleep 0.05
done
pids=$(pgrep -f "$work/klx-saver" | tr '\n' ' ')
if [ -z "$started" ]; then
  fail "the hack did not start playing within 30 s (processes: ${pids:-none})"
else
  echo "activation to the first scene frame: $((started - activated)) ms"
  [ -n "$pids" ] || fail "no klx-saver process runs"
  sleep 3
  for pid in $pids; do
    echo "klx-saver $pid resident memory: $(awk '/VmRSS/ { print $2, $3 }' "/proc/$pid/status" 2>/dev/null)"
  done
  import -display "$display" -window root "$work/screen.png" 2>/dev/null
  colours=$(convert "$work/screen.png" -format '%k' info: 2>/dev/null || echo 0)
  mean=$(convert "$work/screen.png" -colorspace Gray -format '%[fx:mean]' info: 2>/dev/null || echo 0)
  echo "screen: $colours colours, mean brightness $mean"
  [ "$colours" -gt 500 ] || fail "the screen shows $colours colours: not the valley"
  awk -v m="$mean" 'BEGIN { exit !(m > 0.05) }' || fail "the screen is dark (mean $mean)"
  [ -n "${KLX_HOST_TEST_SHOT:-}" ] && cp "$work/screen.png" "$KLX_HOST_TEST_SHOT"
fi

deactivated=$(now_ms)
user_env xscreensaver-command -deactivate >/dev/null 2>&1 || fail "xscreensaver-command -deactivate failed"
ended=
for _ in $(seq 1 200); do
  if ! pgrep -f "$work/klx-saver" >/dev/null; then
    ended=$(now_ms)
    break
  fi
  sleep 0.02
done
if [ -z "$ended" ]; then
  fail "klx-saver still runs 4 s after the deactivation"
else
  echo "deactivation to the hack's exit: $((ended - deactivated)) ms"
  [ $((ended - deactivated)) -le "$limit_ms" ] || fail "the hack took over $limit_ms ms to end"
fi
text=$(log_text)
# The daemon names the window of every hack it starts (one per monitor).
named=0
for window in $(grep -o 'on window 0x[0-9a-f]*' "$work/daemon.log" | cut -d' ' -f3); do
  grep -qxF "INFO. Вывод в окно хоста $window." <<<"$text" && named=1
done
[ "$named" -eq 1 ] || fail "the log does not name a window the daemon made"
grep -qxF "INFO. Получен сигнал остановки." <<<"$text" || fail "the log lacks the stop signal"
grep -qxF "INFO. Работа скринсейвера завершена корректно." <<<"$text" || fail "the run did not end well"
[ "$(tail -n 1 <<<"$text")" = "INFO. Конец лога." ] || fail "the log's last line is \"$(tail -n 1 <<<"$text")\""
if grep -q "^ERROR\." <<<"$text"; then fail "the log holds errors"; fi

if [ "$failures" -ne 0 ]; then
  echo "--- the daemon's log:"
  tail -n 30 "$work/daemon.log"
  echo "--- the hack's log ($(ls -l "$log" 2>&1)):"
  grep -v "^INFO. Класс" <<<"$text" | tail -n 60
  exit 1
fi
echo "xscreensaver_host_test: all checks passed"
