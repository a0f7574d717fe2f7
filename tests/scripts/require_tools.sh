# Sourced by the test scripts: `require_tools NAME TOOL...` exits 77 (the
# tests' "skipped") and says which, when one of the tools is not installed.
require_tools() {
  local name=$1 tool
  shift
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "$name: $tool is not installed: skipped"
      exit 77
    fi
  done
}
