#!/usr/bin/env bash
# A write read back: a parameter frame lost on the way and a program block or
# page stored wrong are found and named; a sound write passes.
source "$(dirname "$0")/lib.sh"
mkdir -p "$work/data"
printf '%%SHAFT\r\n001:G90\r\n002:X1.000 F100.00\r\n003:Y-2.500\r\n004:M30\r\n' >"$work/shaft.txt"

start_sim block --model 461 --drop-param-frame 5 --corrupt-write 2
run_korsync 0 --port "$pty" --data "$work/data" read params
f="$work/data/kor_parameters/kor_eeprom.koreep"
head -c 4096 "$f" >"$work/p.koreep"
printf '\x07' | dd of="$work/p.koreep" bs=1 seek=160 conv=notrunc status=none
run_korsync 1 --port "$pty" --data "$work/data" write params "$work/p.koreep" --verify
expect_in "ошибка: Проверка после записи не прошла: params differ: offset 160 (0x0A0): unit 0x00 file 0x07, Система координат G58: P2.1" "$err"
# The frame is lost once: written again, the check passes.
run_korsync 0 --port "$pty" --data "$work/data" write params "$work/p.koreep" --verify

run_korsync 1 --port "$pty" --data "$work/data" write program "$work/shaft.txt" --slot 3 --verify
expect_in "ошибка: Проверка после записи не прошла: program 003 differs: line 4: unit \"003:Y-2.501\" file \"003:Y-2.500\"" "$err"
run_korsync 0 --port "$pty" --data "$work/data" write program "$work/shaft.txt" --slot 3 --verify
# verify = 1 in the settings file makes it the default; --no-verify turns it off.
printf '[Korsync]\nverify = 1\n' >"$KORSYNC_CONFIG"
run_korsync 0 --port "$pty" --data "$work/data" write program "$work/shaft.txt" --slot 4
stop_sims

start_sim page --model silent --corrupt-write 0
tail -n +2 "$work/shaft.txt" | tr -d ' ' >"$work/page.txt"
run_korsync 1 --port "$pty" --data "$work/data" write subprogram "$work/page.txt" --slot 7
expect_in "ошибка: Проверка после записи не прошла: subprogram 007 differs: line 1: unit \"002:G90\" file \"001:G90\"" "$err"
stop_sims
start_sim page2 --model silent --corrupt-write 0
run_korsync 0 --port "$pty" --data "$work/data" write subprogram "$work/page.txt" --slot 7 --no-verify
echo "verify: ok"
