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
# What is about to go in, said before any page.
[ "$out" = "ready: 0x00000-0x04E1F (20000 bytes); image end 20000 (0x04E20); 40 pages to write" ] ||
  { echo "unexpected output: $out"; exit 1; }
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
expect_in "ошибка: Файл поврежден: строки должны заканчиваться CR LF" "$err"
run_korsync 1 --port "$pty" flash "$work/missing.hex"
expect_in "ошибка: Не удалось открыть файл" "$err"
stop_sims

# No unit at any speed.
start_sim none --speed 9600
run_korsync 1 --port "$pty" flash "$work/small.hex"
expect_in "предупреждение: Выберите в меню 'Режим обмена с ПК' и проверьте скорость передачи" "$err"
stop_sims

# 1000 bytes placed at 0x10000 by an extended linear address record land there,
# and nothing lands at the bottom of the flash.
python3 - "$work/linear" <<'PY'
import sys
base = sys.argv[1]
data = bytes((i * 13 + 5) & 0xFF for i in range(1000))
def record(kind, address, body):
    b = bytes([len(body), address >> 8, address & 0xFF, kind]) + body
    return ":" + (b + bytes([-sum(b) & 0xFF])).hex().upper() + "\r\n"
text = record(4, 0, b"\x00\x01")
for at in range(0, len(data), 16):
    text += record(0, at, data[at:at + 16])
text += ":00000001FF\r\n"
open(base + ".hex", "w", newline="").write(text)
flash = bytearray(b"\xff" * 257024)
flash[0x10000:0x10000 + len(data)] = data
open(base + ".bin", "wb").write(flash)
PY
run_korsync 0 flash --check "$work/linear.hex"
expect_in "ready: 0x10000-0x103E7 (1000 bytes); image end 66536 (0x103E8); 130 pages to write" "$out"
expect_in "  04 extended linear address: 1 record, linear base = value * 65536" "$out"
expect_in "  0x00000-0x0FFFF (65536 bytes)" "$out"
start_sim linear --speed 115200 --dump-flash "$work/flash3.bin"
run_korsync 0 --port "$pty" flash "$work/linear.hex"
expect_in "Прошивка завершена" "$err"
stop_sims
[ "$(head -c 1000 "$work/flash3.bin" | tr -d '\377' | wc -c)" = 0 ] || { echo "data landed at 0x0000"; exit 1; }
cmp "$work/linear.bin" "$work/flash3.bin"

# A file as GNU objcopy writes a 100 000-byte binary (segment records): it loads
# and flashes byte for byte.
python3 -c 'import sys; sys.stdout.buffer.write(bytes((i * 7 + i // 256) & 0xFF for i in range(100000)))' >"$work/tool.raw"
(cd "$work" && objcopy -I binary -O ihex tool.raw tool.hex)
grep -q '^:020000021000EC' "$work/tool.hex"
run_korsync 0 flash --check "$work/tool.hex"
[ "$out" = "ready: 0x00000-0x1869F (100000 bytes); image end 100000 (0x186A0); 196 pages to write
record types:
  00 data: 6250 records, stored at the address plus both bases
  01 end of file: 1 record, ends the load
  02 extended segment address: 1 record, segment base = value * 16
overlaps: none
gaps: none" ] || { echo "unexpected check of tool.hex: $out"; exit 1; }
start_sim tool --speed 115200 --dump-flash "$work/flash4.bin"
run_korsync 0 --port "$pty" flash "$work/tool.hex"
expect_in "Прошивка завершена" "$err"
stop_sims
{ cat "$work/tool.raw"; head -c $((257024 - 100000)) /dev/zero | tr '\0' '\377'; } | cmp - "$work/flash4.bin"

# flash --check needs no unit: what each file would put where, or why it is refused.
check() {  # STATUS FILE TEXT...
  local want=$1 file=$2; shift 2
  run_korsync "$want" flash --check "$file"
  for t in "$@"; do expect_in "$t" "$out"; done
}
record() {  # TYPE ADDRESS HEXBYTES: one record with its checksum, CR LF
  python3 -c 'import sys
b = bytes([len(bytes.fromhex(sys.argv[3])), int(sys.argv[2], 16) >> 8, int(sys.argv[2], 16) & 0xFF, int(sys.argv[1])]) + bytes.fromhex(sys.argv[3])
sys.stdout.write(":" + (b + bytes([-sum(b) & 0xFF])).hex().upper() + "\r\n")' "$@"
}
eof=$':00000001FF\r\n'
{ record 0 0000 000102030405060708090A0B0C0D0E0F; record 0 0008 AABBCCDD; printf '%s' "$eof"; } >"$work/overlap.hex"
check 0 "$work/overlap.hex" "ready: 0x00000-0x0000F (16 bytes); image end 16 (0x00010); 1 page to write" \
  "overlaps (the later record wins):
  0x00008-0x0000B (4 bytes): line 2 over line 1" "gaps: none"
{ record 0 0000 0001; record 0 0400 0203; printf '%s' "$eof"; } >"$work/gap.hex"
check 0 "$work/gap.hex" "ready: 0x00000-0x00001, 0x00400-0x00401 (4 bytes); image end 1026 (0x00402); 3 pages to write" \
  "overlaps: none" "gaps (written as erased bytes, 0xFF):
  0x00002-0x003FF (1022 bytes)"
# The first line names four ranges at most; the rest follow it.
{ for a in 0000 0010 0020 0030 0040 0050; do record 0 $a 01; done; printf '%s' "$eof"; } >"$work/six.hex"
check 0 "$work/six.hex" \
  "ready: 0x00000-0x00000, 0x00010-0x00010, 0x00020-0x00020, 0x00030-0x00030 and 2 more (6 bytes); image end 81" \
  "  0x00041-0x0004F (15 bytes)"
{ record 0 0000 0001; record 0 0002 0203; printf '%s' "$eof"; } | tr -d '\r' >"$work/lf2.hex"
check 1 "$work/lf2.hex" "refused (DATAS_IN_FILE_ARE_CORRUPTED): line 1: the line does not end with CR; lines must end with CR LF"
expect_in "ошибка: Файл поврежден: строки должны заканчиваться CR LF" "$err"
{ record 2 0000 3EBF; record 0 000E 5A; record 0 000F 5A; printf '%s' "$eof"; } >"$work/past.hex"
check 1 "$work/past.hex" "refused (ADDRESS_TO_WRITE_TO_FLASH_TOO_BIG): line 3: data at 0x3EBFF-0x3EBFF"
[ "$err" = "ошибка: Прошивка > 257023 байт" ] || { echo "unexpected stderr: $err"; exit 1; }
check 1 "$work/empty.hex" "refused (NOTHING): line 1: end of file before any data"
expect_in "ошибка: NOTHING" "$err"
run_korsync 1 flash --check "$work/missing.hex"
expect_in "ошибка: Не удалось открыть файл" "$err"

# The loader's kept sample files load as they always did (the type 4 one now
# asks for an address far past the flash).
corpus=${KORSYNC_SOURCE:-$(dirname "$0")/../..}/tests/firmware/corpus
check 0 "$corpus/data_eof.hex" "ready: 0x00000-0x0000F (16 bytes); image end 16 (0x00010); 1 page to write"
check 0 "$corpus/segment.hex" "ready: 0x11000-0x1100F (16 bytes); image end 69648 (0x11010); 137 pages to write"
check 1 "$corpus/lf_only.hex" "refused (DATAS_IN_FILE_ARE_CORRUPTED): line 1"
check 1 "$corpus/types_lower.hex" "refused (ADDRESS_TO_WRITE_TO_FLASH_TOO_BIG): line 3: data at 0x30000000-0x3000000F"

run_korsync 2 flash
echo "firmware: ok"
