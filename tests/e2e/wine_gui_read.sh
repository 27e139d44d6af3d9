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

enum='HKLM\SYSTEM\ControlSet001\Services\FTSER2K'
id='FTDIBUS\VID_0403+PID_6001+E2E00001\0000'
unseed() {
  wine reg delete "$enum" /f >/dev/null 2>&1 || true
  wine reg delete 'HKLM\SYSTEM\ControlSet001\Enum\FTDIBUS' /f >/dev/null 2>&1 || true
}
trap 'unseed; cleanup' EXIT
unseed
wine reg add "$enum\\Enum" /v Count /t REG_DWORD /d 1 /f >/dev/null
wine reg add "$enum\\Enum" /v 0 /t REG_SZ /d "$id" /f >/dev/null
wine reg add "HKLM\\SYSTEM\\ControlSet001\\Enum\\$id\\Device Parameters" /v PortName /t REG_SZ /d COM5 /f >/dev/null

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
