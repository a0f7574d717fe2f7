#!/usr/bin/env bash
# The layer check passes on the source tree, and fails on a copy of it in
# which a scene file includes a renderer header (an include up the layers).
set -euo pipefail
source_dir=$1
check=$source_dir/scripts/check_layers.sh
"$check" "$source_dir"
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
cp -r "$source_dir/src" "$copy/src"
echo '#include "render/renderer.h"' >> "$copy/src/scene/node.cpp"
if output=$("$check" "$copy" 2>&1); then
  echo "check_layers_test: an include from scene up to render was not caught"
  exit 1
fi
grep -q 'src/scene/node.cpp:[0-9]* includes "render/renderer.h": render is above scene' <<<"$output" || {
  echo "check_layers_test: unexpected report: $output"
  exit 1
}
echo "check_layers_test: the planted upward include was reported"
