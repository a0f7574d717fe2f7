#!/usr/bin/env bash
# Configures and builds the normal tree in build/ with the options every
# script uses (warnings as errors, tests and benchmarks on), so run.sh and
# test.sh share one build instead of making two.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DKLX_WERROR=ON -DKLX_TESTS=ON -DKLX_BENCH=ON -DKLX_SANITIZE=OFF
cmake --build build -j "$(nproc 2>/dev/null || echo 2)"
