#!/usr/bin/env bash
# Runs a command on a private Xvfb display (1280x720, 24-bit). Exits 77
# (the tests' "skipped") when Xvfb is not installed.
set -euo pipefail
if ! command -v xvfb-run >/dev/null || ! command -v Xvfb >/dev/null; then
  echo "with_xvfb: Xvfb is not installed: skipped"
  exit 77
fi
exec xvfb-run -a -s "-screen 0 1280x720x24 -nolisten tcp" "$@"
