#!/usr/bin/env bash
# Programs through a page-generation unit (no version answer): the unit keeps
# binary images; a read turns one into text, a write parses text into one.
source "$(dirname "$0")/lib.sh"
samples="$(dirname "$0")/data/programs"
mkdir -p "$work/data"

start_sim page --model silent --programs "$samples" --dump-programs "$work/dump"
run_korsync 0 --port "$pty" --data "$work/data" read program 5
# The image holds no title: the text is the sample without its "%" line.
tail -n +2 "$samples/kor_program_005.txt" >"$work/body_005.txt"
cmp "$work/data/kor_programs/kor_program_005.txt" "$work/body_005.txt"

tail -n +2 "$samples/kor_program_001.txt" >"$work/flange.txt"
run_korsync 0 --port "$pty" --data "$work/data" write program "$work/flange.txt" --slot 3 --title "ФЛАНЕЦ"
expect_in "сообщение: Программа 003 загружена" "$err"

# A file whose first line is a title line would reach the unit empty: refused.
run_korsync 1 --port "$pty" --data "$work/data" write program "$samples/kor_program_002.txt" --slot 4
expect_in "ошибка: Строка 1: недопустимый символ. Программа не загружена" "$err"
stop_sims

{ printf '%%'; printf 'ФЛАНЕЦ' | iconv -f UTF-8 -t CP1251; printf '\r\n'; cat "$work/flange.txt"; } >"$work/want_003.txt"
cmp "$work/dump/kor_program_003.txt" "$work/want_003.txt"
[ "$(stat -c %s "$work/dump/kor_program_003.bin")" = 16632 ]
[ ! -e "$work/dump/kor_program_004.txt" ]
echo "programs_page: ok"
