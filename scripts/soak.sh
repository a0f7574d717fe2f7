#!/usr/bin/env bash
# Plays klx-saver /s for MINUTES under Xvfb at 1280x720 with OpenAL Soft's
# wave output, then ends it with a key, and prints one line a minute:
# resident memory, the frame rate over that minute and the device's copies
# of resources (both from the saver's log), open file descriptors and
# threads. Then it checks what a long run must hold to:
#   - resident memory grows under 5 % from the end of the first minute;
#   - each minute's frame rate is within 10 % of the first minute's
#     (with --steady-fps; the views differ in cost, so by default this is
#     only reported);
#   - file descriptors and threads do not grow after the first minute, and
#     the device's copies do not grow once every view has been shown (the
#     sets take about four minutes);
#   - no error line in the log, exit status 0, the log closed.
# Usage: scripts/soak.sh MINUTES [PATH-TO-KLX-SAVER] [--steady-fps]
# A run under three minutes (CI plays one) samples every 20 s and checks
# everything but the memory growth, which needs minutes to settle.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:?usage: soak.sh MINUTES [PATH-TO-KLX-SAVER] [--steady-fps]}
saver=${2:-$root/build/bin/klx-saver}
steady_fps=${3:-}
if [ -z "${KLX_SOAK_INNER:-}" ]; then
  # Again, on an X server of its own.
  KLX_SOAK_INNER=1 exec "$root/tests/scripts/with_xvfb.sh" "$0" "$minutes" "$saver" "$steady_fps"
fi
unset SDL_VIDEODRIVER
. "$root/tests/scripts/saver_run_env.sh"
printf '[wave]\nfile=%s\n' "$home/sound.wav" >"$home/alsoft.conf"
export ALSOFT_CONF="$home/alsoft.conf" ALSOFT_DRIVERS=wave

"$saver" /s >/dev/null 2>&1 &
pid=$!
step=60
awk -v m="$minutes" 'BEGIN { exit !(m < 3) }' && step=20
samples=$(awk -v m="$minutes" -v s="$step" 'BEGIN { n = int(m * 60 / s + 0.5); if (n < 1) n = 1; print n }')
# Samples count from about when play starts (load, cache and the pause).
sleep 5
printf '%6s %8s %8s %8s %6s %8s\n' second rss_MB fps objects fds threads
declare -a rss fps objects fds threads
for ((i = 1; i <= samples; i++)); do
  sleep "$step"
  if ! kill -0 "$pid" 2>/dev/null; then
    fail "the saver ended by itself before second $((i * step))"
    break
  fi
  rss[i]=$(awk '/^VmRSS/ { printf "%.1f", $2 / 1024 }' "/proc/$pid/status")
  fds[i]=$(find "/proc/$pid/fd" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l)
  threads[i]=$(awk '/^Threads/ { print $2 }' "/proc/$pid/status")
  # The saver's own line for its last full minute.
  line=$(log_text | grep "^INFO. Минута " | tail -1)
  fps[i]=$(sed -n 's/.*: \([0-9.]*\) кадров в секунду.*/\1/p' <<<"$line")
  objects[i]=$(sed -n 's/.*объектов устройства \([0-9]*\)\..*/\1/p' <<<"$line")
  printf '%6s %8s %8s %8s %6s %8s\n' $((i * step)) "${rss[i]}" "${fps[i]:--}" "${objects[i]:--}" "${fds[i]}" "${threads[i]}"
done

# A key ends the run (sent again until the process goes).
for _ in $(seq 1 40); do
  xdotool mousemove 300 300 key space 2>/dev/null
  for _ in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || break 2
    sleep 0.01
  done
done
if kill -0 "$pid" 2>/dev/null; then
  kill "$pid"
  fail "the saver did not stop on a key"
fi
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "the saver exited with $status"
text=$(log_text)
grep -q "^ERROR\." <<<"$text" && fail "the log holds errors: $(grep "^ERROR\." <<<"$text" | sort | uniq -c | head -5)"
grep -qxF "INFO. Конец лога." <<<"$text" || fail "the log has no closing line"

last=${#rss[@]}
if [ "$last" -ge 2 ]; then
  if [ "$step" -eq 60 ]; then
    growth=$(awk -v a="${rss[1]}" -v b="${rss[last]}" 'BEGIN { printf "%.1f", 100 * (b - a) / a }')
    echo "resident memory from minute 1 to $last: ${rss[1]} -> ${rss[last]} MB ($growth %)"
    awk -v g="$growth" 'BEGIN { exit !(g < 5) }' || fail "resident memory grew $growth % after the first minute"
  fi
  for ((i = 2; i <= last; i++)); do
    [ "${fds[i]}" -le "${fds[1]}" ] || fail "file descriptors grew: ${fds[1]}, then ${fds[i]} at second $((i * step))"
    [ "${threads[i]}" -le "${threads[1]}" ] || fail "threads grew: ${threads[1]}, then ${threads[i]} at second $((i * step))"
    if [ -n "${fps[1]}" ] && [ -n "${fps[i]}" ]; then
      off=$(awk -v a="${fps[1]}" -v b="${fps[i]}" 'BEGIN { d = 100 * (b - a) / a; if (d < 0) d = -d; printf "%.0f", d }')
      if [ "$off" -gt 10 ]; then
        if [ "$steady_fps" = "--steady-fps" ]; then
          fail "the frame rate at second $((i * step)) (${fps[i]}) is $off % off the first minute's (${fps[1]})"
        else
          echo "note: the frame rate at second $((i * step)) (${fps[i]}) is $off % off the first minute's (${fps[1]})"
        fi
      fi
    fi
  done
  if [ "$step" -eq 60 ] && [ "$last" -ge 6 ]; then
    # Every view has been shown by minute 5: from then on, no new copies.
    for ((i = 6; i <= last; i++)); do
      [ "${objects[i]:-0}" -le "${objects[5]:-0}" ] ||
        fail "device copies grew after every view was shown: ${objects[5]} at minute 5, ${objects[i]} at minute $i"
    done
  fi
fi
if [ "$failures" -ne 0 ]; then
  echo "soak: $failures failures"
  exit 1
fi
echo "soak: all checks passed"
