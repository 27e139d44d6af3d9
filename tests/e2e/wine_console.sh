#!/usr/bin/env bash
# The Windows command line's Russian text under Wine: what it writes into a pipe
# is UTF-8, and Russian paths and titles typed on its command line reach the
# right files and the unit.
source "$(dirname "$0")/lib.sh"
root=$KORSYNC_SOURCE
source "$root/scripts/wine-env.sh" 2>/dev/null
# Wine names Unix files in the Unix locale's encoding: without a Russian UTF-8
# locale it cannot create a Russian file name at all.
if ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf-\?8'; then
  export LOCPATH="$root/build/locale"
  if [ ! -d "$LOCPATH/ru_RU.UTF-8" ]; then
    mkdir -p "$LOCPATH"
    localedef -i ru_RU -f UTF-8 "$LOCPATH/ru_RU.UTF-8" || { echo "wine console: no Russian locale (localedef)"; exit 1; }
  fi
fi
wine_start
exe="$KORSYNC_WIN64_DIR/src/cli/korsync-cli.exe"
samples="$(dirname "$0")/data/programs"
winwork="Z:$(printf '%s' "$work" | tr / '\\')"

# wine_korsync EXPECTED_STATUS ARGS...: run in $work, output in $out and $err.
wine_korsync() {
  local want=$1; shift
  local rc=0
  (cd "$work" && timeout 120 wine "$exe" "$@") >"$work/stdout" 2>"$work/stderr" || rc=$?
  out=$(cat "$work/stdout"); err=$(cat "$work/stderr")
  if [ "$rc" != "$want" ]; then
    echo "korsync-cli.exe $*: exit $rc, wanted $want"; echo "stdout: $out"; echo "stderr: $err"; exit 1
  fi
  # Never the program's own code page 1251 bytes.
  iconv -f UTF-8 -t UTF-8 "$work/stdout" "$work/stderr" >/dev/null || { echo "not UTF-8: $out $err"; exit 1; }
}

start_sim block --model 461 --version-text "461 V2.15" --programs "$samples" --dump-programs "$work/dump"
mkdir -p "$WINEPREFIX/dosdevices"
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com5"
wine_korsync 0 --port COM5 info
expect_in "version: 461 V2.15" "$out"

# A data folder named in Russian, relative to a current folder.
mkdir -p "$work/Данные"
wine_korsync 0 --port COM5 --data Данные read program 5
cmp "$work/Данные/kor_programs/kor_program_005.txt" "$samples/kor_program_005.txt"
expect_in "сообщение: Файл сохранен: $winwork\\Данные\\kor_programs\\kor_program_005.txt. Открыть папку? нет" "$err"

# A Russian file name (the title when the text has no "%" line) and a Russian title.
mkdir -p "$work/Папка"
printf '001:G90\r\n002:G91\r\n' >"$work/Папка/деталь.txt"
wine_korsync 0 --port COM5 write program Папка/деталь.txt --slot 3
expect_in "сообщение: Загрузка завершена" "$err"
wine_korsync 0 --port COM5 write subprogram "$winwork\\Папка\\деталь.txt" --slot 50 --title "ОТВЕРСТИЯ Д8"
stop_sims
expect_in "%деталь.txt" "$(head -n1 "$work/dump/kor_program_003.txt" | iconv -f CP1251 -t UTF-8)"
expect_in "%ОТВЕРСТИЯ Д8" "$(head -n1 "$work/dump/kor_subprogram_050.txt" | iconv -f CP1251 -t UTF-8)"

# Messages and usage errors that hold what was typed.
wine_korsync 1 program check Папка/нет.txt
expect_in "ошибка: Не удалось открыть файл Папка/нет.txt" "$err"
wine_korsync 2 read correction Ж
expect_in "korsync: read correction: the direction is + or -, not Ж" "$err"
echo "wine console: ok"
