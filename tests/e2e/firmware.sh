#!/usr/bin/env bash
# korsync flash against a simulated unit in programming mode: the unit must then
# hold the image byte for byte, its clock set and the update closed.
source "$(dirname "$0")/lib.sh"

# make_hex SIZE NAME: NAME.hex (16-byte records, a segment record every 64 KiB,
# CR LF) and NAME.bin, the whole flash as the unit should then hold it.
make_hex() {
  python3 - "$1" "$work/$2" <<'PY'
import sys
size, base = int(sys.argv[1]), sys.argv[2]
image = bytes((i * 7 + i // 256) & 0xFF for i in range(size))
def record(kind, address, data):
    body = bytes([len(data), address >> 8, address & 0xFF, kind]) + data
    return ":" + (body + bytes([-sum(body) & 0xFF])).hex().upper() + "\r\n"
text = ""
for at in range(0, size, 16):
    if at and at % 0x10000 == 0:
        text += record(2, 0, (at // 16).to_bytes(2, "big"))
    text += record(0, at % 0x10000, image[at:at + 16])
text += ":00000001FF\r\n"
open(base + ".hex", "w", newline="").write(text)
open(base + ".bin", "wb").write(image + b"\xff" * (257024 - size))
PY
}

# At the usual 200000 bit/s, a file named relative to the current directory.
make_hex 20000 small
start_sim unit --dump-flash "$work/flash1.bin" --dump-clock "$work/clock1.txt"
pushd "$work" >/dev/null
run_korsync 0 --port "$pty" flash small.hex
popd >/dev/null
expect_in "сообщение: Прошивка завершена" "$err"
[ -z "$out" ] || { echo "unexpected output: $out"; exit 1; }
# Written at the closing command, before korsim is stopped.
[ -f "$work/flash1.bin" ] || { echo "the unit got no closing command"; exit 1; }
cmp "$work/small.bin" "$work/flash1.bin"
expect_in "$(date +%Y-%m-%d)" "$(cat "$work/clock1.txt")"
stop_sims

# A unit that answers only at 115200 bit/s, with firmware beyond 64 KiB.
make_hex 70000 large
start_sim slow --speed 115200 --dump-flash "$work/flash2.bin"
run_korsync 0 --port "$pty" flash "$work/large.hex"
expect_in "Прошивка завершена" "$err"
cmp "$work/large.bin" "$work/flash2.bin"
stop_sims

# Not in programming mode: page 0 goes unanswered six times.
start_sim deaf --fault no-answer:00:0:-1
run_korsync 1 --port "$pty" flash "$work/small.hex"
expect_in "предупреждение: Войдите в режим: ПРОГРАММИРОВАНИЕ ЧЕРЕЗ ПК" "$err"
expect_in " 6 count_error" "$out"

# Files that must not be flashed, and a file that is not there.
printf ':00000001FF\r\n' >"$work/empty.hex"
printf ':10000000000102030405060708090A0B0C0D0E0F78\n:00000001FF\n' >"$work/lf.hex"
run_korsync 1 --port "$pty" flash "$work/empty.hex"
expect_in "ошибка: NOTHING" "$err"
run_korsync 1 --port "$pty" flash "$work/lf.hex"
expect_in "ошибка: Файл поврежден" "$err"
run_korsync 1 --port "$pty" flash "$work/missing.hex"
expect_in "ошибка: Не удалось открыть файл" "$err"
stop_sims

# No unit at any speed.
start_sim none --speed 9600
run_korsync 1 --port "$pty" flash "$work/small.hex"
expect_in "предупреждение: Выберите в меню 'Режим обмена с ПК' и проверьте скорость передачи" "$err"
stop_sims

run_korsync 2 flash
echo "firmware: ok"
