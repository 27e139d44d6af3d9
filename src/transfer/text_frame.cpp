#include "transfer/text_frame.h"

#include <cstring>

#include "link/rs232.h"
#include "protocol/frames.h"
#include "protocol/transactions.h"

namespace kor {

void build_text_frame(uint8_t out[kTextFrameSize], const char* text) {
  std::memset(out, 0, kTextFrameSize);
  build_command_frame(out, 0x0C, 0x0C, 0x0C, 0x0C);
  for (int i = 0; i < kTextFrameChars && text[i]; ++i) out[kCommandFrameSize + i] = uint8_t(text[i]);
}

bool SendControlText(const char* text, Handle owner) {
  AppState& a = app();
  CRs232 rs;
  rs.ResetLinkState();
  const int rc = a.portPath[0] ? rs.OpenDevice(a.portPath, a.speed, owner) : rs.OpenComport(a.comPort, a.speed, owner);
  if (rc != 0) return false;
  uint8_t frame[kTextFrameSize];
  build_text_frame(frame, text);
  if (rs.Write(frame, kTextFrameSize) == -1) {
    ReportLinkLost(rs);
    return false;
  }
  return true;
}

}  // namespace kor
