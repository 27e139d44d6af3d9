#!/usr/bin/env bash
# korsync read correction and send against korsim: the exact files, the lone "-"
# direction, refusals without files, and the text frame on the wire.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/correction_expect.sh"

data="$work/data"
mkdir -p "$data" "$work/d2" "$work/d3"  # the data folder must exist
start_sim corr --correction +:10:1001 --correction -:-7:3 --text-log "$work/text.log"

run_korsync 0 --port "$pty" --data "$data" read correction +
expected_table 10 1001 + >"$work/plus.txt"
cmp "$work/plus.txt" "$data/kor_correction/kor_correction+.txt"
expect_in "сообщение: Файл сохранен: $data/kor_correction/kor_correction+.txt. Открыть папку? нет" "$err"

# "-" alone is the direction, not an option; a second read gets a numbered file.
run_korsync 0 --port "$pty" --data "$data" read correction -
run_korsync 0 --port "$pty" --data "$data" read correction -
expected_table -7 3 - >"$work/minus.txt"
cmp "$work/minus.txt" "$data/kor_correction/kor_correction-.txt"
cmp "$work/minus.txt" "$data/kor_correction/kor_correction-(1).txt"

run_korsync 0 --port "$pty" send AB
run_korsync 0 --port "$pty" send "Пуск"
for _ in $(seq 40); do [ "$(wc -l <"$work/text.log" 2>/dev/null || echo 0)" -ge 2 ] && break; sleep 0.05; done
[ "$(sed -n 1p "$work/text.log")" = "00 08 01 0C 0C 0C 0C 08 41 42 00 00 00 00 00 00 00 00" ] ||
  { echo "text frame: $(cat "$work/text.log")"; exit 1; }
[ "$(sed -n 2p "$work/text.log")" = "00 08 01 0C 0C 0C 0C 08 CF F3 F1 EA 00 00 00 00 00 00" ] ||
  { echo "text frame: $(cat "$work/text.log")"; exit 1; }
run_korsync 2 --port "$pty" send ABCDEFGHIJ
run_korsync 2 --port "$pty" read correction x
stop_sims

# Refusals end without a file.
start_sim empty --correction +:10:0 --correction -:10:16001
run_korsync 1 --port "$pty" --data "$work/d2" read correction +
expect_in "ошибка: set_point == 0 (нет точек)" "$err"
run_korsync 1 --port "$pty" --data "$work/d2" read correction -
expect_in "ошибка: n > 15" "$err"
stop_sims

start_sim cut --correction +:10:1500 --fault cut:08:1:1:2001
run_korsync 1 --port "$pty" --data "$work/d2" read correction +
expect_in "ошибка: count_data == 0" "$err"
stop_sims
[ ! -e "$work/d2/kor_correction" ] || { echo "a refused table left files: $(ls "$work/d2/kor_correction")"; exit 1; }

# Blocks that come after the fixed wait are waited for.
start_sim late --correction +:10:1200 --correction-delay-ms 700
run_korsync 0 --port "$pty" --data "$work/d3" read correction +
expected_table 10 1200 + >"$work/late.txt"
cmp "$work/late.txt" "$work/d3/kor_correction/kor_correction+.txt"
stop_sims

run_korsync 1 --port /dev/korsync-no-such-port --data "$work/d2" read correction +
expect_in "ошибка: Не удалось открыть порт" "$err"
echo "correction: ok"
