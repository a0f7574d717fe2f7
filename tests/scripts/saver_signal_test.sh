#!/usr/bin/env bash
# Ends klx-saver with SIGTERM or SIGINT in each phase (the loading picture,
# the caching, the play) and in the settings dialog, as a screen blanker
# ends its hacks, and checks each run: the process is gone within the limit
# (the shutdown's 1 s pause included), exits with 0, and its log holds no
# error and ends with its normal last lines.
# Usage: saver_signal_test.sh PATH-TO-KLX-SAVER [LIMIT-MS]
set -uo pipefail
saver=$1
limit=${2:-1500}
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" HOME="$home" KLX_NO_MESSAGE_BOXES=1
export LANG=C LC_ALL= ALSOFT_DRIVERS=null
if ! command -v xdotool >/dev/null; then
  echo "saver_signal_test: xdotool is not installed: skipped"
  exit 77
fi
log="$XDG_DATA_HOME/VELMORA Studio/KLXLog.txt"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
log_text() { iconv -f CP1251 -t UTF-8 "$log" 2>/dev/null; }
now_ms() { date +%s%3N; }
wait_for_line() {
  local deadline=$(($(now_ms) + $2 * 1000))
  while [ "$(now_ms)" -lt "$deadline" ]; do
    grep -qF -- "$1" <<<"$(log_text)" && return 0
    sleep 0.01
  done
  return 1
}

# stop_at SWITCH LINE SIGNAL [DELAY]: starts the saver, waits for the log
# line (and the delay in seconds, or for the settings dialog to show with
# "dialog"), sends the signal and times the end.
stop_at() {
  local switch=$1 line=$2 signal=$3 delay=${4:-0}
  rm -f "$log"
  "$saver" "$switch" >/dev/null 2>&1 &
  local pid=$!
  if ! wait_for_line "$line" 120; then
    kill -9 "$pid" 2>/dev/null
    fail "$switch: the log never said \"$line\""
    return
  fi
  if [ "$delay" = dialog ]; then
    # The settings dialog: signalled once it shows.
    local window=
    for _ in $(seq 1 600); do
      window=$(xdotool search --name "Configuration" 2>/dev/null | head -n 1)
      [ -n "$window" ] && break
      sleep 0.1
    done
    [ -n "$window" ] || fail "$switch: no settings dialog within a minute"
  else
    sleep "$delay"
  fi
  local sent
  sent=$(now_ms)
  kill -"$signal" "$pid"
  while kill -0 "$pid" 2>/dev/null && [ $(($(now_ms) - sent)) -lt 10000 ]; do sleep 0.01; done
  local took=$(($(now_ms) - sent))
  if kill -0 "$pid" 2>/dev/null; then
    kill -9 "$pid"
    fail "$switch, SIG$signal at \"$line\": still running after 10 s"
    return
  fi
  wait "$pid"
  local status=$?
  echo "$switch, SIG$signal at \"$line\": gone in $took ms, exit status $status"
  [ "$took" -le "$limit" ] || fail "$switch, SIG$signal at \"$line\": took $took ms (limit $limit)"
  [ "$status" -eq 0 ] || fail "$switch, SIG$signal at \"$line\": exit status $status"
  grep -q "^ERROR\." <<<"$(log_text)" && fail "$switch: the log holds errors: $(grep "^ERROR\." <<<"$(log_text)" | head -2)"
  [ "$(log_text | tail -n 1)" = "INFO. Конец лога." ] || fail "$switch: the log does not end with its last line"
}

"$saver" /a 1 >/dev/null 2>&1  # the store's first run writes the defaults
stop_at /s "LoadingTexture Loaded" TERM
stop_at /s "Кеширование..." TERM
stop_at /s "Сейвер создан." TERM 1
stop_at /s "Сейвер создан." INT 1
stop_at /c "Запущен режим конфигурирования." TERM dialog

if [ "$failures" -gt 0 ]; then
  echo "saver_signal_test: $failures failure(s)"
  exit 1
fi
echo "saver_signal_test: all checks passed"
