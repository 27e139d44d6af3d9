#!/usr/bin/env bash
# Default mode against fast mode (--fast), through korsim with every byte on the
# line at 200000 bit/s and answers handed over like a USB-serial adapter does:
# in packets of 62 bytes, or a latency after a packet's first byte (16 ms, the
# FTDI default, and 1 ms, its low-latency setting, which korsync is granted as
# the FTDI driver grants it). For each transfer: the wall
# time of both modes, the waits the protocol mandates (the default's floor and
# fast mode's bound), the speed-up, whether the files and the unit's dumps are
# byte-identical between the modes, korsync's CPU time as a share of the wall
# time and its peak resident memory (getrusage of the finished child).
# usage: scripts/bench_transfer.sh [--latency "16 1"] [--only NAME] [BUILD_DIR]
# Not a test: a full run takes about fifteen minutes.
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
work=$(mktemp -d)
export KORSYNC_CONFIG="$work/settings.ini"  # the runner's own settings stay out

# A small runner that reports its child's rusage (user s, system s, peak RSS
# KB) from wait4: fork and exec from a program this size keeps the figures the
# child's own. It also gives the child real-time priority (when RT is 1), its
# processor (when CPU is not "-") and the preload (when not "-") itself: through
# chrt, taskset and env, their own start would count as korsync's.
c++ -O2 -x c++ -o "$work/rusage" - <<'CPP'
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sched.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
int main(int argc, char** argv) {  // OUT RT CPU PRELOAD COMMAND...
  if (argc < 6) return 2;
  pid_t pid = fork();
  if (pid == 0) {
    if (std::strcmp(argv[2], "1") == 0) {
      sched_param p{};
      p.sched_priority = 10;
      sched_setscheduler(0, SCHED_FIFO, &p);
    }
    if (std::strcmp(argv[3], "-") != 0) {
      cpu_set_t set;
      CPU_ZERO(&set);
      CPU_SET(std::stoi(argv[3]), &set);
      sched_setaffinity(0, sizeof set, &set);
    }
    if (std::strcmp(argv[4], "-") != 0) setenv("LD_PRELOAD", argv[4], 1);
    execvp(argv[5], argv + 5);
    _exit(127);
  }
  int status = 0;
  rusage u{};
  if (wait4(pid, &status, 0, &u) < 0) return 2;
  if (FILE* f = std::fopen(argv[1], "w")) {
    std::fprintf(f, "%ld.%06ld %ld.%06ld %ld\n", long(u.ru_utime.tv_sec), long(u.ru_utime.tv_usec),
                 long(u.ru_stime.tv_sec), long(u.ru_stime.tv_usec), u.ru_maxrss);
    std::fclose(f);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
CPP
# A real FTDI adapter's driver grants fast mode's low-latency request, and
# korsync then knows answers are held back 1 ms at most; a pseudo-terminal
# refuses it. For the runs behind the emulated 1 ms adapter, this shim has the
# pseudo-terminal grant it as that driver does (nothing else changes).
# In C, so that it brings no C++ runtime of its own into korsync.
cc -O2 -shared -fPIC -x c -o "$work/lowlatency.so" - -ldl <<'C'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <linux/serial.h>
#include <stdarg.h>
#include <string.h>
#include <sys/ioctl.h>
static int flags;
int ioctl(int fd, unsigned long request, ...) {
  va_list ap;
  va_start(ap, request);
  void* arg = va_arg(ap, void*);
  va_end(ap);
  if (request == TIOCGSERIAL) {
    memset(arg, 0, sizeof(struct serial_struct));
    ((struct serial_struct*)arg)->flags = flags;
    return 0;
  }
  if (request == TIOCSSERIAL) {
    flags = ((struct serial_struct*)arg)->flags;
    return 0;
  }
  static int (*real)(int, unsigned long, void*);
  if (!real) real = (int (*)(int, unsigned long, void*))dlsym(RTLD_NEXT, "ioctl");
  return real(fd, request, arg);
}
C

sim=""
stop_sim() { if [ -n "$sim" ]; then kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true; sim=""; fi; }
# The emulated link on one processor: korsim, korsync and the kernel workers
# that carry the pseudo-terminal's bytes. Spread over two, every byte handed
# across wakes the other processor, and a virtual machine charges that to the
# process that writes, a real adapter's interrupts do not (the same block read
# took 0.1 s or 1.4 s of CPU, unpinned). Needs root for the workers' mask.
wq=/sys/devices/virtual/workqueue/cpumask
wq_saved=""
cpu=-
pin=()
if [ "$(nproc)" -gt 1 ] && [ -w "$wq" ] && command -v taskset >/dev/null; then
  wq_saved=$(cat "$wq")
  cpu=$(($(nproc) - 1))
  if printf '%x\n' $((1 << cpu)) >"$wq" 2>/dev/null; then
    pin=(taskset -c "$cpu")
  else
    wq_saved=""
    cpu=-
  fi
fi
[ "$cpu" = - ] && echo "bench: the link is not kept on one processor (needs root): on a virtual machine the CPU share may carry the wake-ups between processors" >&2
trap 'stop_sim; rm -rf "$work"; [ -z "$wq_saved" ] || echo "$wq_saved" >"$wq"' EXIT

# Both sides get the processor as soon as they wake, where we may: an echo that
# lands a millisecond late misses the link check.
rt=()
rt_child=0
if chrt -f 10 true 2>/dev/null; then rt=(chrt -f 10); rt_child=1; fi

# The unit itself starts answering within half a millisecond: with 16 ms in the
# adapter an echo still comes inside the 18 ms link check.
unit_delay=0.5
start_sim() {  # LATENCY ARGS...
  local latency=$1; shift
  rm -f "$work/sim.out"
  "${pin[@]}" "${rt[@]}" "$korsim" --wire --adapter-latency-ms "$latency" --unit-delay-ms "$unit_delay" "$@" >"$work/sim.out" 2>"$work/sim.err" &
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

bench_case() {  # NAME -> sets waits, sim_args, sync_args, ok
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
      # Link check; two reads that must agree, 550 ms each; the version query.
      waits=$((18 + 2 * 550 + 30))
      sim_args=(--model 461 --params "$work/params.bin"); sync_args=(read params)
      ok="" ;;
    params_write)
      # The backup (link check, two reads of 750 ms), then 128 frames 65 ms apart:
      # the unit answers none of them, so fast mode paces them the same.
      waits=$((18 + 2 * 750 + 128 * 65))
      sim_args=(--model 461); sync_args=(write params "$work/params.bin")
      ok="Параметры загружены" ;;
    backup)
      # A unit with a few programs, its parameters and a correction table; the
      # waits are those of every item's own reads (not summed here).
      waits=-
      sim_args=(--model 461 --programs "$root/tests/e2e/data/programs" --params "$work/params.bin"
                --correction +:10:1500)
      sync_args=(backup --out "${dir:-$work}/data/unit")
      ok="" ;;
  esac
}

# run LATENCY NAME MODE: one transfer from a fresh unit into a fresh data folder;
# writes "wall_ms cpu_ms rss_kb" to its folder's t. A run that fails is tried
# up to twice more (a stalled machine can make an answer miss its wait: the
# default block read behind 16 ms has 17 ms to spare), and says so.
run() {
  local latency=$1 name=$2 mode=$3
  local dir="$work/$latency.$name.$mode"
  bench_case "$name"
  local attempt
  for attempt in 1 2 3; do
    rm -rf "$dir"
    mkdir -p "$dir/data" "$dir/unit"
    start_sim "$latency" "${sim_args[@]}" --dump-programs "$dir/unit" --dump-params "$dir/unit/params.bin"
    local flag=()
    [ "$mode" = fast ] && flag=(--fast)
    local t0 t1 rc=0
    local grant=-
    [ "$latency" = 1 ] && grant="$work/lowlatency.so"
    t0=$(date +%s%N)
    "$work/rusage" "$dir/rusage" "$rt_child" "$cpu" "$grant" \
      "$korsync" --quiet --port "$pty" --data "$dir/data" "${flag[@]}" "${sync_args[@]}" >"$dir/out" 2>"$dir/err" || rc=$?
    t1=$(date +%s%N)
    stop_sim
    if [ "$rc" = 0 ] && { [ -z "$ok" ] || grep -q "$ok" "$dir/err"; }; then break; fi
    echo "bench: $name ($mode, $latency ms) failed (exit $rc), attempt $attempt:" >&2
    cat "$dir/err" >&2
    [ "$attempt" = 3 ] && exit 1
  done
  read -r user sys rss <"$dir/rusage"
  awk -v w=$(((t1 - t0) / 1000000)) -v u="$user" -v s="$sys" -v r="$rss" \
    'BEGIN { printf "%d %d %d\n", w, (u + s) * 1000, r }' >"$dir/t"
}

# Files read and the unit's contents after it, each mode against the other (a
# backup's manifest differs only in its date and port).
same() {  # LATENCY NAME
  local a="$work/$1.$2.default" b="$work/$1.$2.fast" m=data/unit/backup.ini
  diff -r -x backup.ini "$a/data" "$b/data" >/dev/null && diff -r "$a/unit" "$b/unit" >/dev/null || { echo NO; return; }
  if [ -f "$a/$m" ]; then
    diff <(grep -v '^date=\|^port=' "$a/$m") <(grep -v '^date=\|^port=' "$b/$m") >/dev/null || { echo NO; return; }
  fi
  echo yes
}

printf '%-14s %7s %9s %9s %9s %8s %9s %13s %13s\n' transfer adapter default fast mandated speed-up identical \
  "cpu def/fast" "rss KB d/f"
for latency in $latencies; do
  for name in "${transfers[@]}"; do
    [ -n "$only" ] && [ "$only" != "$name" ] && continue
    run "$latency" "$name" default
    run "$latency" "$name" fast
    bench_case "$name"
    read -r wd cd rd <"$work/$latency.$name.default/t"
    read -r wf cf rf <"$work/$latency.$name.fast/t"
    awk -v n="$name" -v l="$latency" -v wd="$wd" -v wf="$wf" -v m="$waits" -v id="$(same "$latency" "$name")" \
      -v cd="$cd" -v cf="$cf" -v rd="$rd" -v rf="$rf" 'BEGIN {
        ms = m == "-" ? "        -" : sprintf("%8.2fs", m / 1000)
        printf "%-14s %4d ms %8.2fs %8.2fs %s %7.2fx %9s %5.2f%%/%5.2f%% %6d/%6d\n", n, l, wd / 1000, wf / 1000,
               ms, wd / wf, id, 100 * cd / wd, 100 * cf / wf, rd, rf }'
  done
done
