#!/usr/bin/env bash
# The preview (in a small window of its own, as without a host) and the
# settings dialog draw their picture once and then wait: over SECONDS of
# nothing changing, each must use under 1 % of a processor core. Prints each
# one's share. Usage: idle_cpu_test.sh PATH-TO-KLX-SAVER [SECONDS] [SETTLE]
# (SETTLE: seconds left for the start before measuring, 3 by default).
set -uo pipefail
saver=$1
seconds=${2:-10}
settle=${3:-3}
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" HOME="$home" KLX_NO_MESSAGE_BOXES=1
export ALSOFT_DRIVERS=null
failures=0

# Processor ticks (user and system) the process has used.
ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat" 2>/dev/null; }

# measure NAME ARGS...: starts the saver, lets it settle, then takes its
# processor share over SECONDS.
measure() {
  local name=$1
  shift
  "$saver" "$@" >/dev/null 2>&1 &
  local pid=$!
  sleep "$settle"
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "FAIL: klx-saver $* ended before it could be measured"
    failures=$((failures + 1))
    return
  fi
  local before after
  before=$(ticks "$pid")
  sleep "$seconds"
  after=$(ticks "$pid")
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  local share
  share=$(awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" -v s="$seconds" 'BEGIN { printf "%.2f", 100 * t / hz / s }')
  echo "$name: $share % of a core over $seconds s"
  if ! awk -v p="$share" 'BEGIN { exit !(p < 1.0) }'; then
    echo "FAIL: $name uses $share % of a core while nothing changes"
    failures=$((failures + 1))
  fi
}

measure "preview" /p
measure "settings dialog" /c
[ "$failures" -eq 0 ] && echo "idle_cpu_test: all checks passed"
exit $((failures != 0))
