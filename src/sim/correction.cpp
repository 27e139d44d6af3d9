// Correction tables and the control text frame.
#include "sim/correction.h"

#include <cstdlib>
#include <sstream>

namespace kor::sim {

namespace {

constexpr int kBlockPoints = 1000;

bool is_text_header(const uint8_t* h) {
  return h[0] == 0x00 && h[1] == 0x08 && h[3] == 0x0C && h[4] == 0x0C && h[5] == 0x0C && h[6] == 0x0C;
}

}  // namespace

std::vector<int32_t> sample_reference_values(int coefficient, int n) {
  std::vector<int32_t> v;
  for (int p = 1; p <= n; ++p) v.push_back(int32_t(coefficient * p - ((p * 7) % 13 - 6)));
  return v;
}

CorrectionService::CorrectionService(Unit& unit) : unit_(unit) {
  SetTable(0x0A, 10, 100);
  SetTable(0x0B, -10, 100);
}

void CorrectionService::SetTable(uint8_t code, int coefficient, int points) {
  CorrectionTable& t = table(code);
  t.coefficient = uint16_t(coefficient);
  t.points = int16_t(points);
  t.values = sample_reference_values(coefficient, points > 0 ? points : 0);
}

// The unit has no delay of its own per answer: a block's extra time is its
// latency for that one answer, put back as soon as the next frame comes in.
void CorrectionService::RestoreLatency() {
  if (!raised_) return;
  unit_.config().latencyUs = baseLatencyUs_;
  raised_ = false;
}

int CorrectionService::FrameLength(const Unit&, const uint8_t* header) {
  RestoreLatency();
  // A text frame carries ten text bytes after its command header.
  return is_text_header(header) ? kSimTextFrameSize : -1;
}

bool CorrectionService::Handle(Unit& unit, const std::vector<uint8_t>& f, std::vector<uint8_t>& answer) {
  RestoreLatency();
  if (f.size() == kSimTextFrameSize && is_text_header(f.data())) {
    textFrames.push_back(f);
    if (onTextFrame) onTextFrame(f);
    return true;
  }
  if (f.size() != 8 || f[0] != 0x00 || f[3] != 0x08 || f[4] != 0x08 || (f[6] != 0x0A && f[6] != 0x0B)) return false;
  const CorrectionTable& t = table(f[6]);
  const int block = f[5];
  if (block == 0) {
    answer = {uint8_t(t.coefficient), uint8_t(t.coefficient >> 8), uint8_t(uint16_t(t.points)),
              uint8_t(uint16_t(t.points) >> 8)};
    return true;
  }
  const size_t first = size_t(block - 1) * kBlockPoints;
  for (size_t i = first; i < first + kBlockPoints && i < t.values.size(); ++i) {
    uint32_t v = uint32_t(t.values[i]);
    for (int k = 0; k < 4; ++k) answer.push_back(uint8_t(v >> (8 * k)));
  }
  if (blockDelayUs && !answer.empty()) {
    baseLatencyUs_ = unit.config().latencyUs;
    unit.config().latencyUs += blockDelayUs;
    raised_ = true;
  }
  return true;
}

bool parse_correction(const std::string& text, uint8_t& code, int& coefficient, int& points) {
  std::vector<std::string> parts;
  std::stringstream ss(text);
  std::string p;
  while (std::getline(ss, p, ':')) parts.push_back(p);
  if (parts.size() != 3 || (parts[0] != "+" && parts[0] != "-")) return false;
  char* end = nullptr;
  long c = std::strtol(parts[1].c_str(), &end, 0);
  if (parts[1].empty() || *end || c < -32768 || c > 65535) return false;
  long n = std::strtol(parts[2].c_str(), &end, 10);
  if (parts[2].empty() || *end || n < -32768 || n > 32767) return false;
  code = parts[0] == "+" ? 0x0A : 0x0B;
  coefficient = int(c);
  points = int(n);
  return true;
}

void AddCorrectionServices(Unit& unit) { unit.AddService(std::make_unique<CorrectionService>(unit)); }

}  // namespace kor::sim
