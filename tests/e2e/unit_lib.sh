# Sourced by the whole-unit runs: a unit holding programs in slots 1, 5 and 20,
# subprograms 1 and 50, its parameters and both correction tables; backup,
# change, compare, restore, compare, and the unit's memory checked against
# what it held at the start.
source "$(dirname "$0")/lib.sh"

# unit_fixtures DIR TITLE_RULE: program files as the unit holds them (lines
# normalized as a write leaves them). TITLE_RULE "title" gives each a title
# line, "name" makes the file's own name the title (what a page unit keeps
# after a write from a file without one).
unit_fixtures() {
  local dir=$1 rule=$2 f
  mkdir -p "$dir"
  body() {  # N: a few moves that differ per slot
    printf '001:G90\r\n002:X%d.000 F100.00\r\n003:Y-2.500\r\n004:M30\r\n' "$1"
  }
  for f in kor_program_001 kor_program_005 kor_program_020 kor_subprogram_001 kor_subprogram_050; do
    if [ "$rule" = title ]; then printf '%%%s\r\n' "${f^^}" >"$dir/$f.txt"; else printf '%%%s.txt\r\n' "$f" >"$dir/$f.txt"; fi
    body "${f##*_}" >>"$dir/$f.txt"
  done
}

# run_unit_flow MODEL: the whole flow against korsim --model MODEL.
run_unit_flow() {
  local model=$1 title=$2
  unit_fixtures "$work/progs" "$title"
  local tables=(--correction +:10:1500 --correction -:0x8005:20)
  # The unit's memory as it starts, dumped by a run that does nothing else.
  start_sim orig --model "$model" --programs "$work/progs" "${tables[@]}" \
    --dump-programs "$work/orig" --dump-params "$work/orig.params" --dump-correction "$work/orig.corr"
  stop_sims

  start_sim unit --model "$model" --programs "$work/progs" "${tables[@]}" \
    --dump-programs "$work/final" --dump-params "$work/final.params" --dump-correction "$work/final.corr"
  run_korsync 0 --port "$pty" --data "$work/data" backup
  local b
  b=$(sed -n 's/^backup: //p' <<<"$out")
  [ -d "$b" ] || { echo "no backup folder in: $out"; exit 1; }
  expect_in "$(basename "$(dirname "$b")")" "kor_backup"
  [[ "$(basename "$b")" =~ ^unit_[0-9]{8}-[0-9]{6}$ ]] || { echo "folder name: $b"; exit 1; }
  expect_in "5/73 program 005: program" "$out"
  expect_in "73 items: 3 programs, 2 subprograms, params, 2 correction tables, 65 empty, 0 failed" "$out"
  (cd "$b" && sha256sum -c --quiet SHA256SUMS)
  [ "$(tail -n 1 "$b/backup.ini")" = "complete=1" ]
  grep -q '^model='"${model/silent/-1}"'$' "$b/backup.ini"

  # Change the unit: another program into slot 5, other parameters.
  printf '001:G91\r\n002:Z-1.000\r\n' >"$work/other.txt"
  run_korsync 0 --port "$pty" --data "$work/data" write program "$work/other.txt" --slot 5 --title OTHER
  head -c 4096 "$b/kor_parameters/kor_eeprom.koreep" >"$work/other.koreep"
  printf '\x05' | dd of="$work/other.koreep" bs=1 seek=176 conv=notrunc status=none
  run_korsync 0 --port "$pty" --data "$work/data" write params "$work/other.koreep"

  run_korsync 1 --port "$pty" --data "$work/data" compare "$b"
  [ "$(grep -vc ': same$' <<<"$out")" = 2 ] || { echo "compare: $out"; exit 1; }
  expect_in "program 005: differs: line 1:" "$out"
  expect_in "params: differs: offset 176 (0x0B0): unit 0x05 backup 0x1A, Настройки: Яркость экрана" "$out"

  # Without a terminal a restore must be told yes.
  run_korsync 2 --port "$pty" --data "$work/data" restore "$b" </dev/null
  run_korsync 0 --port "$pty" --data "$work/data" restore "$b" --yes
  expect_in "fresh backup: $work/data/kor_backup/unit_" "$out"
  expect_in "program 005: written, verified" "$out"
  expect_in "params: written, verified" "$out"
  expect_in "restore: 6 items written and verified" "$out"
  run_korsync 0 --port "$pty" --data "$work/data" compare "$b"
  [ "$(grep -vc ': same$' <<<"$out")" = 0 ] || { echo "compare after restore: $out"; exit 1; }
  stop_sims

  diff -r "$work/orig" "$work/final"
  cmp "$work/orig.params" "$work/final.params"
  diff -r "$work/orig.corr" "$work/final.corr"

  # Offline: the fresh backup (taken with slot 5 changed) against the first.
  local fresh
  fresh=$(ls -d "$work/data/kor_backup/unit_"* | grep -v "^$b\$" | head -n 1)
  run_korsync 1 --port /nonexistent --data "$work/data" compare "$b" "$fresh"
  expect_in "program 005: differs: line 1:" "$out"
  run_korsync 1 --port /nonexistent --data "$work/data" compare "$b/kor_parameters/kor_eeprom.koreep" "$work/other.koreep"
  expect_in "params: differs: offset 176, Настройки: Яркость экрана: 0x1A -> 0x05" "$out"

  # A backup cut inside slot 5 is never complete, and restore refuses it.
  start_sim cut --model "$model" --programs "$work/progs" "${tables[@]}" --fault "$3"
  run_korsync 1 --port "$pty" --data "$work/data" backup --out "$work/cut"
  expect_in "program 005: failed" "$out"
  expect_in "ошибка: Резервная копия не завершена: program 005" "$err"
  [ "$(tail -n 1 "$work/cut/backup.ini")" = "complete=0" ]
  stop_sims
  run_korsync 1 --port /nonexistent --data "$work/data" restore "$work/cut" --yes
  expect_in "ошибка: Восстановление не начато: резервная копия не завершена" "$err"

  # One byte changed in a backed-up file: refused before the port is even opened.
  cp -r "$b" "$work/damaged"
  printf 'X' | dd of="$work/damaged/kor_programs/kor_program_020.txt" bs=1 seek=3 conv=notrunc status=none
  run_korsync 1 --port /nonexistent --data "$work/data" restore "$work/damaged" --yes
  expect_in "ошибка: Восстановление не начато: резервная копия повреждена (program 020: SHA-256 does not match)" "$err"
}
