// The unit's clock: the 16-byte clock frame built from the computer's local
// time, sent on its own or by the firmware update on the port it holds.
#pragma once
#include <cstdint>

#include "link/rs232.h"

namespace kor {

// Local date and time as the platform gives it (the fields of a SYSTEMTIME).
struct LocalDateTime {
  int year = 0;
  int month = 0;      // 1..12
  int day = 0;        // 1..31
  int dayOfWeek = 0;  // 0 = Sunday .. 6 = Saturday
  int hour = 0;
  int minute = 0;
  int second = 0;
  int milliseconds = 0;
};

LocalDateTime local_now();

// Tens in the high nibble, units in the low one; 100 and above go unchanged.
uint8_t to_bcd(int v);

constexpr unsigned kClockAnswerWait = 100;

// 00 10 01 07 07 07 07 0C, then day (with the year modulo 4 in bits 7-6), month
// (with the day of week in bits 7-5), hour, minute, second, hundredths, all in
// BCD, and the year low byte first. The date bytes carry no checksum.
void build_clock_frame(uint8_t out[16], const LocalDateTime& t);

// "Установить время": no link check, the answer is read and ignored. False when
// it ended on a failure (reported).
bool SetUnitClock();

// The clock frame on a port the caller holds. A failed write is reported and the
// link state is left to the caller; false then.
bool SendClockFrame(CRs232& rs);

}  // namespace kor
