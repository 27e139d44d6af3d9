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

# An axis in degrees (format 3): the text read from the unit carries the degree
# mark, and written back it gives the unit the very image it held.
params="$work/degrees.koreep"
head -c 4096 /dev/zero | tr '\0' '\377' >"$params"
put() { printf "$2" | dd of="$params" bs=1 seek="$1" conv=notrunc status=none; }
put 0 '\011\000'          # channel 0 on A, channel 1 on X
put 28 '\200\001'         # channel 0: format 3
put 60 '\000\000'         # channel 1: format 0
mkdir -p "$work/deg" "$work/deg_data"
printf '001:G90\r\n002:A-90.000\260F12.5000\r\n003:X12.345F500.00\r\n004:G92A0.500\260\r\n005:A359.999\260F0.0000\r\n' \
  >"$work/deg/kor_program_001.txt"
start_sim before --model silent --params "$params" --programs "$work/deg" --dump-programs "$work/deg_before"
stop_sims
start_sim trip --model silent --params "$params" --programs "$work/deg" --dump-programs "$work/deg_after"
run_korsync 0 --port "$pty" --data "$work/deg_data" read program 1
cmp "$work/deg_data/kor_programs/kor_program_001.txt" "$work/deg/kor_program_001.txt"
run_korsync 0 --port "$pty" --data "$work/deg_data" write program "$work/deg_data/kor_programs/kor_program_001.txt" --slot 1
expect_in "сообщение: Программа 001 загружена" "$err"
stop_sims
cmp "$work/deg_before/kor_program_001.bin" "$work/deg_after/kor_program_001.bin"

# A text that does not parse whole is not served cut short.
printf '001:G90\r\n002:G91 x\r\n' >"$work/deg/kor_program_002.txt"
if timeout 10 "$KORSIM" --model silent --params "$params" --programs "$work/deg" >"$work/refused.out" 2>"$work/refused.err"; then
  echo "korsim served a program it could not parse whole"; exit 1
fi
expect_in "kor_program_002.txt" "$(cat "$work/refused.err")"
echo "programs_page: ok"
