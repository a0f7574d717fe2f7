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

# The log as UTF-8. (Read whole first: "grep -q" on a pipe can stop the
# converter early, which pipefail would count as a failure.)
log_text() { iconv -f CP1251 -t UTF-8 "$log" 2>/dev/null; }

# has TEXT: the log holds the line TEXT.
has() {
  local text
  text=$(log_text)
  grep -qxF -- "$1" <<<"$text" || fail "the log lacks the line \"$1\""
}
# ends_with TEXT: TEXT is the log's last line.
ends_with() {
  local text
  text=$(log_text)
  [ "$(tail -n 1 <<<"$text")" = "$1" ] || fail "the log's last line is \"$(tail -n 1 <<<"$text")\", not \"$1\""
}
lacks() {
  local text
  text=$(log_text)
  if grep -qF -- "$1" <<<"$text"; then fail "the log holds \"$1\""; fi
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
ends_with "INFO. Конец лога."
[ -f "$store" ] || fail "no settings store at $store"
grep -qx "Volume=50" "$store" || fail "the store lacks Volume=50"

# The full-screen mode: windows open, frames run until a key arrives, and
# the run ends well.
if command -v xdotool >/dev/null; then
  LANG=C LC_ALL= "$saver" /s >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 1 100); do
    grep -qF "Окна скринсейвера созданы" <<<"$(log_text)" && break
    sleep 0.1
  done
  # A key is pressed every half second until the saver ends: on a busy
  # machine the first may come before its window is there to receive it.
  status=124
  for _ in $(seq 1 40); do
    xdotool mousemove 200 200 key space 2>/dev/null
    sleep 0.5
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      status=$?
      break
    fi
  done
  if [ "$status" -eq 124 ]; then
    kill "$pid" 2>/dev/null
    fail "klx-saver /s did not stop on a key"
  fi
  [ "$status" -eq 0 ] || fail "klx-saver /s exited with $status"
  has "INFO. Режим скринсейвера 1."
  has "INFO. Created HARDWARE VERTEXPROCESSING"
  has "INFO. Окна скринсейвера созданы."
  has "INFO. Файл [loader.jpg] добавлен к директории [CustomData.rar2]."
  has "INFO. Файл [Main.STR] добавлен к директории [Media.rar2]."
  has "INFO. Сейвер создан."
  has "INFO. Работа скринсейвера завершена корректно."
  has "INFO. Скринсейвер завершил работу."
  has "INFO. Конец лога."
  lacks "Режим скринсейвера 4."        # the log starts afresh each run
  lacks "Первый запуск скринсейвера"   # the store exists now
  lacks "ERROR."
  if [ "$failures" -ne 0 ]; then
    echo "--- the /s run's log:"
    log_text | grep -v "^INFO. Класс"
  fi
fi

# run_dialog ARGS...: runs the saver in the settings mode, waits for its
# dialog and closes it with Escape (Cancel); checks that it ended well.
run_dialog() {
  LANG=C LC_ALL= "$saver" "$@" >/dev/null 2>&1 &
  local pid=$! window=
  for _ in $(seq 1 100); do
    window=$(xdotool search --name "Configuration" 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || fail "klx-saver $* showed no settings dialog"
  for _ in $(seq 1 20); do
    xdotool windowfocus "$window" key Escape 2>/dev/null
    sleep 0.3
    kill -0 "$pid" 2>/dev/null || break
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid"
    fail "klx-saver $* did not end when its dialog was closed"
  fi
  wait "$pid"
  local status=$?
  [ "$status" -eq 0 ] || fail "klx-saver $* exited with $status"
}

# The settings mode starts the engine and the renderer and shows the
# dialog; closing it ends the run well and leaves the store alone.
if command -v xdotool >/dev/null; then
  before=$(cat "$store")
  run_dialog /c
  has "INFO. Режим скринсейвера 3."
  has "INFO. Запущен режим конфигурирования."
  has "INFO. Работа скринсейвера завершена корректно."
  lacks "ERROR."
  [ "$(cat "$store")" = "$before" ] || fail "Cancel changed the store"
fi

# A value edited in the store wins over the resource default.
sed -i 's/^Volume=.*/Volume=33/' "$store"
LANG=C LC_ALL= run 0 -p1234
has "INFO. Режим скринсейвера 0."
has "INFO. Volume: 33"

# No switch at all is the configuration mode.
if command -v xdotool >/dev/null; then
  run_dialog
  has "INFO. Режим скринсейвера 3."
  has "INFO. Запущен режим конфигурирования."
fi

# A host's window that does not exist: a clear error and exit code 1, at
# once. The command line's settings show in the log and are not stored.
if [ -n "${DISPLAY:-}" ]; then
  before=$(cat "$store")
  errors=$(LANG=C LC_ALL= timeout 30 "$saver" -window-id 0x1ffffffe -volume 7 -no-clock 2>&1 >/dev/null)
  status=$?
  [ "$status" -eq 1 ] || fail "klx-saver -window-id of a missing window exited with $status, expected 1"
  grep -qF "cannot run in the host's window 0x1ffffffe" <<<"$errors" || fail "no error message: $errors"
  has "INFO. Вывод в окно хоста 0x1ffffffe."
  has "ERROR. Окно 0x1ffffffe не существует."
  has "INFO. Volume: 7"
  has "INFO. ShowTime: false"
  ends_with "INFO. Конец лога."
  [ "$(cat "$store")" = "$before" ] || fail "the command line's settings changed the store"
fi
# An option without its value is refused before anything starts.
LANG=C LC_ALL= run 1 /s -volume loud
has "ERROR. Неверные параметры командной строки: -volume needs a number from 0 to 100."
ends_with "INFO. Конец лога."

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
