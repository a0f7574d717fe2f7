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
export ALSOFT_DRIVERS=null
. "$(dirname "$0")/require_tools.sh"
require_tools saver_signal_test xdotool
. "$(dirname "$0")/saver_run_env.sh"

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
