#!/usr/bin/env bash
# Parameters without loss: a restore from the backup sends the backup's bytes and
# keeps the backup it replaces; a spoilt memory answer is never saved; a file too
# short to be a parameter file is refused and left as it is.
source "$(dirname "$0")/lib.sh"

data=$work/data
mkdir -p "$data"
backup=$data/kor_backup/kor_backup_eeprom.koreep
head -c 4096 /dev/urandom >"$work/before.bin"
head -c 4096 /dev/urandom >"$work/now.bin"

# A backup from an earlier write, then the unit changed.
start_sim a --params "$work/before.bin"
run_korsync 0 --port "$pty" --data "$data" write params "$work/now.bin"
stop_sims
cmp "$backup" "$work/before.bin"

start_sim b --params "$work/now.bin" --dump-params "$work/dump.bin"
run_korsync 0 --port "$pty" --data "$data" write params "$backup"
expect_in "Параметры загружены" "$err"
stop_sims
cmp "$work/dump.bin" "$work/before.bin"
cmp "$backup" "$work/now.bin"
dated=$(cd "$data/kor_backup" && ls | grep -E '^kor_backup_eeprom_[0-9]{8}-[0-9]{6}\.koreep$' || true)
[ "$(printf '%s\n' "$dated" | grep -c .)" = 1 ] || { echo "dated copies: $(ls "$data/kor_backup")"; exit 1; }
cmp "$data/kor_backup/$dated" "$work/before.bin"

# One spoilt answer is read again; answers that never agree save nothing.
start_sim c --params "$work/now.bin" --fault wrong-byte:04
run_korsync 0 --port "$pty" --data "$data" read params
expect_in "4096/4096" "$err"
stop_sims
cmp <(head -c 4096 "$data/kor_parameters/kor_eeprom.koreep") "$work/now.bin"
spoil=(--params "$work/now.bin" --fault wrong-byte:04 --fault cut:04:0:1:3000 --fault swap:04)
start_sim d "${spoil[@]}"
run_korsync 1 --port "$pty" --data "$data" read params
expect_in "предупреждение: Чтения памяти параметров не совпали" "$err"
stop_sims
[ ! -e "$data/kor_parameters/kor_eeprom(1).koreep" ] || { echo "a spoilt read was saved"; exit 1; }
# Without a backup that agrees with itself the write does not run.
cp "$backup" "$work/backup.was"
start_sim e "${spoil[@]}" --dump-params "$work/dump2.bin"
run_korsync 1 --port "$pty" --data "$data" write params "$work/before.bin"
expect_in "предупреждение: Чтения памяти параметров не совпали" "$err"
stop_sims
cmp "$work/dump2.bin" "$work/now.bin"
cmp "$backup" "$work/backup.was"

# Too short for the parameter layout: refused, not repaired into a file.
: >"$work/zero.koreep"
head -c 100 "$work/now.bin" >"$work/hundred.koreep"
run_korsync 1 params show "$work/zero.koreep"
expect_in "ошибка: неверный файл" "$err"
[ -f "$work/zero.koreep" ] && [ ! -s "$work/zero.koreep" ] || { echo "zero.koreep changed"; exit 1; }
cp "$work/hundred.koreep" "$work/hundred.was"
run_korsync 1 params edit "$work/hundred.koreep" 13 1 50
expect_in "ошибка: неверный файл" "$err"
cmp "$work/hundred.koreep" "$work/hundred.was"
echo "params_restore: ok"
