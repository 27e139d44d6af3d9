#!/usr/bin/env bash
# korsync config, and the stored speed and data folder as the defaults of --speed
# and --data.
source "$(dirname "$0")/lib.sh"
cfg="$work/cfg/settings.ini"
mkdir -p "$work/data dir"

run_korsync 0 --config "$cfg" config
expect_in "settings: $cfg" "$out"
expect_in "m_path: (not set" "$out"
expect_in "bdrate: (not set: 200000 is used)" "$out"

run_korsync 0 --config "$cfg" config --set-speed 115200 --set-data "$work/data dir"
expect_in "m_path: $work/data dir" "$out"
expect_in "bdrate: 115200" "$out"

# The environment names the file too.
KORSYNC_CONFIG="$cfg" run_korsync 0 config
expect_in "bdrate: 115200" "$out"

# A unit that hears only 115200 bit/s is reached with the stored speed, and the
# program lands in the stored data folder.
mkdir -p "$work/seed"
printf '%%STORED\r\nG01 X1.000\r\n' >"$work/seed/kor_program_003.txt"
start_sim s115 --model 461 --speed 115200 --programs "$work/seed"
KORSYNC_CONFIG="$cfg" run_korsync 0 --port "$pty" read program 3
[ -f "$work/data dir/kor_programs/kor_program_003.txt" ] || { echo "not in the stored data folder"; exit 1; }
stop_sims

# 2 Мбит/c is stored but not used at the next start.
run_korsync 0 --config "$cfg" config --set-speed 2000000
expect_in "bdrate: 2000000 (not used at start: 200000 is)" "$out"

# Refused without touching the file.
before=$(cat "$cfg")
run_korsync 2 --config "$cfg" config --set-speed 9600
run_korsync 2 --config "$cfg" config --set-data "$work/no such folder"
[ "$(cat "$cfg")" = "$before" ] || { echo "settings changed by a refused change"; exit 1; }

# No adapter here: ports says so and nothing fails.
run_korsync 0 ports
expect_in "port: " "$out"
echo "config: ok"
