#!/usr/bin/env bash
# korsync program check: a program text parsed as a page-transfer write would,
# offline; exit 0 only when the whole text was taken.
source "$(dirname "$0")/lib.sh"
export KORSYNC_CONFIG="$work/settings"

crlf() { printf '%s\r\n' "$@"; }

# A clean text: every line taken, the unit's text of it follows.
crlf "001:G90" "002:X12.345F500.00" "//003:Z-1.5" "004:M105E3" >"$work/clean.txt"
run_korsync 0 program check "$work/clean.txt"
want=$'accepted: 4\n\n001:G90\n002:X12.345F500.00\n//003:Z-1.500F0.00\n004:M105E3'
[ "$out" = "$want" ] || { echo "clean text, got:"; echo "$out"; exit 1; }

# The fourth line is not a frame: three taken, line 4 named.
crlf "001:G90" "002:X1" "003:G1" "004:G1X5" "005:G91" >"$work/bad.txt"
run_korsync 1 program check "$work/bad.txt"
expect_in $'accepted: 3\nstopped at line 4: 004:G1X5\nreason: no reader accepted it\n\n001:G90\n002:X1.000F0.00\n003:G1' "$out"

# Axis formats come from the parameter file's axis table: channel 0 on A, degrees.
head -c 4096 /dev/zero >"$work/params.koreep"
printf '\x09' | dd of="$work/params.koreep" bs=1 seek=0 conv=notrunc status=none
printf '\x80\x01' | dd of="$work/params.koreep" bs=1 seek=28 conv=notrunc status=none
crlf "005:A90F12.5" >"$work/rotary.txt"
run_korsync 0 program check --params "$work/params.koreep" "$work/rotary.txt"
expect_in "005:A90.000°F12.5000" "$out"
run_korsync 0 program check "$work/rotary.txt"
expect_in "005:A90.000F12.5000" "$out"

# A lower-case letter: the unit's message, and the line that holds it.
crlf "001:G90" "002:G91 x" "003:G17" >"$work/lower.txt"
run_korsync 1 program check "$work/lower.txt"
expect_in "ошибка: обнаружены строчные буквы" "$err"
expect_in $'accepted: 2\nstopped at line 2: 002:G91 x\nreason: lower-case letter \'x\'' "$out"

# A subprogram holds 104 frames.
for i in $(seq 105); do crlf "001:G90"; done >"$work/long.txt"
run_korsync 1 program check --subprogram "$work/long.txt"
expect_in $'accepted: 104\nstopped at line 105: 001:G90\nreason: capacity reached (104 frames)' "$out"
run_korsync 0 program check "$work/long.txt"
expect_in "accepted: 105" "$out"

# The title line the block-transfer reading writes stops the parse at once.
crlf "%Title" "001:G90" >"$work/title.txt"
run_korsync 1 program check "$work/title.txt"
expect_in $'accepted: 0\nstopped at line 1: %Title\nreason: character \'%\' not allowed' "$out"

run_korsync 1 program check "$work/no-such-file.txt"
expect_in "ошибка: Не удалось открыть файл $work/no-such-file.txt" "$err"
run_korsync 1 program check --params "$work/no-such-params" "$work/clean.txt"
expect_in "ошибка: Не удалось открыть файл" "$err"
run_korsync 2 program check
echo "program_check: ok"
