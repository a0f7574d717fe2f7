#!/usr/bin/env bash
# Plays klx-saver /s on the current X display with OpenAL Soft's wave output
# and checks what a user would: the scene is on screen after the loading
# picture, the run goes on for SECONDS without an error line, a key ends it
# promptly with exit code 0, and the sound written holds the music (heard
# alone with SFX off, and silence with both off). Reports the start times,
# the key-to-exit time, and the resident memory and processor time at the
# end of the run.
# Usage: saver_plays_test.sh PATH-TO-KLX-SAVER [SECONDS] [SCREENSHOT.png]
set -uo pipefail
saver=$1
seconds=${2:-60}
screenshot=${3:-}
. "$(dirname "$0")/require_tools.sh"
require_tools saver_plays_test xdotool import convert sox
. "$(dirname "$0")/saver_run_env.sh"
store="$XDG_CONFIG_HOME/VELMORA Studio/3D Screensaver/settings"
wave="$home/sound.wav"
printf '[wave]\nfile=%s\n' "$wave" >"$home/alsoft.conf"
export ALSOFT_CONF="$home/alsoft.conf" ALSOFT_DRIVERS=wave
# wait_for_line TEXT LIMIT-SECONDS (in place of the shared one, which only
# answers yes or no): milliseconds until the log holds TEXT
# (polled every 10 ms), or nothing when it did not come in time.
wait_for_line() {
  local start deadline
  start=$(now_ms)
  deadline=$((start + $2 * 1000))
  while [ "$(now_ms)" -lt "$deadline" ]; do
    if grep -qF -- "$1" <<<"$(log_text)"; then
      echo $(($(now_ms) - start))
      return 0
    fi
    sleep 0.01
  done
  return 1
}
# The root mean square of the wave file's samples (0 to 1).
wave_rms() { sox "$wave" -n stat 2>&1 | awk '/RMS +amplitude/ { print $3 }'; }

# Processor seconds the process has used (user and system).
cpu_seconds() {
  awk -v tick="$(getconf CLK_TCK)" '{ sub(/^.*\) /, ""); printf "%.2f", ($12 + $13) / tick }' "/proc/$1/stat" 2>/dev/null
}

# play SECONDS: starts the saver, plays, ends it with a key. Sets pid,
# status, started_ms, loading_ms, first_frame_ms, exit_ms, rss_kb and
# cpu_s (processor seconds from the first frame to the end of play).
play() {
  rm -f "$wave" "$log"
  local begin
  begin=$(now_ms)
  "$saver" /s >/dev/null 2>&1 &
  pid=$!
  loading_ms=$(wait_for_line "LoadingTexture Loaded" 60) || loading_ms=
  first_frame_ms=$(wait_for_line "Сейвер создан." 120) || first_frame_ms=
  [ -n "$first_frame_ms" ] && first_frame_ms=$(($(now_ms) - begin))
  local cpu_at_first_frame
  cpu_at_first_frame=$(cpu_seconds "$pid")
  [ -n "$loading_ms" ] || fail "no loading screen within a minute"
  [ -n "$first_frame_ms" ] || fail "no scene within two minutes"
  if [ -n "$screenshot" ] && [ "$1" -ge 4 ]; then
    # Three shots a second apart at the end, the brightest kept: a cut
    # between views fades through black for a moment, and one shot may
    # fall into it.
    sleep $(($1 - 2))
    local best=-1 shot mean
    for shot in 1 2 3; do
      import -window root "$screenshot.$shot.png" 2>/dev/null
      mean=$(convert "$screenshot.$shot.png" -colorspace Gray -format '%[fx:mean]' info: 2>/dev/null || echo 0)
      if awk -v m="$mean" -v b="$best" 'BEGIN { exit !(m > b) }'; then
        best=$mean
        cp "$screenshot.$shot.png" "$screenshot"
      fi
      rm -f "$screenshot.$shot.png"
      [ "$shot" -lt 3 ] && sleep 1
    done
  else
    sleep "$1"
  fi
  rss_kb=$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status" 2>/dev/null)
  cpu_s=$(awk -v a="${cpu_at_first_frame:-0}" -v b="$(cpu_seconds "$pid")" 'BEGIN { printf "%.1f", b - a }')
  # The key ends the run; the time to exit is measured from it. A key is
  # sent again every half second, in case the first came to no window.
  local key_sent
  key_sent=$(now_ms)
  status=124
  for _ in $(seq 1 40); do
    xdotool mousemove 300 300 key space 2>/dev/null
    for _ in $(seq 1 50); do
      if ! kill -0 "$pid" 2>/dev/null; then break 2; fi
      sleep 0.01
    done
  done
  exit_ms=$(($(now_ms) - key_sent))
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid"
    fail "klx-saver /s did not stop on a key"
  else
    wait "$pid"
    status=$?
  fi
  [ "$status" -eq 0 ] || fail "klx-saver /s exited with $status"
}

# The store's first run writes the defaults; then Music and SFX are on.
"$saver" /a 1 >/dev/null 2>&1
sed -i -e 's/^Music=.*/Music=1/' -e 's/^SFX=.*/SFX=1/' -e 's/^ShowTime=.*/ShowTime=1/' "$store"

# The long run, with a screenshot a few seconds in.
play "$seconds"
grep -q "ERROR\." <<<"$(log_text)" && fail "the log holds errors: $(grep "ERROR\." <<<"$(log_text)" | head -3)"
grep -qxF "INFO. Работа скринсейвера завершена корректно." <<<"$(log_text)" || fail "the run did not end well"
grep -qxF "INFO. Конец лога." <<<"$(log_text)" || fail "the log has no closing line"
all_rms=$(wave_rms)
echo "start to loading screen: ${loading_ms:-?} ms; start to first frame: ${first_frame_ms:-?} ms (1000 ms pause included)"
echo "key to exit: ${exit_ms} ms (1000 ms shutdown pause included); resident memory after ${seconds} s: ${rss_kb:-?} kB"
echo "processor time over ${seconds} s of play: ${cpu_s:-?} s"
echo "sound RMS with music and effects: ${all_rms:-none}"
if [ -n "$screenshot" ] && [ -f "$screenshot" ]; then
  # Not the black of an empty frame, nor the loading picture's.
  mean=$(convert "$screenshot" -colorspace Gray -format '%[fx:mean]' info:)
  echo "screenshot mean brightness: $mean"
  awk -v m="$mean" 'BEGIN { exit !(m > 0.08) }' || fail "the screenshot is dark (mean $mean)"
fi

# Music alone, then nothing.
sed -i -e 's/^SFX=.*/SFX=0/' "$store"
play 4
music_rms=$(wave_rms)
sed -i -e 's/^Music=.*/Music=0/' "$store"
play 3
silent_rms=$(wave_rms)
echo "sound RMS with music alone: ${music_rms:-none}; with neither: ${silent_rms:-none}"
awk -v a="${all_rms:-0}" 'BEGIN { exit !(a > 0.005) }' || fail "the long run wrote no sound"
awk -v a="${music_rms:-0}" 'BEGIN { exit !(a > 0.005) }' || fail "no music with SFX off"
awk -v a="${silent_rms:-1}" 'BEGIN { exit !(a < 0.0005) }' || fail "sound with Music and SFX off"

if [ "$failures" -ne 0 ]; then
  echo "--- last log:"
  log_text | grep -v "^INFO. Класс"
  exit 1
fi
echo "saver_plays_test: all checks passed"
