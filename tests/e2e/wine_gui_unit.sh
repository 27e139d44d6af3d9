#!/usr/bin/env bash
# The real main window under Wine backs the whole unit up from the menu, once
# to the end and once stopped at once, and compares the unit with a backup.
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
printf '%%PART 5\r\n001:G90\r\n002:X10.000 Y-2.500\r\n' >"$work/seed/kor_program_005.txt"
printf '001:G91\r\n' >"$work/seed/kor_subprogram_050.txt"
start_sim block --model 461 --programs "$work/seed" --correction +:10:30 --correction -:10:30
mkdir -p "$WINEPREFIX/dosdevices"
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com5"

drive() {  # ARGS...: the driver's boxes in $out
  local run=(wine "$driver" "$@") rc=0
  [ -n "${DISPLAY:-}" ] || run=(xvfb-run -a -s "-screen 0 1024x768x24" "${run[@]}")
  timeout 240 "${run[@]}" >"$work/stdout" 2>"$work/stderr" || rc=$?
  # A start that never reached the program (no box, no line) is tried once more.
  if [ "$rc" != 0 ] && [ ! -s "$work/stdout" ]; then
    rc=0
    timeout 240 "${run[@]}" >"$work/stdout" 2>"$work/stderr" || rc=$?
  fi
  out=$(iconv -f CP1251 -t UTF-8 <"$work/stdout" | tr -d '\r')
  [ "$rc" = 0 ] || { echo "exit $rc: $out $(tail -5 "$work/stderr")"; exit 1; }
}

drive backup "$(winepath -w "$work/data")"
expect_in "box: Резервная копия КОР сохранена:" "$out"
expect_in "программ: 1, подпрограмм: 1, параметры: да, таблиц коррекции: 2, пустых слотов: 68" "$out"
full=$(ls -d "$work/data/kor_backup/unit_"*)
[ "$(tail -n 1 "$full/backup.ini")" = "complete=1" ]
(cd "$full" && sha256sum -c --quiet SHA256SUMS)
sleep 1  # the next backup gets a folder of its own second

drive backup "$(winepath -w "$work/data")" stop
expect_in "box: Резервная копия не завершена (остановлено):" "$out"
stopped=$(ls -d "$work/data/kor_backup/unit_"* | grep -v "^$full\$")
[ "$(tail -n 1 "$stopped/backup.ini")" = "complete=0" ]
grep -q '^program_002=not-read$' "$stopped/backup.ini"

# Slot 5 changed behind the window's back: the compare names it.
printf '001:M30\r\n' >"$work/other.txt"
rm -f "$WINEPREFIX/dosdevices/com5"
run_korsync 0 --port "$pty" --data "$work/data" write program "$work/other.txt" --slot 5 --title OTHER
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com5"
drive compare "$(winepath -w "$work/data")" "$(winepath -w "$full")"
expect_in "box: КОР отличается от резервной копии" "$out"
expect_in "program 005: differs: line 1: unit \"%OTHER\" backup \"%PART 5\"" "$out"
[ "$(grep -c ': differs\|: only in' <<<"$out")" = 1 ] || { echo "compare: $out"; exit 1; }
echo "wine gui unit: ok"
