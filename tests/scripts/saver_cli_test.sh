#!/usr/bin/env bash
# Runs the klx-saver program as a screensaver host would and checks its exit
# codes, its log file (Windows-1251, recreated at every start) and its
# settings store. Usage: saver_cli_test.sh PATH-TO-KLX-SAVER
set -uo pipefail
saver=$1
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" KLX_NO_MESSAGE_BOXES=1
log="$XDG_DATA_HOME/VELMORA Studio/KLXLog.txt"
store="$XDG_CONFIG_HOME/VELMORA Studio/3D Screensaver/settings"
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# run EXPECTED-EXIT ARGS...: runs the saver, checks the exit code.
run() {
  local expected=$1
  shift
  "$saver" "$@" >/dev/null 2>&1
  local status=$?
  [ "$status" -eq "$expected" ] || fail "klx-saver $* exited with $status, expected $expected"
}

# has TEXT: the log (converted to UTF-8) holds a line ending in TEXT.
has() {
  iconv -f CP1251 -t UTF-8 "$log" | grep -qxF -- "$1" ||
    fail "the log lacks the line \"$1\""
}
lacks() {
  if iconv -f CP1251 -t UTF-8 "$log" | grep -qF -- "$1"; then fail "the log holds \"$1\""; fi
}

# Password mode: starts nothing, ends well, and the first run writes the store.
LANG=C LC_ALL= run 0 /a 1234
has "INFO. Режим скринсейвера 4."
has "INFO. Первый запуск скринсейвера. Запись параметров по-умолчанию в реестр..."
has "INFO. Volume: 50"
has "INFO. ExitOnMouseMove: false"
has "INFO. Сейвер создан."
has "INFO. Работа скринсейвера завершена корректно."
has "INFO. Скринсейвер завершил работу."
has "INFO. Конец лога."
[ -f "$store" ] || fail "no settings store at $store"
grep -qx "Volume=50" "$store" || fail "the store lacks Volume=50"

# The full-screen mode without a renderer: the failure chain, then a normal end.
LANG=C LC_ALL= run 0 /s
has "INFO. Режим скринсейвера 1."
has "ERROR. Невозможно загрузить библиотеку рендерера [OpenGL]."
has "ERROR. Невозможно создать рендерер DirectX."
has "ERROR. Невозможно инициализировать скринсейвер."
has "ERROR. Невозможно создать скринсейвер."
has "INFO. Скринсейвер завершил работу."
has "INFO. Конец лога."
lacks "Режим скринсейвера 4."        # the log starts afresh each run
lacks "Первый запуск скринсейвера"   # the store exists now

# A value edited in the store wins over the resource default.
sed -i 's/^Volume=.*/Volume=33/' "$store"
LANG=C LC_ALL= run 0 -p1234
has "INFO. Режим скринсейвера 0."
has "INFO. Volume: 33"

# No switch at all is the configuration mode.
LANG=C LC_ALL= run 0
has "INFO. Режим скринсейвера 3."

# A Russian locale picks the Russian resources (their defaults differ).
rm -rf "$XDG_CONFIG_HOME"
LANG=ru_RU.UTF-8 LC_ALL= run 0 /a 1
has "INFO. ShowFPS: true"
has "INFO. Volume: 80"
has "INFO. Hour24: true"

if [ "$failures" -ne 0 ]; then
  echo "--- last log:"
  iconv -f CP1251 -t UTF-8 "$log"
  exit 1
fi
echo "saver_cli_test: all checks passed"
