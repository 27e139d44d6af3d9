#!/usr/bin/env bash
# Default mode against fast mode (--fast), through korsim with every byte on the
# line at 200000 bit/s and answers handed over like a USB-serial adapter does:
# in packets of 62 bytes, or a latency after a packet's first byte (16 ms, the
# FTDI default, and 1 ms, its low-latency setting). For each transfer: the wall
# time of both modes, the waits the protocol mandates (the default's floor and
# fast mode's bound), the speed-up, whether the files and the unit's dumps are
# byte-identical between the modes, korsync's CPU time as a share of the wall
# time and its peak resident memory (from wait4's rusage, through GNU time).
# usage: scripts/bench_transfer.sh [--latency "16 1"] [--only NAME] [BUILD_DIR]
# Not a test: a full run takes about twelve minutes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
latencies="16 1"
only=""
while [ $# -gt 0 ]; do
  case "$1" in
    --latency) latencies=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    *) break ;;
  esac
done
build=${1:-$root/build/native}
korsim="$build/src/sim/korsim"
korsync="$build/src/cli/korsync"
if [ ! -x "$korsim" ] || [ ! -x "$korsync" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j 2 --target korsync korsim >/dev/null
fi
[ -x /usr/bin/time ] || { echo "bench: GNU time (/usr/bin/time) is needed: scripts/setup.sh installs it"; exit 1; }

work=$(mktemp -d)
export KORSYNC_CONFIG="$work/settings.ini"  # the runner's own settings stay out
sim=""
stop_sim() { if [ -n "$sim" ]; then kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true; sim=""; fi; }
trap 'stop_sim; rm -rf "$work"' EXIT

# The unit itself starts answering within half a millisecond: with 16 ms in the
# adapter an echo still comes inside the 18 ms link check.
unit_delay=0.5
start_sim() {  # LATENCY ARGS...
  local latency=$1; shift
  "$korsim" --wire --adapter-latency-ms "$latency" --unit-delay-ms "$unit_delay" "$@" >"$work/sim.out" 2>"$work/sim.err" &
  sim=$!
  for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
  pty=$(head -n1 "$work/sim.out")
}

# 20 programs of 500 lines, each with a title line; one of them without it for
# the page generation, which parses the text.
mkdir -p "$work/seed"
for n in $(seq 1 20); do
  {
    printf '%%BENCH %02d\r\n' "$n"
    for i in $(seq 1 500); do printf '%03d:X%d.000F100.00\r\n' "$((i % 1000))" "$i"; done
  } >"$work/seed/$(printf 'kor_program_%03d.txt' "$n")"
done
tail -n +2 "$work/seed/kor_program_001.txt" >"$work/page.txt"
head -c 4096 /dev/urandom >"$work/params.bin"

has_backup=0
"$korsync" backup --help >/dev/null 2>&1 && has_backup=1

# Each transfer: NAME, the mandated waits in ms, korsim's arguments, korsync's
# arguments, the text that says it went well.
transfers=(block_read page_read_all page_write block_write params_read params_write)
[ "$has_backup" = 1 ] && transfers+=(backup)

spec() {  # NAME -> sets waits, sim_args, sync_args, ok
  case "$1" in
    block_read)
      # Link check, version; per program a header read and 250 block reads of 40 ms.
      waits=$((18 + 30 + 20 * (40 + 250 * 40)))
      sim_args=(--model 461 --programs "$work/seed"); sync_args=(read program all)
      ok="загрузка программ завершена" ;;
    page_read_all)
      # Link check, version, axis table 750 ms; 20 programs of 5 pages 340 ms apart.
      waits=$((18 + 30 + 750 + 20 * 5 * 340))
      sim_args=(--model silent --last-page 924 --programs "$work/seed"); sync_args=(read program all)
      ok="" ;;
    page_write)
      # Link check, version, axis table, 63 pages answered after 105 ms each.
      waits=$((18 + 30 + 750 + 63 * 105))
      sim_args=(--model silent); sync_args=(write program "$work/page.txt" --slot 1 --title BENCH)
      ok="Программа 001 загружена" ;;
    block_write)
      # Link check, version, the header and 250 blocks acknowledged after 50 ms each.
      waits=$((18 + 30 + 50 + 250 * 50))
      sim_args=(--model 461); sync_args=(write program "$work/seed/kor_program_001.txt" --slot 2)
      ok="Загрузка завершена" ;;
    params_read)
      waits=$(params_read_waits)
      sim_args=(--model 461 --params "$work/params.bin"); sync_args=(read params)
      ok="" ;;
    params_write)
      waits=$(params_write_waits)
      sim_args=(--model 461); sync_args=(write params "$work/params.bin")
      ok="Параметры загружены" ;;
    backup)
      waits=0  # its own sum of the above; shown as measured by the default
      sim_args=(--model 461 --programs "$work/seed" --params "$work/params.bin"); sync_args=(backup)
      ok="" ;;
  esac
}
