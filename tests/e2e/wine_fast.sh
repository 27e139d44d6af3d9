#!/usr/bin/env bash
# Fast mode of the Windows command line under Wine (the driver's read time-outs
# end each wait), through COM5 linked to korsim behind an emulated adapter: the
# same file and the same unit contents as the default.
source "$(dirname "$0")/lib.sh"
root=$KORSYNC_SOURCE
source "$root/scripts/wine-env.sh" 2>/dev/null
wine_start
exe="$KORSYNC_WIN64_DIR/src/cli/korsync-cli.exe"
samples="$(dirname "$0")/data/programs"
adapter=(--wire --adapter-latency-ms 16 --unit-delay-ms 0.2)
mkdir -p "$WINEPREFIX/dosdevices"

run_wine() {  # DATA-DIR ARGS...
  local data=$1; shift
  local rc=0
  timeout 120 "${rt[@]}" wine "$exe" --port COM5 --data "$(winepath -w "$data")" "$@" >"$work/stdout" 2>"$work/stderr" || rc=$?
  out=$(cat "$work/stdout"); err=$(cat "$work/stderr")
  [ "$rc" = 0 ] || { echo "korsync-cli $*: exit $rc: $out $err"; exit 1; }
}

for mode in default fast; do
  flag=()
  [ "$mode" = fast ] && flag=(--fast)
  mkdir -p "$work/read.$mode"
  start_sim "read.$mode" "${adapter[@]}" --model 461 --programs "$samples"
  ln -sfn "$pty" "$WINEPREFIX/dosdevices/com5"
  run_wine "$work/read.$mode" "${flag[@]}" read program 5
  stop_sims

  start_sim "write.$mode" "${adapter[@]}" --model silent --dump-programs "$work/write.$mode.dump"
  ln -sfn "$pty" "$WINEPREFIX/dosdevices/com5"
  tail -n +2 "$samples/kor_program_001.txt" >"$work/flange.txt"
  run_wine "$work" "${flag[@]}" write program "$(winepath -w "$work/flange.txt")" --slot 3 --title FLANGE
  expect_in "Программа 003 загружена" "$err"
  stop_sims
done
cmp "$work/read.default/kor_programs/kor_program_005.txt" "$work/read.fast/kor_programs/kor_program_005.txt"
cmp "$samples/kor_program_005.txt" "$work/read.fast/kor_programs/kor_program_005.txt"
diff -r "$work/write.default.dump" "$work/write.fast.dump"
[ -s "$work/write.fast.dump/kor_program_003.bin" ]
echo "wine fast: ok"
