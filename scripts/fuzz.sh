#!/usr/bin/env bash
# A long fuzzing campaign: runs every libFuzzer target (or the ones named)
# for SECONDS each, at most JOBS at a time, each on a scratch copy of its
# seed corpus, and prints a table of executions, coverage and findings.
#
# The seeds and the run's corpus are reduced together to a small set that
# covers every feature either reached (libFuzzer -set_cover_merge=1); the
# inputs of that set that are not seeds land in FOLDER/found/<target>;
# crashes, timeouts, leaks and out-of-memory inputs go to FOLDER/artifacts.
# Review the found inputs and copy the ones worth keeping into
# fuzz/corpus/<target>. The seed corpora in the tree are never written.
#
# Usage: scripts/fuzz.sh SECONDS [--jobs N] [--build FOLDER] [TARGET...]
#   TARGET: a name such as scene or rar2 (default: every fuzz_* target)
#   FOLDER: the fuzz build (default build-fuzz; built if missing)
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:?usage: scripts/fuzz.sh SECONDS [--jobs N] [--build FOLDER] [TARGET...]}
shift
jobs=1
build=build-fuzz
targets=()
while [ $# -gt 0 ]; do
  case $1 in
    --jobs) jobs=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done

if [ ! -d "$build/bin" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DKLX_FUZZ=ON -DKLX_TESTS=OFF -DKLX_BENCH=OFF -DKLX_WERROR=ON >/dev/null || exit 1
  cmake --build "$build" || exit 1
fi
if [ ${#targets[@]} -eq 0 ]; then
  for fuzzer in "$build"/bin/fuzz_*; do targets+=("$(basename "$fuzzer")"); done
fi

export ALSOFT_DRIVERS=null
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
out="$root/$build/campaign"
rm -rf "$out"
mkdir -p "$out/found" "$out/artifacts" "$out/logs"

# run_one NAME: one target's run, then the merge of what it found.
run_one() {
  local name=fuzz_${1#fuzz_}
  local short=${name#fuzz_}
  local fuzzer="$root/$build/bin/$name"
  local seeds="$root/fuzz/corpus/$short"
  local work="$out/work/$short"
  mkdir -p "$work" "$out/found/$short" "$out/artifacts/$short"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
  local status=0
  "$fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -print_final_stats=1 \
    -artifact_prefix="$out/artifacts/$short/" "$work" >"$out/logs/$short.log" 2>&1 || status=$?
  # Only what adds coverage over the seeds lands in found/. The merge names
  # its files by their SHA-1, so seeds are recognised by content.
  if [ -d "$seeds" ]; then
    local merged="$out/merge/$short"
    mkdir -p "$merged"
    "$fuzzer" -set_cover_merge=1 "$merged" "$seeds" "$work" >"$out/logs/$short.merge.log" 2>&1
    local known
    known=$(sha1sum "$seeds"/* | cut -d' ' -f1)
    for file in "$merged"/*; do
      [ -e "$file" ] || continue
      grep -qx "$(basename "$file")" <<<"$known" || mv "$file" "$out/found/$short/"
    done
  fi
  echo "$status" >"$out/logs/$short.status"
}

running=0
for target in "${targets[@]}"; do
  run_one "$target" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait

# stat LOG NAME: a number from libFuzzer's final statistics.
stat() { sed -n "s/^stat::$2: *//p" "$1" | tail -n 1; }
failures=0
printf '| target | seconds | executions | per second | coverage (edges) | features | corpus | new inputs kept | findings |\n'
printf '|---|---|---|---|---|---|---|---|---|\n'
for target in "${targets[@]}"; do
  short=${target#fuzz_}
  log="$out/logs/$short.log"
  execs=$(stat "$log" number_of_executed_units)
  rate=$(stat "$log" average_exec_per_sec)
  # The last status line: "#N  DONE  cov: C ft: F corp: K/..."
  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
  cov=$(sed -n 's/.*cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.*ft: \([0-9]*\).*/\1/p' <<<"$last")
  corp=$(sed -n 's/.*corp: \([0-9]*\).*/\1/p' <<<"$last")
  kept=$(ls "$out/found/$short" 2>/dev/null | wc -l)
  findings=$(ls "$out/artifacts/$short" 2>/dev/null | wc -l)
  status=$(cat "$out/logs/$short.status" 2>/dev/null || echo "?")
  [ "$status" = 0 ] && [ "$findings" = 0 ] || failures=$((failures + 1))
  printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' "$short" "$seconds" "${execs:-?}" "${rate:-?}" \
    "${cov:-?}" "${ft:-?}" "${corp:-?}" "$kept" "$findings"
done
echo
echo "logs: $out/logs; inputs that add coverage: $out/found; findings: $out/artifacts"
[ "$failures" -eq 0 ]
