// The in-memory form of the parameter memory's first 186 bytes, as the
// Parameters dialog reads, shows, edits and saves them.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kor {

constexpr size_t kParameterSetSize = 186;
constexpr int kChannels = 4;       // measuring channels P2.0..P2.3
constexpr int kDisplayRows = 4;
constexpr int kOffsetSystems = 6;  // G53..G58
constexpr uint8_t kNoAxis = 13;
constexpr uint8_t kLastLinearAxis = 8;  // X..R are linear, A..D circular

enum AxisKind : uint8_t { kCircular = 0, kLinear = 1 };

// Bits of ChannelRecord::options.
constexpr uint8_t kRadiusMode = 0x01;
constexpr uint8_t kDirectionPlus = 0x02;
constexpr uint8_t kNoCounterSaving = 0x04;
constexpr uint8_t kNoSensorCheck = 0x08;
constexpr uint8_t kNoSpeedDisplay = 0x10;
// Bits of ChannelRecord::options3.
constexpr uint8_t kNoCorrection = 0x02;
constexpr uint8_t kNoCodedMarks = 0x04;
constexpr int kSpeedIntervalShift = 3;  // two bits
// Input bytes (reference-mark zone, external zeroing).
constexpr uint8_t kNoInput = 0x80;
constexpr uint8_t kInputNormal = 0x40;  // clear: inverted

// Bits of ParameterSet::settingsFlags.
constexpr uint8_t kNoSound = 0x01;
constexpr uint8_t kFastRefresh = 0x02;
constexpr uint8_t kNoSensorErrorCapture = 0x04;

// One measuring channel's 12 bytes.
struct ChannelRecord {
  uint8_t kindFormat = 0;  // bits 0..2 axis kind, bits 3..7 number format
  uint8_t options = 0;
  uint8_t kept2 = 0;
  uint8_t options3 = 0;
  int32_t backlash = 0;  // the entered value divided by the coefficient
  uint8_t refZoneInput = 0;
  uint8_t zeroingInput = 0;
  uint8_t kept10[2] = {};

  uint8_t kind() const { return kindFormat & 0x07; }
  uint8_t format() const { return kindFormat >> 3; }
  void set_kind(uint8_t k) { kindFormat = uint8_t((kindFormat & ~0x07) | (k & 0x07)); }
  void set_format(uint8_t f) { kindFormat = uint8_t((kindFormat & 0x07) | ((f & 0x1F) << 3)); }
  bool diameter_mode() const { return kind() == kLinear && !(options & kRadiusMode); }
};

// Steps of the axis's format per step of the unit's count: mantissa / 10^decimals.
struct Coefficient {
  int32_t mantissa = 0;
  uint8_t decimals = 0;
};

struct ParameterSet {
  uint8_t channelAxis[kChannels] = {};  // 0..12 X Y Z U V W P Q R A B C D, 13 none
  uint8_t displayAxis[kDisplayRows] = {};
  ChannelRecord channelRecord[kChannels];
  Coefficient coefficient[kChannels];
  int32_t workOffset[kOffsetSystems][kChannels] = {};  // G53..G58 x channel
  uint8_t displayExtra[kDisplayRows] = {};
  uint8_t brightnessCode = 0;  // 51 - brightness 1..50
  uint8_t timeDisplay = 0;
  uint8_t usbSpeed = 0;  // 1 = 200 000 bit/s, 2 = 115 200 bit/s
  uint8_t reserved[6] = {};
  uint8_t settingsFlags = 0;
};

// The one set the dialog works on.
ParameterSet& param_set();

// Between the set and the file's bytes 0..185 (little-endian integers).
void encode_parameter_set(const ParameterSet& s, uint8_t out[kParameterSetSize]);
ParameterSet decode_parameter_set(const uint8_t in[kParameterSetSize]);

}  // namespace kor
