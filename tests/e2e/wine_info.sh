#!/usr/bin/env bash
# The Windows command line under Wine, through COM5 linked to korsim's pseudo-terminal.
source "$(dirname "$0")/lib.sh"
root=$KORSYNC_SOURCE
source "$root/scripts/wine-env.sh" 2>/dev/null
wine_start
exe="$KORSYNC_WIN64_DIR/src/cli/korsync-cli.exe"

start_sim block --model 461 --version-text "461 V2.15"
mkdir -p "$WINEPREFIX/dosdevices"
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com5"
rc=0
timeout 120 wine "$exe" --port COM5 info >"$work/stdout" 2>"$work/stderr" || rc=$?
out=$(cat "$work/stdout"); err=$(cat "$work/stderr")
[ "$rc" = 0 ] || { echo "exit $rc: $out $err"; exit 1; }
expect_in "version: 461 V2.15" "$out"
expect_in "protocol: block" "$out"
stop_sims

start_sim page --model silent
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com5"
timeout 120 wine "$exe" --port 5 info >"$work/stdout" 2>"$work/stderr" || true
expect_in "protocol: page" "$(cat "$work/stdout")"
echo "wine info: ok"
