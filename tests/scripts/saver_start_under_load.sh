#!/usr/bin/env bash
# Starts "klx-saver /s" right after a fresh Xvfb comes up, several times,
# while busy loops hold every core: each start must open its windows. (A
# start that dropped its only display connection for a moment let the X
# server reset itself, and the next connection then failed now and then.)
# Usage: saver_start_under_load.sh PATH-TO-KLX-SAVER [RUNS]
set -uo pipefail
saver=$1
runs=${2:-8}
if ! command -v xvfb-run >/dev/null || ! command -v xdotool >/dev/null; then
  echo "saver_start_under_load: Xvfb or xdotool is missing: skipped"
  exit 77
fi
home=$(mktemp -d)
loads=()
cleanup() {
  [ ${#loads[@]} -gt 0 ] && kill "${loads[@]}" 2>/dev/null
  rm -rf "$home"
}
trap cleanup EXIT
export XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" KLX_NO_MESSAGE_BOXES=1 ALSOFT_DRIVERS=null
log="$XDG_DATA_HOME/VELMORA Studio/KLXLog.txt"

cores=$(nproc 2>/dev/null || echo 2)
for _ in $(seq 1 $((cores * 3))); do
  (while :; do :; done) &
  loads+=($!)
done

failures=0
for run in $(seq 1 "$runs"); do
  rm -f "$log"
  # The saver runs until it has opened its windows (or given up), then a
  # key ends it.
  xvfb-run -a -s "-screen 0 1280x720x24 -nolisten tcp" bash -c '
    "$1" /s >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 1 100); do
      iconv -f CP1251 -t UTF-8 "$2" 2>/dev/null | grep -q "Окна скринсейвера созданы\|Невозможно" && break
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    for _ in $(seq 1 20); do
      kill -0 "$pid" 2>/dev/null || break
      xdotool key space 2>/dev/null
      sleep 0.3
    done
    kill "$pid" 2>/dev/null
    wait "$pid"' start "$saver" "$log"
  text=$(iconv -f CP1251 -t UTF-8 "$log" 2>/dev/null)
  if ! grep -qF "Окна скринсейвера созданы." <<<"$text" || grep -qF "ERROR." <<<"$text"; then
    failures=$((failures + 1))
    echo "run $run: the saver did not start; its log:"
    echo "$text" | grep -F "ERROR." | head -n 5
  fi
done
echo "saver_start_under_load: $((runs - failures)) of $runs starts opened their windows"
[ "$failures" -eq 0 ]
