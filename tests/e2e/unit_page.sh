#!/usr/bin/env bash
# The whole unit through a page-generation unit (no version answer). Its
# images hold no title: a restore names each program after its file, so the
# unit starts with titles of that kind.
source "$(dirname "$0")/unit_lib.sh"
# A restore takes a fresh backup first: two whole-unit reads and the writes.
export KORSYNC_TIMEOUT=400
# The third page of slot 5 comes short.
run_unit_flow silent name "cut:02:2:1::p5"
[ -s "$work/final/kor_program_005.bin" ]
echo "unit_page: ok"
