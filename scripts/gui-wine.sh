#!/usr/bin/env bash
# Runs KorSync.exe under Wine against korsim. korsim's pseudo-terminal becomes
# COM5 of the Wine prefix, and the FTDI driver's enumeration in the prefix's
# registry lists one adapter on COM5, so the window finds the "unit" as it
# finds a plugged-in adapter.
#   scripts/gui-wine.sh [KORSIM OPTIONS...]      (default: --model 461)
# WIN64_DIR and NATIVE_DIR name the build folders (build/win64, build/native).
# Without a display the window runs under Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
win64=${WIN64_DIR:-$root/build/win64}
native=${NATIVE_DIR:-$root/build/native}
exe=$win64/src/gui/KorSync.exe
korsim=$native/src/sim/korsim
[ -f "$exe" ] || { echo "gui-wine: no $exe (scripts/build.sh win64)"; exit 1; }
[ -x "$korsim" ] || { echo "gui-wine: no $korsim (scripts/build.sh native)"; exit 1; }
prefix=${WINEPREFIX:-}
source "$root/scripts/wine-env.sh"
[ -n "$prefix" ] && export WINEPREFIX=$prefix
wine_start

tmp=$(mktemp -d)
enum='HKLM\SYSTEM\ControlSet001\Services\FTSER2K'
id='FTDIBUS\VID_0403+PID_6001+KORSIM01\0000'
sim=""
finish() {
  [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
  wine reg delete "$enum" /f >/dev/null 2>&1 || true
  wine reg delete 'HKLM\SYSTEM\ControlSet001\Enum\FTDIBUS' /f >/dev/null 2>&1 || true
  rm -rf "$tmp"
}
trap finish EXIT

args=("$@")
[ ${#args[@]} -gt 0 ] || args=(--model 461)
"$korsim" "${args[@]}" >"$tmp/sim.out" 2>"$tmp/sim.err" &
sim=$!
for _ in $(seq 100); do [ -s "$tmp/sim.out" ] && break; sleep 0.05; done
pty=$(head -n1 "$tmp/sim.out")
[ -n "$pty" ] || { echo "gui-wine: korsim did not start: $(cat "$tmp/sim.err")"; exit 1; }
mkdir -p "$WINEPREFIX/dosdevices"
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com5"

wine reg add "$enum\\Enum" /v Count /t REG_DWORD /d 1 /f >/dev/null
wine reg add "$enum\\Enum" /v 0 /t REG_SZ /d "$id" /f >/dev/null
wine reg add "HKLM\\SYSTEM\\ControlSet001\\Enum\\$id\\Device Parameters" /v PortName /t REG_SZ /d COM5 /f >/dev/null

echo "gui-wine: korsim on $pty as COM5; closing the window ends it"
if [ -n "${DISPLAY:-}" ]; then
  wine "$exe"
else
  xvfb-run -a -s "-screen 0 1024x768x24" wine "$exe"
fi
