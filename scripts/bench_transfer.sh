#!/usr/bin/env bash
# Times two program transfers through korsim on a pseudo-terminal and sets each
# beside the waits the protocol mandates for it (the floor no implementation
# can beat), as a ratio:
#   - a block-generation read of all 20 programs of 500 lines each,
#   - a page-generation write of one program.
# usage: scripts/bench_transfer.sh [--wire] [BUILD_DIR]
#   --wire  korsim sends every byte at the line speed; the wire time of all
#           bytes is then added to the mandated waits.
# Not a test: it takes about three and a half minutes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
wire=""
if [ "${1:-}" = "--wire" ]; then wire="--wire"; shift; fi
build=${1:-$root/build/native}
korsim="$build/src/sim/korsim"
korsync="$build/src/cli/korsync"
if [ ! -x "$korsim" ] || [ ! -x "$korsync" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j 2 --target korsync korsim >/dev/null
fi

work=$(mktemp -d)
sim=""
stop_sim() { if [ -n "$sim" ]; then kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true; sim=""; fi; }
trap 'stop_sim; rm -rf "$work"' EXIT

start_sim() {
  "$korsim" $wire "$@" >"$work/sim.out" 2>"$work/sim.err" &
  sim=$!
  for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
  pty=$(head -n1 "$work/sim.out")
}

now_ms() { date +%s%3N; }

# ratio NAME MEASURED_MS WAIT_MS BYTES
report() {
  awk -v name="$1" -v t="$2" -v w="$3" -v bytes="$4" -v wire="$wire" 'BEGIN {
    ref = w; if (wire != "") ref += bytes * 10 * 1000 / 200000;
    printf "%-44s %8.2f s   mandated %8.2f s%s   ratio %.3f\n", name, t / 1000, ref / 1000,
           (wire != "" ? " (with wire)" : ""), t / ref }'
}

# 20 programs of 500 lines, each with a title line.
mkdir -p "$work/seed" "$work/data"
for n in $(seq 1 20); do
  {
    printf '%%BENCH %02d\r\n' "$n"
    for i in $(seq 1 500); do printf '%03d:X%d.000F100.00\r\n' "$i" "$i"; done
  } >"$work/seed/$(printf 'kor_program_%03d.txt' "$n")"
done

start_sim --model 461 --programs "$work/seed"
t0=$(now_ms)
"$korsync" --quiet --port "$pty" --data "$work/data" read program all 2>"$work/read.err"
t1=$(now_ms)
stop_sim
grep -q "загрузка программ завершена" "$work/read.err" || { cat "$work/read.err"; exit 1; }
# Link check 18 ms, version 30 ms; per program a header read and 250 block reads of 40 ms.
waits=$((18 + 30 + 20 * (40 + 250 * 40)))
bytes=$((8 + 8 + 20 * 251 * 8 + 8 + 9 + 20 * (42 + 250 * 134)))
report "block read, 20 programs x 500 lines" $((t1 - t0)) $waits $bytes

# The page transfer parses the text: the program goes without its title line.
tail -n +2 "$work/seed/kor_program_001.txt" >"$work/page.txt"
start_sim --model silent
t0=$(now_ms)
"$korsync" --quiet --port "$pty" --data "$work/data" write program "$work/page.txt" --slot 1 --title BENCH \
  2>"$work/write.err"
t1=$(now_ms)
stop_sim
grep -q "Программа 001 загружена" "$work/write.err" || { cat "$work/write.err"; exit 1; }
# Link check, version, axis table 750 ms, 63 pages answered after 105 ms each.
waits=$((18 + 30 + 750 + 63 * 105))
bytes=$((8 + 8 + 8 + 64 * 272 + 8 + 4096 + 63 * 3))
report "page write, one program" $((t1 - t0)) $waits $bytes
