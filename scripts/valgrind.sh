#!/usr/bin/env bash
# Runs klx-saver /s under valgrind's memcheck on its own Xvfb for SECONDS of
# play after the first scene frame, then ends it with SIGTERM (the normal
# shutdown) and prints memcheck's summary: every error, and the leaks that
# are definite. Reports that come from third-party libraries and are not
# faults are suppressed by scripts/valgrind.supp, each with its reason.
# Usage: scripts/valgrind.sh [SECONDS] [PATH-TO-KLX-SAVER]   (60 by default)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
play=${1:-60}
saver=${2:-$root/build/bin/klx-saver}
if [ -z "${KLX_VALGRIND_INNER:-}" ]; then
  KLX_VALGRIND_INNER=1 exec "$root/tests/scripts/with_xvfb.sh" "$0" "$play" "$saver"
fi
command -v valgrind >/dev/null || { echo "valgrind is not installed"; exit 77; }
unset SDL_VIDEODRIVER
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" HOME="$home" KLX_NO_MESSAGE_BOXES=1
export ALSOFT_DRIVERS=null NO_AT_BRIDGE=1
log="$XDG_DATA_HOME/VELMORA Studio/KLXLog.txt"
# --smc-check: llvmpipe runs code it has just compiled.
valgrind --tool=memcheck --smc-check=all-non-file --leak-check=full --show-leak-kinds=definite \
  --errors-for-leak-kinds=definite --num-callers=30 --suppressions="$root/scripts/valgrind.supp" \
  --log-file="$home/memcheck.%p.txt" "$saver" /s &
pid=$!
# One report a process: a child the libraries fork writes its own.
report="$home/memcheck.$pid.txt"
start=$(date +%s)
until iconv -f CP1251 -t UTF-8 "$log" 2>/dev/null | grep -q "Сейвер создан."; do
  sleep 1
  kill -0 "$pid" 2>/dev/null || break
  [ $(($(date +%s) - start)) -lt 900 ] || break
done
echo "first scene frame after $(($(date +%s) - start)) s under memcheck"
sleep "$play"
kill -TERM "$pid" 2>/dev/null
wait "$pid"
status=$?
echo "exit status $status after $(($(date +%s) - start)) s"
grep -E "ERROR SUMMARY|definitely lost:" "$report" | sed 's/^==[0-9]*== //'
# Every error context in full, for the reader.
awk '/^==[0-9]+== (Invalid|Conditional|Use of|Syscall|Mismatched|Source and|[0-9,]+ bytes in [0-9,]+ blocks are definitely)/,/^==[0-9]+== $/' "$report"
errors=$(sed -n 's/.*ERROR SUMMARY: \([0-9]*\) errors.*/\1/p' "$report" | head -1)
[ "$status" -eq 0 ] && [ "${errors:-1}" -eq 0 ]
