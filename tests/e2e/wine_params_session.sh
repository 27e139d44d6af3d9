#!/usr/bin/env bash
# KorSync.exe started with a parameter file, under Wine: the editor opens on the
# file and the file is selected for sending. A second copy started that way asks
# the running ones to close; a copy obeys only while it holds no port (here the
# connection test holds COM5, served by korsim).
# All copies share one X display; without one the script runs itself under Xvfb.
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
source "$(dirname "$0")/lib.sh"
root=$KORSYNC_SOURCE
prefix=${WINEPREFIX:-}
source "$root/scripts/wine-env.sh" 2>/dev/null
[ -n "$prefix" ] && export WINEPREFIX=$prefix
wine_start
exe="$KORSYNC_WIN64_DIR/src/gui/KorSync.exe"
driver="$KORSYNC_WIN64_DIR/tests/gui/aux_driver.exe"
[ -f "$exe" ] && [ -f "$driver" ] || { echo "no $exe or $driver"; exit 1; }

source "$(dirname "$0")/wine_adapter.sh"
user='HKCU\Software\ZEMRA\Korsync'
copies=()
finish() {
  for p in "${copies[@]:-}"; do [ -n "$p" ] && { kill "$p" 2>/dev/null || true; }; done
  unseed_adapter
  wine reg delete "$user" /v m_path /f >/dev/null 2>&1 || true
  cleanup
}
trap finish EXIT
# The one adapter on COM5, and the program already registered for .koreep files
# (else its first start would stop at a notice).
seed_adapter E2E00002
wine reg add "$user" /v last_app_path /t REG_SZ /d "$(winepath -w "$exe")" /f >/dev/null
mkdir -p "$work/data"
wine reg add "$user" /v m_path /t REG_SZ /d "$(winepath -w "$work/data")" /f >/dev/null

start_sim unit --model 461
mkdir -p "$WINEPREFIX/dosdevices"
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com5"

# Parameter files as a read makes them: channels X, Y, Z, brightness 25.
files="$work/param files"
mkdir -p "$files"
for name in first second third; do
  { printf '\x00\x01\x02\x0d\x00\x01\x02\x0d'; head -c 168 /dev/zero; printf '\x1a\x00\x01'; head -c 3917 /dev/zero
    printf '461 v1.07'; } >"$files/$name.koreep"
done

# start NAME: KorSync.exe with "<files>\NAME.koreep" (a path with a space).
start_copy() {
  wine "$exe" "$(winepath -w "$files/$1.koreep")" >/dev/null 2>&1 &
  copies+=($!)
}
probe() {  # probe COMMAND TITLE [SECONDS]: the driver's output in $out
  local rc=0
  out=$(timeout 120 wine "$driver" "$@" 2>/dev/null | iconv -f CP1251 -t UTF-8 | tr -d '\r') || rc=$?
  [ "$rc" = 0 ] || { echo "aux_driver $*: exit $rc: $out"; exit 1; }
}
ended() {  # ended PID SECONDS: the process is gone within that time
  for _ in $(seq $(($2 * 10))); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
  return 1
}

start_copy first
first=${copies[-1]}
probe editor first.koreep 60
expect_in "tab: 1" "$out"
expect_in "file box: first.koreep" "$out"
expect_in "group: Оси - Измерительные каналы" "$out"

# The first copy runs the connection test: it holds the port and stays.
probe hold-port first.koreep
expect_in "port held" "$out"
start_copy second
second=${copies[-1]}
probe editor second.koreep 60
expect_in "file box: second.koreep" "$out"
if ended "$first" 3; then echo "the first copy closed while it held the port"; exit 1; fi
probe editor first.koreep 5

# Without the port both earlier copies give way to a third.
probe release first.koreep
start_copy third
probe editor third.koreep 60
expect_in "file box: third.koreep" "$out"
ended "$first" 30 || { echo "the first copy did not close"; exit 1; }
ended "$second" 30 || { echo "the second copy did not close"; exit 1; }
probe quit third.koreep
ended "${copies[-1]}" 30 || { echo "the third copy did not close"; exit 1; }
echo "wine params session: ok"
