// The unit's programming mode (flash pages and the closing command) and its
// clock, with the state tests and korsim look at.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "sim/unit.h"

namespace kor::sim {

// The clock as the unit decoded it from a clock frame.
struct UnitClock {
  int year = 0, month = 0, day = 0, dayOfWeek = 0;
  int hour = 0, minute = 0, second = 0, hundredths = 0;
  bool yearBitsMatch = false;  // bits 7-6 of the day byte agree with the year
};

class FirmwareService : public Service {
 public:
  static constexpr int kFlashSize = 257024;
  static constexpr int kPageSize = 512;
  static constexpr uint8_t kResultFailed = 0x01;  // any result but 4, 56 and 135

  FirmwareService();
  bool Handle(Unit& unit, const std::vector<uint8_t>& frame, std::vector<uint8_t>& answer) override;

  // Programming mode: outside it page packets go unanswered.
  bool programmingMode = true;
  std::vector<uint8_t> flash;      // kFlashSize bytes, 0xFF where nothing was written
  std::vector<int> pagesWritten;   // page index of every page taken, in order
  std::vector<int> counters;       // the counter every taken packet carried
  int badPackets = 0;              // packets refused for their one-bit count or CRC
  int repeatRequests = 0;          // the next packets answered "send again"; -1 = every one
  int failDetail = -1;             // >= 0: the next failTimes packets fail with this detail
  int failTimes = 0;
  int roomPages = kFlashSize / kPageSize;  // pages from this index on get "no room"
  std::function<void(int page)> onPage;  // a page was taken
  int closings = 0;                // closing commands (3C) received
  std::function<void()> onClosing;

  // The clock.
  int clockFrames = 0;
  std::array<uint8_t, 8> clockBytes{};
  UnitClock clock;
  std::function<void(const UnitClock&)> onClock;

 private:
  void PageAnswer(std::vector<uint8_t>& answer, uint8_t detail, uint8_t result);
};

UnitClock decode_clock(const uint8_t bytes[8]);

}  // namespace kor::sim
