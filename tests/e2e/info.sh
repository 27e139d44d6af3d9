#!/usr/bin/env bash
# korsync info against units of both generations, and against none.
source "$(dirname "$0")/lib.sh"

start_sim block --model 461 --version-text "461 V2.15"
run_korsync 0 --port "$pty" info
expect_in "version: 461 V2.15" "$out"
expect_in "model: 461" "$out"
expect_in "protocol: block" "$out"
stop_sims

start_sim page --model silent
run_korsync 0 --port "$pty" info
expect_in "protocol: page" "$out"
stop_sims

start_sim old --model 460
run_korsync 0 --port "$pty" info
expect_in "protocol: none" "$out"
stop_sims

# A unit at another speed hears nothing: exit 1, a message, no hang.
start_sim deaf --model 461 --speed 115200
run_korsync 1 --port "$pty" info
expect_in "ошибка:" "$err"
run_korsync 0 --port "$pty" --speed 115200 info
expect_in "protocol: block" "$out"
stop_sims

run_korsync 1 --port /dev/korsync-no-such-port info
expect_in "ошибка: Не удалось открыть порт : invalid handle, переподключите кабель" "$err"
run_korsync 1 info
expect_in "ошибка: Не выбран Com port" "$err"
run_korsync 2 --port /dev/null --speed 14400 info
run_korsync 2 frobnicate
echo "info: ok"
