#!/usr/bin/env bash
# Sets the project up on a fresh Debian 12 machine (packages, build) and runs
# the program. Until the screensaver itself lands, this runs klx-info, which
# starts the engine, lists everything that registered itself and stops.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build -j "$(nproc 2>/dev/null || echo 2)"
exec build/bin/klx-info "$@"
