# Sourced by the saver's test scripts: a scratch home for one script (the
# saver's settings and log land there, removed at exit), the log's path,
# and helpers to read it and to count failures.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" HOME="$home" KLX_NO_MESSAGE_BOXES=1
export LANG=C LC_ALL=
log="$XDG_DATA_HOME/VELMORA Studio/KLXLog.txt"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
log_text() { iconv -f CP1251 -t UTF-8 "$log" 2>/dev/null; }
now_ms() { date +%s%3N; }
# wait_for_line TEXT LIMIT-SECONDS: true once the log holds TEXT.
wait_for_line() {
  local deadline=$(($(now_ms) + $2 * 1000))
  while [ "$(now_ms)" -lt "$deadline" ]; do
    grep -qF -- "$1" <<<"$(log_text)" && return 0
    sleep 0.01
  done
  return 1
}
