#!/usr/bin/env bash
# --log on both sides: every frame each way with its time, the waits, the
# messages, the exit status; a killed run keeps everything up to its last frame.
source "$(dirname "$0")/lib.sh"
samples="$(dirname "$0")/data/programs"
mkdir -p "$work/data"

start_sim log --model 461 --programs "$samples" --log "$work/sim.log"
run_korsync 0 --port "$pty" --data "$work/data" --log "$work/korsync.log" read program 5
log=$(cat "$work/korsync.log")
expect_in "start " "$(head -n1 "$work/korsync.log")"
expect_in "KorSync 0.0.4: korsync --port $pty --data $work/data --log $work/korsync.log read program 5, port $pty, speed 200000" "$log"
expect_in "> 8 00 08 01 55 55 55 55 10" "$log"   # the link check
expect_in "< 8 00 08 01 55 55 55 55 10" "$log"   # and its echo
expect_in "wait 18 ms" "$log"
expect_in "message question: Файл сохранен: $work/data/kor_programs/kor_program_005.txt. Открыть папку? -> no" "$log"
[ "$(tail -n1 "$work/korsync.log" | cut -d' ' -f2-)" = "end: exit status 0" ] || { echo "no end line"; tail -n3 "$work/korsync.log"; exit 1; }
# Times to the millisecond on every line but the folded ones.
bad=$(grep -v -E '^([0-2][0-9]:[0-5][0-9]:[0-5][0-9]\.[0-9]{3} | {13})' "$work/korsync.log" || true)
[ -z "$bad" ] || { echo "lines without a time: $bad"; exit 1; }
# Every frame korsync wrote reached the unit's log as received, and every answer back.
sent=$(grep -c '^[^ ]* > ' "$work/korsync.log")
heard=$(grep -c '^[^ ]* < ' "$work/sim.log")
[ "$sent" -gt 3 ] && [ "$heard" -ge 1 ] || { echo "sim log: $heard frames for $sent sent"; exit 1; }
expect_in "< 8 00 08 01 55 55 55 55 10" "$(cat "$work/sim.log")"
expect_in "> 8 00 08 01 55 55 55 55 10" "$(cat "$work/sim.log")"

# Killed mid-transfer: the log ends with whole lines, the last of them a frame or a wait.
"$KORSYNC" --port "$pty" --data "$work/data" --log "$work/killed.log" read program all >/dev/null 2>&1 &
victim=$!
for _ in $(seq 200); do grep -q '^[^ ]* < 134 ' "$work/killed.log" 2>/dev/null && break; sleep 0.01; done
kill -9 $victim; wait $victim 2>/dev/null || true
grep -q '^[^ ]* < 134 ' "$work/killed.log" || { echo "no data block before the kill"; exit 1; }
last=$(tail -n1 "$work/killed.log")
[ -n "$(tail -c1 "$work/killed.log")" ] && { echo "cut line at the end: $last"; exit 1; }
case "$last" in
  *" end: "*) echo "the killed run logged an end"; exit 1 ;;
  *" > "*|*" < "*|*" wait "*|"             "*) ;;
  *) echo "last line is not a frame or wait: $last"; exit 1 ;;
esac
echo "exchange_log: ok"
