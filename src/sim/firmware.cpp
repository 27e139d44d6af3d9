// Programming mode (flash pages) and the clock.
#include "sim/firmware.h"

#include <cstring>

#include "protocol/frames.h"

namespace kor::sim {

namespace {

int from_bcd(uint8_t b) { return (b >> 4) * 10 + (b & 0x0F); }

bool is_command(const std::vector<uint8_t>& f, uint8_t v) {
  return f[3] == v && f[4] == v && f[5] == v && f[6] == v;
}

}  // namespace

UnitClock decode_clock(const uint8_t b[8]) {
  UnitClock c;
  c.year = b[6] | (b[7] << 8);
  c.day = from_bcd(b[0] & 0x3F);
  c.month = from_bcd(b[1] & 0x1F);
  c.dayOfWeek = b[1] >> 5;
  c.hour = from_bcd(b[2]);
  c.minute = from_bcd(b[3]);
  c.second = from_bcd(b[4]);
  c.hundredths = from_bcd(b[5]);
  c.yearBitsMatch = (b[0] >> 6) == c.year % 4;
  return c;
}

FirmwareService::FirmwareService() : flash(kFlashSize, 0xFF) {}

void FirmwareService::PageAnswer(std::vector<uint8_t>& answer, uint8_t detail, uint8_t result) {
  answer = {detail, 0x00, result, 0x00};
  store_bit_checksum(answer.data(), 3, 0);
}

bool FirmwareService::Handle(Unit&, const std::vector<uint8_t>& f, std::vector<uint8_t>& answer) {
  if (f.size() == 524 && f[0] == 0x02 && f[1] == 0x0A) {
    if (!programmingMode) return true;
    const uint16_t ones = uint16_t(f[520] | (f[521] << 8));
    const uint16_t crc = uint16_t((f[522] << 8) | f[523]);  // after the one-bit count
    if (crc != block_crc(f.data(), 520)) {
      // Garbled on the line: ask for it again.
      ++badPackets;
      PageAnswer(answer, 0, 135);
      return true;
    }
    if (ones != count_ones(f.data(), kPageSize, 8)) {
      ++badPackets;
      PageAnswer(answer, 6, kResultFailed);
      return true;
    }
    if (repeatRequests != 0) {
      if (repeatRequests > 0) --repeatRequests;
      PageAnswer(answer, 0, 135);
      return true;
    }
    if (failDetail >= 0 && failTimes > 0) {
      --failTimes;
      PageAnswer(answer, uint8_t(failDetail), kResultFailed);
      return true;
    }
    const int page = ((f[4] << 8) | f[5]) / 2;
    if (page >= roomPages || page >= kFlashSize / kPageSize) {
      PageAnswer(answer, 1, 56);
      return true;
    }
    std::memcpy(flash.data() + size_t(page) * kPageSize, f.data() + 8, kPageSize);
    pagesWritten.push_back(page);
    int counter = f[6];
    if (f[3] & 0x80) counter += 256;
    if (f[3] & 0x40) counter += 512;
    counters.push_back(counter);
    if (onPage) onPage(page);
    PageAnswer(answer, 0, 4);
    return true;
  }
  if (f.size() == 16 && f[0] == 0x00 && is_command(f, 0x07)) {
    std::memcpy(clockBytes.data(), f.data() + 8, 8);
    clock = decode_clock(clockBytes.data());
    ++clockFrames;
    if (onClock) onClock(clock);
    return true;
  }
  if (f.size() == 8 && f[0] == 0x00 && is_command(f, 0x3C)) {
    ++closings;
    if (onClosing) onClosing();
    return true;
  }
  return false;
}

void AddFirmwareServices(Unit& unit) { unit.AddService(std::make_unique<FirmwareService>()); }

}  // namespace kor::sim
