#include "params/param_set.h"

namespace kor {

ParameterSet& param_set() {
  static ParameterSet s;
  return s;
}

namespace {

// Walks the 186 bytes in file order; the same walk reads and writes so the two
// can never disagree about the layout.
template <bool Writing, class Byte>
size_t walk(Byte* b, ParameterSet& s) {
  size_t at = 0;
  auto u8 = [&](auto& v) {
    if constexpr (Writing)
      b[at] = uint8_t(v);
    else
      v = b[at];
    ++at;
  };
  auto i32 = [&](auto& v) {
    if constexpr (Writing) {
      const uint32_t u = uint32_t(v);
      for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(u >> (8 * i));
    } else {
      uint32_t u = 0;
      for (int i = 0; i < 4; ++i) u |= uint32_t(b[at + size_t(i)]) << (8 * i);
      v = int32_t(u);
    }
    at += 4;
  };
  for (auto& a : s.channelAxis) u8(a);
  for (auto& a : s.displayAxis) u8(a);
  for (auto& r : s.channelRecord) {
    u8(r.kindFormat);
    u8(r.options);
    u8(r.kept2);
    u8(r.options3);
    i32(r.backlash);
    u8(r.refZoneInput);
    u8(r.zeroingInput);
    u8(r.kept10[0]);
    u8(r.kept10[1]);
  }
  for (auto& c : s.coefficient) {
    i32(c.mantissa);
    u8(c.decimals);
  }
  for (auto& row : s.workOffset)
    for (auto& v : row) i32(v);
  for (auto& e : s.displayExtra) u8(e);
  u8(s.brightnessCode);
  u8(s.timeDisplay);
  u8(s.usbSpeed);
  for (auto& r : s.reserved) u8(r);
  u8(s.settingsFlags);
  return at;
}

}  // namespace

void encode_parameter_set(const ParameterSet& s, uint8_t out[kParameterSetSize]) {
  ParameterSet copy = s;
  walk<true>(out, copy);
}

ParameterSet decode_parameter_set(const uint8_t in[kParameterSetSize]) {
  ParameterSet s;
  walk<false>(in, s);
  return s;
}

}  // namespace kor
