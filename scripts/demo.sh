#!/usr/bin/env bash
# The main job against the simulated unit: set up, build, start korsim on a
# pseudo-terminal seeded with a few programs, and read them all into the data folder
# (out/demo unless KORSYNC_DEMO_DATA names another).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" native
cmake -S "$root" -B "$root/build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build/native" -j "$(nproc)" --target korsync korsim >/dev/null

korsim="$root/build/native/src/sim/korsim"
korsync="$root/build/native/src/cli/korsync"
data=${KORSYNC_DEMO_DATA:-$root/out/demo}
mkdir -p "$data"

log=$(mktemp)
"$korsim" --model 461 --version-text "461 V2.15" --programs "$root/tests/e2e/data/programs" >"$log" &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -f "$log"' EXIT
for _ in $(seq 100); do [ -s "$log" ] && break; sleep 0.05; done
pty=$(head -n1 "$log")
echo "korsim serves a unit on $pty"

echo "\$ korsync --port $pty info"
"$korsync" --port "$pty" --data "$data" info
echo "\$ korsync --port $pty --data $data read program all"
"$korsync" --port "$pty" --data "$data" read program all
echo "programs read into $data/kor_programs:"
ls -l "$data/kor_programs"
