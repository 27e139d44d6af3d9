#include "protocol/transactions.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "app/operator.h"
#include "app/timing.h"
#include "program/axis_table.h"
#include "protocol/frames.h"

namespace kor {

void ReportLinkLost(CRs232& rs) {
  ShowMessage("Связь потеряна, переподключите кабель", Icon::Error);
  rs.linkState = -1;
}

uint64_t quiet_gap_us(int speed, unsigned adapterLatencyMs) {
  constexpr uint64_t kCharacters = 5;
  constexpr uint64_t kSchedulingUs = 1000;  // a busy computer wakes late
  const uint64_t charUs = speed > 0 ? (10000000ull + uint64_t(speed) - 1) / uint64_t(speed) : 1000;
  return kCharacters * charUs + uint64_t(adapterLatencyMs) * 1000 + kSchedulingUs;
}

unsigned ReadAnswer(CRs232& rs, uint8_t* buf, unsigned size, unsigned waitMs, unsigned want, AnswerEnd end,
                    AnswerNeed need) {
  if (!app().fastMode) {
    sleep_ms(waitMs);
    return rs.Read(buf, size);
  }
  Timing& t = timing();
  const uint64_t deadline = t.NowUs() + uint64_t(waitMs) * 1000;
  auto left = [&] {
    const uint64_t now = t.NowUs();
    return now < deadline ? deadline - now : 0;
  };
  const bool open = want == 0;
  unsigned got = 0;
  unsigned needed = 0;
  // A long answer cannot cross the line faster than its speed: sleep through
  // most of it rather than wake for every packet (what an adapter may already
  // hold back is left to the read).
  constexpr unsigned kAdapterBuffer = 512;
  const uint64_t charUs = app().speed > 0 ? 10000000ull / uint64_t(app().speed) : 0;
  for (;;) {
    needed = std::min(size, need ? need(buf, got) : open ? 1u : want);
    if (got >= needed || left() == 0) break;
    if (needed - got > kAdapterBuffer) t.SleepUs(std::min(left(), (needed - got - kAdapterBuffer) * charUs));
    const unsigned n = rs.ReadExact(buf + got, needed - got, left());
    got += n;
    if (got < needed) break;  // the bound has passed (or the port failed)
  }
  if (got < needed || got >= size) return got;
  if (!open && end == AnswerEnd::Complete) return got + rs.Read(buf + got, size - got);
  // More may still be on its way: it has all come once nothing follows for a while.
  const uint64_t gap = quiet_gap_us(app().speed, CRs232::AdapterLatencyMs());
  while (got < size && left() > 0) {
    const unsigned n = rs.ReadExact(buf + got, size - got, std::min(gap, left()));
    if (n == 0) break;
    got += n;
  }
  return got;
}

namespace {

bool Send(CRs232& rs, const uint8_t* frame, unsigned n) {
  if (rs.Write(frame, n) == -1) {
    ReportLinkLost(rs);
    return false;
  }
  return true;
}

bool SendBlockFrame(CRs232& rs, const uint8_t* frame, unsigned n) {
  if (Send(rs, frame, n)) return true;
  op().ProgressPos(0);
  return false;
}

// Both reads share one request form: 00 08 01 kind 02 index part.
bool ReadProgramBlock(CRs232& rs, uint8_t kind, uint8_t index, uint8_t part, uint8_t* buf, unsigned size) {
  uint8_t req[8];
  build_command_frame(req, kind, 0x02, index, part);
  if (!SendBlockFrame(rs, req, 8)) return false;
  std::memset(buf, 0, size);
  ReadAnswer(rs, buf, size, kBlockReadWait, size);
  return crc_matches(buf, uint16_t(size - 2));
}

// Frame written, then the 2-byte acknowledgement must be the frame's CRC in wire order.
bool WriteAcknowledged(CRs232& rs, const uint8_t* frame, unsigned n) {
  if (!SendBlockFrame(rs, frame, n)) return false;
  rs.Purge();
  uint8_t ack[2] = {0, 0};
  unsigned got = ReadAnswer(rs, ack, 2, kBlockWriteWait, 2);
  return got == 2 && ack[0] == frame[n - 2] && ack[1] == frame[n - 1];
}

int OpenAppPortAt(CRs232& rs, int speed) {
  AppState& a = app();
  if (a.portPath[0]) return rs.OpenDevice(a.portPath, speed, a.mainWindow);
  return rs.OpenComport(a.comPort, speed, a.mainWindow);
}

}  // namespace

int LinkCheck(CRs232& rs) {
  uint8_t req[8];
  build_command_frame(req, 0x55, 0x55, 0x55, 0x55);
  if (!Send(rs, req, 8)) return -1;
  uint8_t ans[8] = {};
  ReadAnswer(rs, ans, 8, kLinkCheckWait, 8);
  int sum = 0;
  for (uint8_t b : ans) sum += b;
  return sum == 365 ? 0 : -1;
}

int decode_model(const char* answer) {
  char text[4] = {answer[0], answer[1], answer[2], 0};
  // StrToIntA: optional minus, then digits up to the first non-digit.
  const char* p = text;
  bool neg = false;
  if (*p == '-') {
    neg = true;
    ++p;
  }
  int v = 0;
  while (*p >= '0' && *p <= '9') v = v * 10 + (*p++ - '0');
  return neg ? -v : v;
}

int VersionQuery(CRs232& rs) {
  uint8_t req[8];
  build_command_frame(req, 0x0D, 0x0D, 0x0D, 0x0D);
  if (!Send(rs, req, 8)) return -1;
  rs.Purge();
  char* buf = app().versionBuffer;
  std::memset(buf, 0, sizeof app().versionBuffer);
  // A text of its own length: over when the line falls quiet.
  ReadAnswer(rs, reinterpret_cast<uint8_t*>(buf), 13, kVersionWait, 0);
  int model = decode_model(buf);
  return (model == kModel460 || model == kModel461 || model == kModel462) ? model : -1;
}

int ReadAxisTable(CRs232& rs) {
  uint8_t req[8];
  build_command_frame(req, 0x04, 0x04, 0x04, 0x04);
  if (!Send(rs, req, 8)) return 0;
  std::vector<uint8_t> image(4096, 0);
  unsigned got = ReadAnswer(rs, image.data(), 4096, kAxisTableWait, 4096);
  if (got < 2) {
    ShowMessage("Выберите в меню 'Режим обмена с ПК' \nи проверьте скорость передачи", Icon::Warning);
    return 0;
  }
  fill_axis_channels(image.data());
  return 1;
}

bool ReadHeaderBlock(CRs232& rs, uint8_t kind, uint8_t index, uint8_t buf[42]) {
  return ReadProgramBlock(rs, kind, index, 0, buf, kHeaderAnswerSize);
}

bool ReadDataBlock(CRs232& rs, uint8_t kind, uint8_t index, uint8_t block, uint8_t buf[134]) {
  return ReadProgramBlock(rs, kind, index, block, buf, kDataAnswerSize);
}

bool WriteHeader(CRs232& rs, uint8_t kind, int16_t lines) {
  uint8_t frame[kHeaderFrameSize];
  build_header_frame(frame, kind, uint8_t(app().slotIndex), app().title, lines);
  return WriteAcknowledged(rs, frame, kHeaderFrameSize);
}

bool WriteBlock(CRs232& rs, uint8_t kind, uint8_t block, const uint8_t data[132]) {
  uint8_t frame[kBlockFrameSize];
  build_block_frame(frame, kind, uint8_t(app().slotIndex), block, data);
  if (WriteAcknowledged(rs, frame, kBlockFrameSize)) return true;
  if (rs.linkState != -1) ShowMessage("Ошибка CRC", Icon::Error);
  return false;
}

int SpeedProbe() {
  if (CRs232::PortInUse()) {
    ShowMessage("Com порт занят", Icon::Error);
    return -1;
  }
  struct Try {
    int speed;
    int delay;  // page-answer delay to set; 0 = leave it
  };
  const Try tries[] = {{200000, 80}, {2000000, 30}, {115200, 0}};
  CRs232 rs;
  rs.ResetLinkState();
  uint8_t req[8];
  build_command_frame(req, 0x55, 0x55, 0x55, 0x55);
  for (const Try& t : tries) {
    if (t.delay) app().pageAnswerDelay = t.delay;
    if (OpenAppPortAt(rs, t.speed) != 0) continue;
    if (rs.Write(req, 8) == -1) {
      rs.linkState = -1;
      return -1;
    }
    uint8_t ans[8] = {};
    ReadAnswer(rs, ans, 8, kSpeedProbeWait, 8);
    if (std::memcmp(ans, req, 8) == 0) return t.speed;
    rs.Close();
  }
  return -1;
}

bool BeginDeviceOperation(CRs232& rs) {
  if (CRs232::PortInUse()) {
    ShowMessage("Com порт занят", Icon::Error);
    return false;
  }
  rs.ResetLinkState();
  if (OpenAppPort(rs) != 0) return false;
  if (LinkCheck(rs) != 0) {
    if (rs.linkState != -1) op().SilentFailure("КОР не отвечает");
    return false;
  }
  return true;
}

ProgramProtocol protocol_of(int model) {
  if (model == kModel461 || model == kModel462) return ProgramProtocol::Block;
  if (model == kModel460) return ProgramProtocol::None;
  return ProgramProtocol::Page;
}

const char* protocol_name(ProgramProtocol p) {
  switch (p) {
    case ProgramProtocol::Block: return "block";
    case ProgramProtocol::Page: return "page";
    default: return "none";
  }
}

}  // namespace kor
