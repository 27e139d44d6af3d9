#!/usr/bin/env bash
# The correction read of the Windows command line under Wine, through the Win32
# overlapped channel on COM5 linked to korsim's pseudo-terminal.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/correction_expect.sh"
root=$KORSYNC_SOURCE
source "$root/scripts/wine-env.sh"
export WINEPREFIX="$KORSYNC_WIN64_DIR/wineprefix-e2e"
wine_start
exe="$KORSYNC_WIN64_DIR/src/cli/korsync-cli.exe"
mkdir -p "$WINEPREFIX/dosdevices" "$work/data"

# run_wine EXPECTED_STATUS ARGS...: korsync-cli.exe in the data folder.
run_wine() {
  local want=$1; shift
  local rc=0
  (cd "$work/data" && timeout 120 wine "$exe" "$@") >"$work/stdout" 2>"$work/stderr" || rc=$?
  out=$(cat "$work/stdout"); err=$(cat "$work/stderr")
  [ "$rc" = "$want" ] || { echo "korsync-cli $*: exit $rc, wanted $want"; echo "$out"; echo "$err"; exit 1; }
}

start_sim corr --correction +:10:1001 --correction -:-7:3 --correction-delay-ms 600
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com5"
run_wine 0 --port COM5 read correction +
expected_table 10 1001 + >"$work/plus.txt"
cmp "$work/plus.txt" "$work/data/kor_correction/kor_correction+.txt"
run_wine 0 --port 5 read correction -
expected_table -7 3 - >"$work/minus.txt"
cmp "$work/minus.txt" "$work/data/kor_correction/kor_correction-.txt"
stop_sims

# A port nobody serves cannot be opened.
ln -sfn /dev/korsync-no-such-port "$WINEPREFIX/dosdevices/com5"
run_wine 1 --port COM5 read correction +
expect_in "Не удалось открыть порт" "$err"
echo "wine correction: ok"
