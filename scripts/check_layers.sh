#!/usr/bin/env bash
# Checks that the engine's layers include only downwards: a file under
# src/<layer>/ may include headers of its own layer and of the layers below
# it, never of a layer above. Prints every include that breaks the order
# and exits 1 when there is one. Usage: check_layers.sh [SOURCE_ROOT]
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}

# The layers from the bottom up (src/CMakeLists.txt links them in this
# order). audio_library is the loadable audio library, built on its own: it
# includes nothing of the engine, and the sound layer includes its interface.
layers=(audio_library core platform vfs assets scene sound animation device shader_asm render gl app dialogs saver)
declare -A rank
for i in "${!layers[@]}"; do rank[${layers[$i]}]=$i; done

status=0
while IFS= read -r -d '' file; do
  relative=${file#"$root"/src/}
  own=${relative%%/*}
  [ -n "${rank[$own]+x}" ] || { echo "check_layers: $relative is in no known layer"; status=1; continue; }
  while IFS=: read -r line directive; do
    included=$(sed 's/^[^"]*"\([^"]*\)".*/\1/' <<<"$directive")
    target=${included%%/*}
    [ -n "${rank[$target]+x}" ] || continue  # a header of no layer: a system or third-party one
    if (( rank[$target] > rank[$own] )); then
      echo "check_layers: src/$relative:$line includes \"$included\": $target is above $own"
      status=1
    fi
  done < <(grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
done < <(find "$root/src" -type f \( -name '*.h' -o -name '*.cpp' \) -print0)

[ "$status" -eq 0 ] && echo "check_layers: every include points down the layers (${layers[*]})"
exit "$status"
