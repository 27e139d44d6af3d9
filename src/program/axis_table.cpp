#include "program/axis_table.h"

namespace kor {

namespace {
AxisChannelTable g_table;
}

AxisChannelTable& axis_channels() { return g_table; }

void fill_axis_channels(const uint8_t* image) {
  for (int i = 0; i < 10; ++i) {
    g_table.channels[i].axis = image[i];
    const uint8_t* d = image + 28 + 32 * i;
    g_table.channels[i].formatWord = uint16_t(d[0] | (d[1] << 8));
  }
}

AxisFormat axis_format_of(int axis) {
  for (const AxisChannel& c : g_table.channels)
    if (c.axis == axis) return AxisFormat((c.formatWord >> 7) & 0x1F);
  return 0;
}

}  // namespace kor
