#!/usr/bin/env bash
# Parameters end to end: the unit's memory read into a file and written back
# after a backup; a file made by such a read shown and edited as the
# Parameters dialog does it.
source "$(dirname "$0")/lib.sh"

data=$work/data
mkdir -p "$data"
bytes() {  # FILE OFFSET COUNT: the bytes as hex, space-separated
  od -An -tx1 -j "$2" -N "$3" "$1" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'
}

# A memory unlike the simulated unit's own.
head -c 4096 /dev/urandom >"$work/orig.bin"
start_sim a --params "$work/orig.bin" --version-text "461 V2.15"
run_korsync 0 --port "$pty" --data "$data" read params
expect_in "kor_eeprom.koreep" "$err"
expect_in "4096/4096" "$err"
saved=$data/kor_parameters/kor_eeprom.koreep
cmp <(head -c 4096 "$saved") "$work/orig.bin"
[ "$(tail -c +4097 "$saved")" = "461 V2.15" ] || { echo "version text: $(tail -c +4097 "$saved")"; exit 1; }
stop_sims

# Another unit takes that file: its own memory goes to kor_backup first.
start_sim b --dump-params "$work/dump.bin"
run_korsync 0 --port "$pty" --data "$data" read params
own=$data/kor_parameters/kor_eeprom\(1\).koreep
run_korsync 0 --port "$pty" --data "$data" write params "$saved"
expect_in "Параметры загружены" "$err"
stop_sims
cmp "$work/dump.bin" "$work/orig.bin"
cmp "$data/kor_backup/kor_backup_eeprom.koreep" <(head -c 4096 "$own")

# A file that is no parameter file, or holds nothing, never reaches the unit.
start_sim c --dump-params "$work/dump2.bin"
: >"$work/empty.koreep"
run_korsync 1 --port "$pty" --data "$data" write params "$work/empty.koreep"
expect_in "ошибка: Файл параметров пуст" "$err"
cp "$saved" "$work/notes.txt"
run_korsync 1 --port "$pty" --data "$data" write params "$work/notes.txt"
expect_in "ошибка: Неверный формат файла" "$err"
stop_sims
cmp "$work/dump2.bin" <(head -c 4096 "$own")

# The unit's own file as the dialog shows it.
cd "$work"  # relative names work too
cp "$own" p.koreep
run_korsync 0 params show p.koreep
expect_in "  Оси - Экран [2]" "$out"
expect_in "[3] Канал P2.0   Ось: X" "$out"
expect_in "  Коэффициент | 0.001" "$out"
expect_in "[6] Канал P2.3   Ось: нет" "$out"
expect_in "  Яркость экрана | 25" "$out"
run_korsync 0 params show p.koreep 9
expect_in "[9] Система координат G55" "$out"
cmp p.koreep "$own"

# One click per run, saved in place: a negative offset, a list answer, the bar.
run_korsync 0 params edit p.koreep 9 1 -5.000
expect_in "сообщение: Файл сохранен" "$err"
expect_in "  X | -5.000" "$out"
[ "$(bytes p.koreep 108 4)" = "78 ec ff ff" ] || { echo "offset bytes: $(bytes p.koreep 108 4)"; exit 1; }
run_korsync 0 params edit p.koreep 3 10 "<P1.3!"
[ "$(bytes p.koreep 16 1)" = "02" ] || { echo "input byte: $(bytes p.koreep 16 1)"; exit 1; }
run_korsync 0 params edit p.koreep 13 1 50
expect_in "  Яркость экрана | 50" "$out"
run_korsync 0 params edit p.koreep 1 2
expect_in "  P2.1 | U (линейная)" "$out"  # Z is taken by P2.2
cmp <(tail -c +187 p.koreep) <(tail -c +187 "$own")

# Refused input, or a VALUE where none fits, leaves the file as it was.
cp p.koreep before.koreep
run_korsync 1 params edit p.koreep 3 5 1.2.3
expect_in "ошибка:" "$err"
run_korsync 1 params edit p.koreep 3 5 ""
run_korsync 2 params edit p.koreep 3 5
run_korsync 2 params edit p.koreep 1 1 X
run_korsync 2 params edit p.koreep 15 1
cmp p.koreep before.koreep

# Opening repairs a bad brightness in the file itself; a wrong name is refused.
printf '\x00' | dd of=p.koreep bs=1 seek=176 conv=notrunc 2>/dev/null
run_korsync 0 params show p.koreep 13
expect_in "  Яркость экрана | 26" "$out"
[ "$(bytes p.koreep 176 1)" = "19" ] || { echo "repair: $(bytes p.koreep 176 1)"; exit 1; }
run_korsync 1 params show notes.txt
expect_in "ошибка: Неизвестный формат файла" "$err"
echo "params: ok"
