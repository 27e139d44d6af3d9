#!/usr/bin/env bash
# korsync clock and korsync test against a simulated unit.
source "$(dirname "$0")/lib.sh"

start_sim unit --dump-clock "$work/clock.txt"
before=$(date +%s.%N)
run_korsync 0 --port "$pty" clock
after=$(date +%s.%N)
sleep 0.2
# "YYYY-MM-DD HH:MM:SS.hh dow N": the unit's clock within a second of ours.
read -r day time _ dow <"$work/clock.txt"
set_at=$(date -d "$day ${time%.*}" +%s).${time#*.}
awk -v a="$before" -v b="$after" -v c="$set_at" 'BEGIN { exit !(c >= a - 1 && c <= b + 1) }' ||
  { echo "clock set to $day $time, computer between $before and $after"; exit 1; }
[ "$dow" = "$(date -d "$day" +%w)" ] || { echo "day of week $dow for $day"; exit 1; }

# The connection test: both rows each cycle, stopped after two cycles...
row=" 0     8     1     55     55     55     55     10"
run_korsync 0 --port "$pty" test --count 2
[ "$(grep -c "Посылка(Tx): $row" <<<"$out")" = 2 ] || { echo "sent rows: $out"; exit 1; }
[ "$(grep -c "Ответ(Rx):   $row" <<<"$out")" = 2 ] || { echo "received rows: $out"; exit 1; }

# ...or by Ctrl-C.
"$KORSYNC" --port "$pty" test >"$work/interrupted" 2>&1 &
tester=$!
sleep 1
kill -INT "$tester"
rc=0
wait "$tester" || rc=$?
[ "$rc" = 0 ] || { echo "interrupted test: exit $rc"; cat "$work/interrupted"; exit 1; }
expect_in "Ответ(Rx):   $row" "$(cat "$work/interrupted")"
stop_sims

# A unit at another speed: the clock frame still goes out and nothing is said;
# the test shows an empty answer.
start_sim deaf --speed 115200
run_korsync 0 --port "$pty" clock
[ -z "$err" ] || { echo "unexpected: $err"; exit 1; }
run_korsync 0 --port "$pty" test --count 1
expect_in "Ответ(Rx):    0     0     0     0     0     0     0     0" "$out"
stop_sims

run_korsync 1 --port /dev/korsync-no-such-port clock
expect_in "ошибка: Не удалось открыть порт" "$err"
run_korsync 2 --port "$pty" test --count 0
echo "clock: ok"
