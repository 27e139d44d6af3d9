// The unit's ten measuring channels: which axis each one measures and in what
// number format. Filled by the axis-table read before programs are converted.
#pragma once
#include <cstdint>

#include "program/fixed_point.h"

namespace kor {

struct AxisChannel {
  int32_t axis = 0;          // axis index; outside 0..12 matches no axis
  uint16_t formatWord = 0;   // bits 7..11 hold the channel's number format
};

struct AxisChannelTable {
  AxisChannel channels[10];
};

// Process-wide; a table never filled holds zeros.
AxisChannelTable& axis_channels();

// Fills the table from a parameter-memory image: byte i is channel i's axis, the
// 32-byte descriptor at 28 + 32*i starts with the format word (low byte first).
// The image must hold at least 348 bytes.
void fill_axis_channels(const uint8_t* image);

// The format of the first channel (in channel order) that measures the axis;
// format 0 when none does.
AxisFormat axis_format_of(int axis);

}  // namespace kor
