#!/usr/bin/env bash
# Measures the engine and the saver on this machine and prints one table
# (Markdown): each figure with its unit and, where a peer or an aim exists,
# that beside it, measured in the same run. About ten minutes.
#   - klx_bench: RAR 2.0 against unar, the JPEG codec against libjpeg-turbo
#     called directly, scene load, update + cull, skinning, particles, the
#     demo's frames at 1280x720 on the offscreen driver, every camera view;
#   - perf (when installed): the engine's own share of a frame's processor
#     time, apart from the GL driver's;
#   - the saver under Xvfb: start to loading screen and to first frame, key
#     to exit, resident memory and processor time over a minute of play;
#   - the preview and the settings dialog: processor share while waiting.
# Usage: scripts/bench.sh [BUILD-FOLDER]   (default: build; built first)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
if ! cmake --build "$build" --target klx_bench klx-saver >/dev/null; then
  echo "bench: the build failed" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ALSOFT_DRIVERS=null SDL_VIDEODRIVER=offscreen LC_ALL=C
bench=$build/bin/klx_bench
say() { echo "bench: $*" >&2; }

say "klx_bench (about six minutes)"
"$bench" --benchmark_filter='BM_Rar2DecodeMixed20MB/|BM_JpegDecode|BM_SceneLoad/100000|BM_SceneUpdateAndCull/100000|BM_SkinBlendSimd|BM_ParticleUpdate/1|BM_SaverLoadAndCache|BM_SaverFrame/0/|BM_DemoCameraView' \
  >"$work/bench.txt" 2>"$work/bench.err" || say "klx_bench failed: $(tail -3 "$work/bench.err")"

# line NAME: the result line of the benchmark whose name starts with NAME.
line() { grep -m1 "^$1" "$work/bench.txt"; }
# counter NAME KEY: a user counter, its SI prefix applied ("92.3ns" is
# 9.23e-08, "106M/s" is 1.06e+08).
counter() {
  line "$1" | awk -v key="$2" '{
    for (i = 1; i <= NF; i++) {
      if (index($i, key "=") != 1) continue
      v = substr($i, length(key) + 2)
      match(v, /^[-0-9.e+]+/)
      n = substr(v, 1, RLENGTH); p = substr(v, RLENGTH + 1, 1)
      f = p == "k" ? 1e3 : p == "M" ? 1e6 : p == "G" ? 1e9 : p == "m" ? 1e-3 : p == "u" ? 1e-6 : p == "n" ? 1e-9 : 1
      printf "%.6g", n * f
      exit
    }
  }'
}
# milliseconds NAME [COLUMN]: real time (column 2) or processor time
# (column 4) of one iteration in milliseconds.
milliseconds() {
  line "$1" | awk -v c="${2:-2}" '{
    u = $(c + 1); f = u == "ns" ? 1e-6 : u == "us" ? 1e-3 : u == "s" ? 1e3 : 1
    printf "%.6g", $c * f
  }'
}
# fmt PRINTF-FORMAT VALUE...: formats numbers, "n/a" when one is missing.
fmt() {
  local format=$1
  shift
  for v in "$@"; do [ -n "$v" ] || { echo "n/a"; return; }; done
  # shellcheck disable=SC2059
  LC_ALL=C printf "$format" "$@"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b == "" || b == 0) print ""; else printf "%.3g", a / b }'; }

rar_ours=$(counter BM_Rar2DecodeMixed20MB/ bytes_per_second)
rar_unar=$(counter BM_Rar2DecodeMixed20MB/ unar_MBps)
[ -n "$rar_ours" ] && rar_ours=$(awk -v b="$rar_ours" 'BEGIN { printf "%.4g", b / 1e6 }')
jpeg_codec=$(milliseconds BM_JpegDecodeCodec2048)
jpeg_lib=$(milliseconds BM_JpegDecodeLibjpeg2048)
load_ns=$(counter BM_SceneLoad/100000 ns_per_node)
cull_ns=$(counter BM_SceneUpdateAndCull/100000 ns_per_node)
skin_rate=$(counter BM_SkinBlendSimd vertices/s)
particles_ms=$(milliseconds BM_ParticleUpdate/1)
load_ms=$(milliseconds BM_SaverLoadAndCache)
frame_fps=$(counter BM_SaverFrame/0/ fps)
frame_cpu_ms=$(milliseconds BM_SaverFrame/0/ 4)
# The view with the lowest frame rate.
worst=$(grep "^BM_DemoCameraView" "$work/bench.txt" | awk '{
  for (i = 1; i <= NF; i++) if (index($i, "fps=") == 1) { f = substr($i, 5) + 0; if (min == "" || f < min) { min = f; view = $NF } }
} END { if (min != "") printf "%s %.1f", view, min }')
best=$(grep "^BM_DemoCameraView" "$work/bench.txt" | awk '{
  for (i = 1; i <= NF; i++) if (index($i, "fps=") == 1) { f = substr($i, 5) + 0; if (f > max) max = f }
} END { if (max != "") printf "%.1f", max }')

# The engine's own processor time in a frame: perf's samples of the main
# thread that fall in the program's own code (not in the GL driver, the C
# library or the sound), over the 300 frames of the demo (the load of the
# scene before them included, so an upper bound).
engine_ms=
if command -v perf >/dev/null; then
  say "perf over the demo's frames"
  if perf record -q -F 1000 -o "$work/perf.data" -- "$bench" --benchmark_filter='BM_SaverFrame/0/' >/dev/null 2>&1; then
    engine_ms=$(perf report -i "$work/perf.data" --sort pid,dso -n --stdio 2>/dev/null |
      awk '$3 ~ /^[0-9]+:klx_bench$/ {
          split($3, t, ":"); tid = t[1] + 0
          if (main == "" || tid < main) main = tid
          if ($4 == "klx_bench") own[tid] += $2
        }
        END { if (main != "") printf "%.2f", own[main] / 300 }')
  fi
fi

# The saver and its dialogs draw on an X server of their own, not offscreen.
unset SDL_VIDEODRIVER
say "the saver under Xvfb for a minute"
"$root/tests/scripts/with_xvfb.sh" "$root/tests/scripts/saver_plays_test.sh" "$build/bin/klx-saver" 60 \
  >"$work/saver.txt" 2>&1 || say "the saver's run reported a failure: $(grep FAIL "$work/saver.txt" | head -3)"
loading_ms=$(sed -n 's/^start to loading screen: \([0-9]*\) ms.*/\1/p' "$work/saver.txt")
first_ms=$(sed -n 's/.*start to first frame: \([0-9]*\) ms.*/\1/p' "$work/saver.txt")
exit_ms=$(sed -n 's/^key to exit: \([0-9]*\) ms.*/\1/p' "$work/saver.txt")
rss_mb=$(sed -n 's/.*resident memory after [0-9]* s: \([0-9]*\) kB.*/\1/p' "$work/saver.txt" | awk '{ printf "%.0f", $1 / 1024 }')
cpu_s=$(sed -n 's/^processor time over [0-9]* s of play: \([0-9.]*\) s.*/\1/p' "$work/saver.txt")

say "the preview and the settings dialog, 30 s each"
"$root/tests/scripts/with_xvfb.sh" "$root/tests/scripts/idle_cpu_test.sh" "$build/bin/klx-saver" 30 >"$work/idle.txt" 2>&1
preview_pct=$(sed -n 's/^preview: \([0-9.]*\) %.*/\1/p' "$work/idle.txt")
dialog_pct=$(sed -n 's/^settings dialog: \([0-9.]*\) %.*/\1/p' "$work/idle.txt")

cores=$(nproc)
renderer=$(glxinfo -B 2>/dev/null | sed -n 's/^OpenGL renderer string: //p' | head -1)
echo "Measured $(date -u +%Y-%m-%d) on $cores cores, $(awk '/MemTotal/ { printf "%.0f GB", $2 / 1048576 }' /proc/meminfo)${renderer:+, $renderer}; the saver under Xvfb at 1280×720."
echo
echo "| What | Figure | Beside it |"
echo "|---|---|---|"
echo "| RAR 2.0 decoding, 20 MB mixed files | $(fmt '%.0f MB/s' "$rar_ours") | unar $(fmt '%.0f MB/s' "$rar_unar"): $(fmt '%.2f×' "$(ratio "$rar_ours" "$rar_unar")") |"
echo "| JPEG 2048×2048 through the codec | $(fmt '%.1f ms' "$jpeg_codec") | libjpeg-turbo directly $(fmt '%.1f ms' "$jpeg_lib"): $(fmt '%.2f×' "$(ratio "$jpeg_codec" "$jpeg_lib")") the time |"
echo "| Scene load, 100k nodes | $(fmt '%.0f ns a node' "$(awk -v s="$load_ns" 'BEGIN { if (s != "") print s * 1e9 }')") | |"
echo "| Update + cull, 100k nodes | $(fmt '%.0f ns a node' "$(awk -v s="$cull_ns" 'BEGIN { if (s != "") print s * 1e9 }')") | aim: under 100 |"
echo "| Skinning on the processor (SSE2) | $(fmt '%.0f M vertices/s' "$(awk -v s="$skin_rate" 'BEGIN { if (s != "") print s / 1e6 }')") | |"
echo "| 10,000 particles updated and written | $(fmt '%.2f ms' "$particles_ms") | |"
echo "| The demo loaded and its textures uploaded | $(fmt '%.0f ms' "$load_ms") | |"
echo "| Demo frames, 1280×720 offscreen, every effect | $(fmt '%.1f fps' "$frame_fps") | aim: 30 |"
echo "| The costliest view (held at its start) | $(fmt '%s: %s fps' ${worst:-}) | the cheapest: $(fmt '%s fps' "$best") |"
echo "| Engine's own processor time a frame (perf) | $(fmt '%s ms' "$engine_ms") | of $(fmt '%.1f ms' "$frame_cpu_ms") on the main thread; aim: under 2 |"
echo "| Start to loading screen | $(fmt '%s ms' "$loading_ms") | |"
echo "| Start to first scene frame | $(fmt '%s ms' "$first_ms") | aim: 1 s + the 1 s caching pause |"
echo "| Key press to exit | $(fmt '%s ms' "$exit_ms") | aim: 150 ms + the 1 s shutdown pause |"
echo "| Resident memory after a minute | $(fmt '%s MB' "$rss_mb") | aim: under 200 |"
echo "| Processor time a minute of play | $(fmt '%s s' "$cpu_s") | of $((cores * 60)) s on $cores cores |"
echo "| Preview waiting | $(fmt '%s %% of a core' "$preview_pct") | aim: under 1 % |"
echo "| Settings dialog waiting | $(fmt '%s %% of a core' "$dialog_pct") | aim: under 1 % |"
