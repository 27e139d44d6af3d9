#!/usr/bin/env bash
# Renders every state of the main window (each tab and kind, a chosen file) and
# its dialogs (settings in both forms, program download) to PNG files, under
# Xvfb with an adapter on COM5 in the FTDI enumeration.
#   scripts/render-gui.sh [OUT_DIR]      (default build/gui-png)
# WIN64_DIR names the Windows 64-bit build folder (build/win64).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
win64=${WIN64_DIR:-$root/build/win64}
out=${1:-$root/build/gui-png}
driver=$win64/tests/gui/gui_driver.exe
states=(tab0-program tab0-subprogram tab0-parameters tab1-program tab1-subprogram tab1-parameters
        tab1-firmware tab1-chosen tab2 settings settings-port download)
# The auxiliary windows (parameters editor on each group kind, input dialog per
# value kind, connection test running, control dialog, about box).
aux=$win64/tests/gui/aux_driver.exe

if [ "${RENDER_INNER:-}" = 1 ]; then
  for s in "${states[@]}"; do
    wine "$driver" show "$s" 4 "$SAMPLE" >/dev/null 2>&1 &
    pid=$!
    sleep 3
    xwd -root -silent | convert xwd:- -trim +repage "$out/$s.png"
    wait "$pid" || true
  done
  if [ -f "$aux" ]; then
    for s in $(wine "$aux" show list 2>/dev/null | tr -d '\r'); do
      wine "$aux" show "$s" 4 >/dev/null 2>&1 &
      pid=$!
      sleep 3
      xwd -root -silent | convert xwd:- -trim +repage "$out/$s.png"
      wait "$pid" || true
    done
  fi
  exit 0
fi

[ -f "$driver" ] || { echo "render-gui: no $driver (scripts/build.sh win64)"; exit 1; }
prefix=${WINEPREFIX:-}
source "$root/scripts/wine-env.sh"
[ -n "$prefix" ] && export WINEPREFIX=$prefix
wine_start
mkdir -p "$out"
tmp=$(mktemp -d)
enum='HKLM\SYSTEM\ControlSet001\Services\FTSER2K'
id='FTDIBUS\VID_0403+PID_6001+RENDER01\0000'
finish() {
  wine reg delete "$enum" /f >/dev/null 2>&1 || true
  wine reg delete 'HKLM\SYSTEM\ControlSet001\Enum\FTDIBUS' /f >/dev/null 2>&1 || true
  rm -rf "$tmp"
}
trap finish EXIT
wine reg add "$enum\\Enum" /v Count /t REG_DWORD /d 1 /f >/dev/null
wine reg add "$enum\\Enum" /v 0 /t REG_SZ /d "$id" /f >/dev/null
wine reg add "HKLM\\SYSTEM\\ControlSet001\\Enum\\$id\\Device Parameters" /v PortName /t REG_SZ /d COM5 /f >/dev/null
printf '%%PART 12\r\nG01 X10.000\r\nM02\r\n' >"$tmp/part12.txt"

RENDER_INNER=1 SAMPLE=$(winepath -w "$tmp/part12.txt") \
  xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$out"
ls "$out"/*.png
