#include "protocol/clock.h"

#include <cstring>

#include "app/operator.h"
#include "app/timing.h"
#include "protocol/frames.h"
#include "protocol/transactions.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

namespace kor {

LocalDateTime local_now() {
  LocalDateTime t;
#ifdef _WIN32
  SYSTEMTIME st;
  GetLocalTime(&st);
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.dayOfWeek = st.wDayOfWeek;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.milliseconds = st.wMilliseconds;
#else
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm lt{};
  localtime_r(&ts.tv_sec, &lt);
  t.year = lt.tm_year + 1900;
  t.month = lt.tm_mon + 1;
  t.day = lt.tm_mday;
  t.dayOfWeek = lt.tm_wday;
  t.hour = lt.tm_hour;
  t.minute = lt.tm_min;
  // A leap second shows as 60 in tm; the unit's clock knows no such second.
  t.second = lt.tm_sec > 59 ? 59 : lt.tm_sec;
  t.milliseconds = int(ts.tv_nsec / 1000000);
#endif
  return t;
}

uint8_t to_bcd(int v) { return uint8_t(v < 100 ? v + 6 * (v / 10) : v); }

void build_clock_frame(uint8_t out[16], const LocalDateTime& t) {
  build_frame_header(out, 0x00, kClockFrameSize, 0x07, 0x07, 0x07, 0x07);
  out[8] = uint8_t(((t.year % 4) << 6) | (to_bcd(t.day) & 0x3F));
  out[9] = uint8_t((t.dayOfWeek << 5) | (to_bcd(t.month) & 0x1F));
  out[10] = to_bcd(t.hour);
  out[11] = to_bcd(t.minute);
  out[12] = to_bcd(t.second);
  out[13] = to_bcd(t.milliseconds / 10);
  out[14] = uint8_t(t.year & 0xFF);
  out[15] = uint8_t((t.year >> 8) & 0xFF);
}

bool SetUnitClock() {
  if (CRs232::PortInUse()) {
    ShowMessage("Com порт занят", Icon::Error);
    return false;
  }
  CRs232 rs;
  rs.ResetLinkState();
  // The time is taken before the port is opened.
  uint8_t frame[kClockFrameSize];
  build_clock_frame(frame, local_now());
  if (OpenAppPort(rs) != 0) {
    ShowMessage("Не удалось открыть порт", Icon::Error);
    return false;
  }
  if (rs.Write(frame, kClockFrameSize) == -1) {
    ReportLinkLost(rs);
    return false;
  }
  sleep_ms(kClockAnswerWait);
  uint8_t answer[100] = {};
  rs.Read(answer, sizeof answer);
  return true;
}

bool SendClockFrame(CRs232& rs) {
  uint8_t frame[kClockFrameSize];
  build_clock_frame(frame, local_now());
  if (rs.Write(frame, kClockFrameSize) == -1) {
    ShowMessage("Связь потеряна, переподключите кабель", Icon::Error);
    return false;
  }
  sleep_ms(kClockAnswerWait);
  return true;
}

}  // namespace kor
