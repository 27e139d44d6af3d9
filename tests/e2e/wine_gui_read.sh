#!/usr/bin/env bash
# The real main window under Wine reads program 5 from korsim through " Сохранить".
# Its COM port is the one adapter discovery finds in the FTDI driver's
# enumeration, seeded here as a plugged-in adapter on COM5.
source "$(dirname "$0")/lib.sh"
root=$KORSYNC_SOURCE
source "$root/scripts/wine-env.sh" 2>/dev/null
wine_start
driver="$KORSYNC_WIN64_DIR/tests/gui/gui_driver.exe"
[ -f "$driver" ] || { echo "no $driver"; exit 1; }

source "$(dirname "$0")/wine_adapter.sh"
trap 'unseed_adapter; cleanup' EXIT
unseed_adapter
seed_adapter E2E00001

mkdir -p "$work/seed" "$work/data"
printf '%%PART 5\r\nG01 X10.000 Y-2.500\r\nM02\r\n' >"$work/seed/kor_program_005.txt"
start_sim block --model 461 --programs "$work/seed"
mkdir -p "$WINEPREFIX/dosdevices"
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com5"

run=(wine "$driver" read "$(winepath -w "$work/data")" 5)
[ -n "${DISPLAY:-}" ] || run=(xvfb-run -a -s "-screen 0 1024x768x24" "${run[@]}")
rc=0
timeout 180 "${run[@]}" >"$work/stdout" 2>"$work/stderr" || rc=$?
out=$(iconv -f CP1251 -t UTF-8 <"$work/stdout" | tr -d '\r')
[ "$rc" = 0 ] || { echo "exit $rc: $out $(tail -5 "$work/stderr")"; exit 1; }
expect_in "port: COM5" "$out"
expect_in "box: Файл сохранен: " "$out"
expect_in "kor_program_005.txt." "$out"
saved="$work/data/kor_programs/kor_program_005.txt"
[ -f "$saved" ] || { echo "nothing saved: $out"; exit 1; }
content=$(tr -d '\r' <"$saved")
expect_in "PART 5" "$content"
expect_in "G01 X10.000 Y-2.500" "$content"
expect_in "M02" "$content"
echo "wine gui read: ok"
