#!/usr/bin/env bash
# Runs klx-saver /s through faults of the machine it plays on, and checks
# that each run plays on, ends on a key with exit status 0, and leaves a log
# that says what happened and ends with its normal last line:
#   no-sound      no audio output can be opened: the run is silent;
#   sound-lost    the audio output goes away while the scene plays (OpenAL
#                 Soft's wave backend writing into /dev/full fails at its
#                 first block, as an unplugged headset would);
#   display-lost  one of two displays is switched off while the scene plays
#                 (run it on with_dummy_xorg.sh's two outputs).
# Usage: saver_faults_test.sh PATH-TO-KLX-SAVER CASE...
set -uo pipefail
saver=$1
shift
. "$(dirname "$0")/require_tools.sh"
require_tools saver_faults_test xdotool import
. "$(dirname "$0")/saver_run_env.sh"

pid=
# start_saver NAME: starts /s and waits until the scene plays.
start_saver() {
  rm -f "$log"
  "$saver" /s >"$home/$1.out" 2>&1 &
  pid=$!
  if ! wait_for_line "Сейвер создан." 180; then
    kill -9 "$pid" 2>/dev/null
    fail "$1: the scene never started"
    return 1
  fi
}

# finish_saver NAME [ALLOWED-ERROR]: the run must still be going; a key
# ends it. Error lines other than the allowed one fail the case.
finish_saver() {
  local name=$1 allowed=${2:-}
  if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid"
    fail "$name: the saver ended by itself (status $?): $(log_text | tail -n 3)"
    return
  fi
  xdotool key Escape
  local deadline=$(($(now_ms) + 15000))
  while kill -0 "$pid" 2>/dev/null && [ "$(now_ms)" -lt "$deadline" ]; do sleep 0.05; done
  if kill -0 "$pid" 2>/dev/null; then
    kill -9 "$pid"
    fail "$name: still running 15 s after a key"
    return
  fi
  wait "$pid"
  local status=$?
  [ "$status" -eq 0 ] || fail "$name: exit status $status"
  local errors
  errors=$(log_text | grep "^ERROR\." | { if [ -n "$allowed" ]; then grep -vF -- "$allowed"; else cat; fi; })
  [ -z "$errors" ] || fail "$name: unexpected errors: $(head -n 3 <<<"$errors")"
  [ "$(log_text | tail -n 1)" = "INFO. Конец лога." ] || fail "$name: the log does not end with its last line"
  echo "$name: played on, exit status $status"
}

# window_changes SECONDS: true when the saver's first window shows other
# pixels after the interval, that is, the scene is still being drawn.
window_changes() {
  local window
  window=$(xdotool search --pid "$pid" 2>/dev/null | head -n 1)
  [ -n "$window" ] || return 1
  local first second
  first=$(import -window "$window" ppm:- 2>/dev/null | md5sum)
  sleep "$1"
  second=$(import -window "$window" ppm:- 2>/dev/null | md5sum)
  [ "$first" != "$second" ]
}

"$saver" /a 1 >/dev/null 2>&1  # the store's first run writes the defaults
for case in "$@"; do
  case $case in
    no-sound)
      # A driver list that names no driver: OpenAL Soft opens nothing.
      if ALSOFT_DRIVERS=none start_saver "$case"; then
        sleep 2
        window_changes 1 || fail "$case: the window did not change over a second"
        grep -qF "ERROR. Невозможно инициализировать звук." <<<"$(log_text)" ||
          fail "$case: the log does not say that sound could not start"
        finish_saver "$case" "Невозможно инициализировать звук."
      fi
      ;;
    sound-lost)
      printf '[wave]\nfile=/dev/full\n' >"$home/alsoft.conf"
      if ALSOFT_DRIVERS=wave ALSOFT_CONF="$home/alsoft.conf" start_saver "$case"; then
        wait_for_line "Звуковое устройство потеряно. Работа продолжается без звука." 10 ||
          fail "$case: the log does not tell of the lost device"
        sleep 2
        window_changes 1 || fail "$case: the window did not change over a second"
        finish_saver "$case"
      fi
      ;;
    display-lost)
      if [ "$(xrandr --listmonitors | sed -n 's/^Monitors: //p')" != 2 ]; then
        fail "$case: needs two displays, the X server has $(xrandr --listmonitors | head -n 1)"
        continue
      fi
      if ALSOFT_DRIVERS=null start_saver "$case"; then
        sleep 2
        second=$(xrandr | awk '/ connected/ { name = $1 } END { print name }')
        xrandr --output "$second" --off || fail "$case: xrandr could not switch $second off"
        sleep 3
        [ "$(xrandr --listmonitors | sed -n 's/^Monitors: //p')" = 1 ] || fail "$case: $second is still on"
        window_changes 1 || fail "$case: the remaining window did not change over a second"
        finish_saver "$case"
        xrandr --output "$second" --auto --right-of "$(xrandr | awk '/ connected/ { print $1; exit }')"
      fi
      ;;
    *)
      fail "unknown case $case"
      ;;
  esac
done

if [ "$failures" -gt 0 ]; then
  echo "saver_faults_test: $failures failure(s)"
  exit 1
fi
echo "saver_faults_test: all checks passed"
