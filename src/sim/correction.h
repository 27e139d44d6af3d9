// The unit's correction tables (one per direction of travel) and the control
// text frame, as the simulated unit serves and records them.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/unit.h"

namespace kor::sim {

struct CorrectionTable {
  uint16_t coefficient = 0;     // the 16 bits the unit sends
  int16_t points = 0;           // N as the unit sends it
  std::vector<int32_t> values;  // reference values; a block sends those it has
};

// Reference values near a straight line, so that the differences stay small:
// r(p) = coefficient * p - ((p * 7) % 13 - 6), p from 1.
std::vector<int32_t> sample_reference_values(int coefficient, int n);

class CorrectionService : public Service {
 public:
  explicit CorrectionService(Unit& unit);
  // Table by code: 0x0A "+", 0x0B "-"; the values follow the sample line.
  void SetTable(uint8_t code, int coefficient, int points);
  CorrectionTable& table(uint8_t code) { return tables_[code & 1]; }

  unsigned blockDelayUs = 0;  // a block of points takes this much longer to come
  // 18-byte text frames received (00 08 01 0C 0C 0C 0C 08, then ten text bytes).
  std::vector<std::vector<uint8_t>> textFrames;
  std::function<void(const std::vector<uint8_t>&)> onTextFrame;

  int FrameLength(const Unit& unit, const uint8_t* header) override;
  bool Handle(Unit& unit, const std::vector<uint8_t>& frame, std::vector<uint8_t>& answer) override;

 private:
  void RestoreLatency();
  Unit& unit_;
  CorrectionTable tables_[2];
  bool raised_ = false;
  unsigned baseLatencyUs_ = 0;
};

constexpr uint8_t kSimTextFrameSize = 18;

// "+:COEF:N" or "-:COEF:N" (COEF decimal or 0x hex, as 16 bits; N points).
bool parse_correction(const std::string& text, uint8_t& code, int& coefficient, int& points);

}  // namespace kor::sim
