#!/usr/bin/env bash
# Programs through a block-generation unit (461): read one into a file, write
# one into a slot, and compare what the unit stored byte for byte.
source "$(dirname "$0")/lib.sh"
data_dir="$(dirname "$0")/data"
samples="$data_dir/programs"
mkdir -p "$work/data" "$work/all"

start_sim block --model 461 --programs "$samples" --dump-programs "$work/dump"
run_korsync 0 --port "$pty" --data "$work/data" read program 5
cmp "$work/data/kor_programs/kor_program_005.txt" "$samples/kor_program_005.txt"
expect_in "сообщение: Файл сохранен: $work/data/kor_programs/kor_program_005.txt." "$err"

# A data folder named in Russian reads in the save prompt as it was typed.
mkdir -p "$work/Данные"
run_korsync 0 --port "$pty" --data "$work/Данные" read program 5
cmp "$work/Данные/kor_programs/kor_program_005.txt" "$samples/kor_program_005.txt"
expect_in "сообщение: Файл сохранен: $work/Данные/kor_programs/kor_program_005.txt." "$err"

# The same slot again: a numbered file, the first left as it was.
run_korsync 0 --port "$pty" --data "$work/data" read program 5
cmp "$work/data/kor_programs/kor_program_005(1).txt" "$samples/kor_program_005.txt"

# An empty slot: nothing saved, and the command says so.
run_korsync 1 --port "$pty" --data "$work/data" read program 4
[ ! -e "$work/data/kor_programs/kor_program_004.txt" ]

# The title comes from the file's "%" line; lines go out in the unit's form.
run_korsync 0 --port "$pty" --data "$work/data" write program "$samples/kor_program_002.txt" --slot 3
expect_in "сообщение: Загрузка завершена" "$err"
# A title given on the terminal, in UTF-8, reaches the unit in code page 1251.
run_korsync 0 --port "$pty" --data "$work/data" write subprogram "$samples/kor_subprogram_001.txt" --slot 50 --title "ОТВЕРСТИЯ Д8"

# LF-only line ends: the blank line between program lines goes out like any
# other, and the unit is told of all four lines (two blocks).
printf '001:G90\n\n002:G91\n003:G17\n' >"$work/lf_only.txt"
run_korsync 0 --port "$pty" --data "$work/data" write program "$work/lf_only.txt" --slot 7 --title LF
expect_in "сообщение: Загрузка завершена" "$err"

run_korsync 2 --port "$pty" write program "$samples/kor_program_002.txt" --slot 21
run_korsync 2 --port "$pty" read subprogram 0
stop_sims

# A header answer that never comes whole: the other programs are read, and
# the end names the one missing instead of announcing a complete read.
start_sim cut --model 461 --programs "$samples" --fault cut:02:0:3
run_korsync 1 --port "$pty" --data "$work/all" read program all
expect_in "предупреждение: Не удалось прочитать программы: 001" "$err"
cmp "$work/all/kor_programs/kor_program_002.txt" "$samples/kor_program_002.txt"
[ ! -e "$work/all/kor_programs/kor_program_001.txt" ]
stop_sims

cmp "$work/dump/kor_program_003.txt" "$data_dir/expected/block_kor_program_003.txt"
printf '%%LF\r\n001:G90\r\n002:\r\n003:G91\r\n004:G17\r\n' >"$work/want_007.txt"
cmp "$work/dump/kor_program_007.txt" "$work/want_007.txt"
title=$(head -n1 "$work/dump/kor_subprogram_050.txt" | iconv -f CP1251 -t UTF-8)
expect_in "%ОТВЕРСТИЯ Д8" "$title"
echo "programs_block: ok"
