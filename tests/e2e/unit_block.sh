#!/usr/bin/env bash
# The whole unit through a block-generation unit (461).
source "$(dirname "$0")/unit_lib.sh"
# The header of slot 5 comes, every attempt at its first block is cut.
run_unit_flow 461 title "cut:02:1:3::p5"
echo "unit_block: ok"
