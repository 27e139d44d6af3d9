#!/usr/bin/env bash
# Fast mode through an emulated USB-serial adapter (answers on the line at
# 200000 bit/s, handed over in packets after 16 ms): the same files and the same
# unit contents as the default.
source "$(dirname "$0")/lib.sh"
samples="$(dirname "$0")/data/programs"
# The unit starts answering at once: an echo still comes just inside the 18 ms link check.
adapter=(--wire --adapter-latency-ms 16 --unit-delay-ms 0.2)

# read_both NAME KORSIM-ARGS -- KORSYNC-ARGS: one read per mode, each from a unit of its own.
read_both() {
  local name=$1; shift
  local sim=()
  while [ "$1" != -- ]; do sim+=("$1"); shift; done
  shift
  for mode in default fast; do
    local flag=()
    [ "$mode" = fast ] && flag=(--fast)
    mkdir -p "$work/$name.$mode"
    start_sim "$name.$mode" "${adapter[@]}" "${sim[@]}"
    run_korsync 0 --port "$pty" --data "$work/$name.$mode" "${flag[@]}" "$@"
    stop_sims
  done
  diff -r "$work/$name.default" "$work/$name.fast" || { echo "$name: the modes differ"; exit 1; }
  [ -n "$(ls -A "$work/$name.default/kor_programs")" ] || { echo "$name: nothing read"; exit 1; }
}

read_both block --model 461 --programs "$samples" -- read program all
expect_in "сообщение: загрузка программ завершена" "$err"
read_both page --model silent --programs "$samples" -- read program 5

# write_both NAME KORSIM-ARGS -- KORSYNC-ARGS: the unit's dump after a write in each mode.
write_both() {
  local name=$1; shift
  local sim=()
  while [ "$1" != -- ]; do sim+=("$1"); shift; done
  shift
  for mode in default fast; do
    local flag=()
    [ "$mode" = fast ] && flag=(--fast)
    start_sim "$name.$mode" "${adapter[@]}" "${sim[@]}" --dump-programs "$work/$name.$mode.dump"
    run_korsync 0 --port "$pty" --data "$work" "${flag[@]}" "$@"
    stop_sims
  done
  diff -r "$work/$name.default.dump" "$work/$name.fast.dump" || { echo "$name: the units differ"; exit 1; }
  [ -n "$(ls -A "$work/$name.fast.dump")" ] || { echo "$name: nothing stored"; exit 1; }
}

write_both block --model 461 -- write program "$samples/kor_program_001.txt" --slot 7
expect_in "сообщение: Загрузка завершена" "$err"
tail -n +2 "$samples/kor_program_001.txt" >"$work/flange.txt"
write_both page --model silent -- write program "$work/flange.txt" --slot 3 --title "ФЛАНЕЦ"
expect_in "сообщение: Программа 003 загружена" "$err"

# A unit that stays silent fails the same way, after the same wait.
start_sim silent "${adapter[@]}" --model 461 --fault no-answer:55
run_korsync 1 --port "$pty" --data "$work" --fast info
expect_in "ошибка: КОР не отвечает" "$err"
stop_sims

# The refused low-latency request is a remark only when asked for.
start_sim remark "${adapter[@]}" --model 461
run_korsync 0 --port "$pty" --fast --verbose info
expect_in "замечание: " "$err"
run_korsync 0 --port "$pty" --fast info
[ -z "$err" ] || { echo "unasked remark: $err"; exit 1; }
stop_sims
echo "fast: ok"
