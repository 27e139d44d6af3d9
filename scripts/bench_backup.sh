#!/usr/bin/env bash
# Times a whole-unit backup through korsim on a pseudo-terminal and sets it
# beside the sum of the waits its reads mandate (the floor no implementation
# can beat), as a ratio. The unit holds 20 programs of 50 lines, 50
# subprograms of 20 lines, its parameters and two correction tables (1500 and
# 20 points).
# usage: scripts/bench_backup.sh [--page] [BUILD_DIR]
#   --page  a page-generation unit (no version answer) instead of a 461
# Not a test: about a minute.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
model=461
if [ "${1:-}" = "--page" ]; then model=silent; shift; fi
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

programs=20 plines=50 subprograms=50 slines=20 plus=1500 minus=20
mkdir -p "$work/seed" "$work/data"
seed() {  # FILE LINES
  { printf '%%BENCH\r\n'; for i in $(seq 1 "$2"); do printf '%03d:X%d.000 F100.00\r\n' "$i" "$i"; done; } >"$work/seed/$1"
}
for n in $(seq 1 "$programs"); do seed "$(printf 'kor_program_%03d.txt' "$n")" "$plines"; done
for n in $(seq 1 "$subprograms"); do seed "$(printf 'kor_subprogram_%03d.txt' "$n")" "$slines"; done

"$korsim" --model "$model" --programs "$work/seed" --correction "+:10:$plus" --correction "-:10:$minus" \
  >"$work/sim.out" 2>"$work/sim.err" &
sim=$!
for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
pty=$(head -n1 "$work/sim.out")

t0=$(date +%s%3N)
"$korsync" --quiet --port "$pty" --data "$work/data" backup --out "$work/b" >"$work/out" 2>"$work/err" ||
  { cat "$work/out" "$work/err"; exit 1; }
t1=$(date +%s%3N)
stop_sim
[ "$(tail -n 1 "$work/b/backup.ini")" = "complete=1" ] || { cat "$work/err"; exit 1; }

# The waits: link check 18 ms and version query 30 ms; the parameter memory read
# twice (to compare) at 750 ms; each correction table a 100 ms summary and
# 417 ms per block of 1000 points. Block units: a 40 ms header read per slot
# and a 40 ms read per two lines. Page units: the 750 ms axis-table read, five
# 340 ms pages per program slot, one 340 ms page per subprogram slot.
blocks() { echo $(( ($1 + 999) / 1000 )); }
wait=$(( 18 + 30 + 2 * 750 + 100 + 417 * $(blocks $plus) + 100 + 417 * $(blocks $minus) ))
if [ "$model" = 461 ]; then
  wait=$(( wait + programs * (40 + 40 * ((plines + 1) / 2)) + subprograms * (40 + 40 * ((slines + 1) / 2)) ))
else
  wait=$(( wait + 750 + 20 * 5 * 340 + 50 * 340 ))
fi
awk -v t=$((t1 - t0)) -v w="$wait" -v m="$model" 'BEGIN {
  printf "backup of a %s unit (73 items)   %8.2f s   mandated %8.2f s   ratio %.3f\n", m, t / 1000, w / 1000, t / w }'
tail -n 1 "$work/out"
