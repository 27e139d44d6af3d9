#include "params/param_view.h"

#include <cstdio>

#include "params/param_file.h"
#include "params/params_host.h"

namespace kor {

const int kLabelRowControls[kParamRows] = {154, 155, 156, 157, 158, 159, 160, 161, 162, 163, 164, 211, 215, 233};
const int kValueRowControls[kParamRows] = {165, 166, 167, 168, 169, 170, 171, 172, 173, 174, 175, 212, 216, 234};

int value_row_index(int control) {
  for (int i = 0; i < kParamRows; ++i)
    if (kValueRowControls[i] == control) return i;
  return -1;
}

namespace {

const char* const kAxisLetters[14] = {"X", "Y", "Z", "U", "V", "W", "P", "Q", "R", "A", "B", "C", "D", "нет"};
const char* const kAxisTitles[14] = {
    "X (линейная)", "Y (линейная)", "Z (линейная)", "U (линейная)", "V (линейная)",
    "W (линейная)", "P (линейная)", "Q (линейная)", "R (линейная)", "A (круговая)",
    "B (круговая)", "C (круговая)", "D (круговая)", "нет",
};
const char* const kChannelNames[kChannels] = {"P2.0", "P2.1", "P2.2", "P2.3"};
const char* const kChannelGroupNames[kChannels] = {"Канал P2.0", "Канал P2.1", "Канал P2.2", "Канал P2.3"};
const char* const kOffsetNames[kOffsetSystems] = {"G53", "G54", "G55", "G56", "G57", "G58"};

const char* const kChannelLabels[kParamRows] = {
    "Тип", "Формат", "Режим работы", "Направление", "Коэффициент", "Люфт", "Контроль датчика",
    "Сохранение счетчиков", "Отображение скорости", "Зона референтной метки", "Внешнее обнуление",
    "Интервал измер. скорости", "Коррекция", "Кодированные метки",
};
const char* const kSpeedIntervals[4] = {"0.1 сек", "0.3 сек", " ", "0.6 сек"};

const char* yes_unless(bool bit) { return bit ? "нет" : "да"; }

ParameterView g_view;

std::string format_text(const char* fmt, const char* a, const char* b = "") {
  char buf[128];
  std::snprintf(buf, sizeof buf, fmt, a, b);
  return buf;
}

std::string number(int v) { return std::to_string(v); }

void ShowChannels(ParameterView& v, const ParameterSet& s) {
  v.caption = "Оси - Измерительные каналы";
  for (int c = 0; c < kChannels; ++c) {
    v.label[c] = kChannelNames[c];
    v.value[c] = AxisTitle(s.channelAxis[c]);
  }
}

void ShowDisplay(ParameterView& v, ParameterSet& s) {
  v.caption = "Оси - Экран";
  for (int r = 0; r < kDisplayRows; ++r) {
    uint8_t& extra = s.displayExtra[r];
    const char* text = "";
    if (s.displayAxis[r] != kNoAxis) {
      // Time belongs to a row without an axis.
      if (extra == 0) text = " скорость";
      else if (extra == 2) text = " +";
      else if (extra == 3) text = " =";
      else if (extra == 4) extra = 1;
      else if (extra >= 5) text = " ?";
    } else {
      // Speed, "+" and "=" belong to a row with an axis.
      if (extra == 4) text = " время";
      else if (extra >= 5) text = " ?";
      else if (extra != 1) extra = 1;
    }
    v.label[r] = "  " + number(r + 1) + text;
    v.value[r] = AxisLetter(s.displayAxis[r]);
  }
}

void ShowDisplayExtras(ParameterView& v, const ParameterSet& s) {
  v.caption = "доп. настройки";
  for (int r = 0; r < kDisplayRows; ++r) {
    v.label[r] = "  " + number(r + 1) + "  " + AxisLetter(s.displayAxis[r]) + " ";
    v.value[r] = display_extra_text(s.displayExtra[r]);
  }
}

void ShowChannel(ParameterView& v, const ParameterSet& s, int c) {
  v.caption = format_text("%s   Ось: %s", kChannelGroupNames[c], AxisLetter(s.channelAxis[c]));
  if (s.channelAxis[c] == kNoAxis) {
    v.label[0] = "Ось не назначена";
    return;
  }
  const ChannelRecord& r = s.channelRecord[c];
  for (int i = 0; i < kParamRows; ++i) v.label[i] = kChannelLabels[i];
  v.value[0] = r.kind() == kCircular ? "круговая" : r.kind() == kLinear ? "линейная" : "";
  v.value[1] = axis_format_name(r.format());
  v.value[2] = (r.options & kRadiusMode) ? "радиус" : "диаметр";
  v.value[3] = (r.options & kDirectionPlus) ? "+" : "-";
  v.value[4] = coefficient_text(s.coefficient[c]);
  v.value[5] = backlash_text(r, s.coefficient[c]);
  v.value[6] = yes_unless(r.options & kNoSensorCheck);
  v.value[7] = yes_unless(r.options & kNoCounterSaving);
  v.value[8] = yes_unless(r.options & kNoSpeedDisplay);
  v.value[9] = input_byte_text(r.refZoneInput);
  v.value[10] = input_byte_text(r.zeroingInput);
  v.value[11] = kSpeedIntervals[(r.options3 >> kSpeedIntervalShift) & 3];
  v.value[12] = yes_unless(r.options3 & kNoCorrection);
  v.value[13] = yes_unless(r.options3 & kNoCodedMarks);
}

void ShowOffsets(ParameterView& v, const ParameterSet& s, int g) {
  v.caption = format_text("Система координат %s", kOffsetNames[g]);
  int row = 0;
  for (int c = 0; c < kChannels; ++c) {
    if (s.channelAxis[c] == kNoAxis) continue;
    v.label[row] = AxisLetter(s.channelAxis[c]);
    v.value[row] = offset_text(s, g, c);
    ++row;
  }
  if (row == 0) v.label[0] = "нет назначенных осей";
}

void ShowSettings(ParameterView& v, const ParameterSet& s) {
  v.caption = "Настройки";
  const char* labels[6] = {"Яркость экрана", "Отображение времени", "Скорость USB",
                           "Звук", "Обновление координат", "Захват ошибки датчика"};
  for (int i = 0; i < 6; ++i) v.label[i] = labels[i];
  v.value[0] = number(51 - s.brightnessCode);
  v.value[1] = s.timeDisplay == 1 ? "да" : s.timeDisplay == 0 ? "нет" : "";
  v.value[2] = s.usbSpeed == 1 ? "200 000 бит/c" : s.usbSpeed == 2 ? "115 200 бит/c" : "";
  v.value[3] = yes_unless(s.settingsFlags & kNoSound);
  v.value[4] = (s.settingsFlags & kFastRefresh) ? "быстро" : "медленно";
  v.value[5] = yes_unless(s.settingsFlags & kNoSensorErrorCapture);
}

}  // namespace

const char* AxisLetter(uint8_t code) { return code <= kNoAxis ? kAxisLetters[code] : "?"; }
const char* AxisTitle(uint8_t code) { return code <= kNoAxis ? kAxisTitles[code] : "?"; }
const char* channel_name(int c) { return kChannelNames[c]; }

const char* display_extra_text(uint8_t extra) {
  static const char* const texts[5] = {"скорость", "", "+", "=", "время"};
  return extra < 5 ? texts[extra] : "?";
}

std::string FormatAxisValue(int32_t value, AxisFormat f) {
  if (f == 8 || f == 10) {
    char buf[kNumberTextSize];
    format_angle(value, f, buf);
    return buf;
  }
  if (f == kInchFormat) {
    // Stored in ten-thousandths of a millimetre, shown in ten-thousandths of an inch.
    int64_t q = int64_t(value) * 100 / 254;
    const int64_t rem = q % 10;
    q /= 10;
    if (rem > 4) ++q;
    if (rem < -4) --q;
    value = int32_t(q);
  }
  return fixed_text(value, f);
}

std::string coefficient_text(const Coefficient& k) {
  const int64_t m = k.mantissa;
  std::string digits = std::to_string(m < 0 ? -m : m);
  const size_t d = k.decimals;
  if (d > 0) {
    if (digits.size() <= d) digits.insert(0, d + 1 - digits.size(), '0');
    digits.insert(digits.size() - d, 1, '.');
  }
  return (m < 0 ? "-" : "") + digits;
}

std::string backlash_text(const ChannelRecord& r, const Coefficient& k) {
  const int64_t stored = r.backlash < 0 ? -int64_t(r.backlash) : int64_t(r.backlash);
  int64_t v = stored * k.mantissa;  // at most 2^62: fits
  // 10^19 is beyond any product above: the quotient is then 0.
  if (k.decimals > 18) {
    v = 0;
  } else {
    for (int i = 0; i < k.decimals; ++i) v /= 10;
  }
  if (v > INT32_MAX) v = INT32_MAX;
  if (v < INT32_MIN) v = INT32_MIN;
  return FormatAxisValue(int32_t(v), r.format());
}

std::string input_byte_text(uint8_t b) {
  if (b & kNoInput) return "нет";
  std::string t = "<P1." + number((b & 0x3F) + 1);
  if (!(b & kInputNormal)) t += "!";
  return t;
}

std::string offset_text(const ParameterSet& s, int g, int c) {
  const ChannelRecord& r = s.channelRecord[c];
  int32_t v = s.workOffset[g][c];
  // The stored value is the radius; a diameter-mode axis shows twice it (wrapping
  // as the unit's 32-bit arithmetic does).
  if (r.diameter_mode()) v = int32_t(uint32_t(v) * 2u);
  return FormatAxisValue(v, r.format());
}

const std::vector<TreeItem>& parameter_tree_items() {
  static const std::vector<TreeItem> items = {
      {"Общие параметры", -1, kGroupNone},
      {"Оси - Измерительные каналы", 0, kGroupChannels},
      {"Оси - Экран", 0, kGroupDisplay},
      {"доп. настройки", 2, kGroupDisplayExtras},
      {"Параметры осей", -1, kGroupNone},
      {"Канал P2.0", 4, 3},
      {"Канал P2.1", 4, 4},
      {"Канал P2.2", 4, 5},
      {"Канал P2.3", 4, 6},
      {"Смещения координат", -1, kGroupNone},
      {"G53", 9, 7},
      {"G54", 9, 8},
      {"G55", 9, 9},
      {"G56", 9, 10},
      {"G57", 9, 11},
      {"G58", 9, 12},
      {"Настройки", -1, kGroupSettings},
  };
  return items;
}

void ClearParameterRows() {
  const int group = g_view.group;
  g_view = ParameterView{};
  g_view.group = group;
  params_host().ShowRows(g_view);
}

void BuildParameterTree() {
  ClearParameterRows();
  g_view.group = kGroupNone;
  params_host().SetTree(parameter_tree_items(), kFirstSelectedItem);
}

const ParameterView& ShowParameterGroup(int group) {
  g_view = ParameterView{};
  g_view.group = group;
  ParameterSet& s = param_set();
  if (group == kGroupChannels) ShowChannels(g_view, s);
  else if (group == kGroupDisplay) ShowDisplay(g_view, s);
  else if (group == kGroupDisplayExtras) ShowDisplayExtras(g_view, s);
  else if (group >= kGroupFirstChannel && group < kGroupFirstChannel + kChannels)
    ShowChannel(g_view, s, group - kGroupFirstChannel);
  else if (group >= kGroupFirstOffsets && group < kGroupFirstOffsets + kOffsetSystems)
    ShowOffsets(g_view, s, group - kGroupFirstOffsets);
  else if (group == kGroupSettings) ShowSettings(g_view, s);
  params_host().ShowRows(g_view);
  return g_view;
}

int current_param_group() { return g_view.group; }
const ParameterView& param_view() { return g_view; }
bool value_rows_clickable() { return remembered_param_file().loaded; }

namespace {

struct BitName {
  uint8_t mask;
  const char* name;
};

// Names of the bits set in mask, joined; all of them when mask is 0.
std::string bit_names(const BitName* bits, size_t n, uint8_t mask) {
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    if (mask && !(bits[i].mask & mask)) continue;
    if (!out.empty()) out += ", ";
    out += bits[i].name;
  }
  return out;
}

}  // namespace

std::string parameter_at(size_t offset, int a, int b) {
  const uint8_t diff = a >= 0 && b >= 0 ? uint8_t(a ^ b) : 0;
  char head[64];
  if (offset < 4) return std::string("Оси - Измерительные каналы: ") + channel_name(int(offset));
  if (offset < 8) {
    std::snprintf(head, sizeof head, "Оси - Экран: строка %d", int(offset - 4 + 1));
    return head;
  }
  if (offset < 56) {
    const int c = int(offset - 8) / 12, byte = int(offset - 8) % 12;
    std::snprintf(head, sizeof head, "Канал %s: ", channel_name(c));
    static const BitName kByte0[] = {{0x07, "Тип"}, {0xF8, "Формат"}};
    static const BitName kByte1[] = {{kRadiusMode, "Режим работы"},
                                     {kDirectionPlus, "Направление"},
                                     {kNoCounterSaving, "Сохранение счетчиков"},
                                     {kNoSensorCheck, "Контроль датчика"},
                                     {kNoSpeedDisplay, "Отображение скорости"},
                                     {0xE0, "байт 1"}};
    static const BitName kByte3[] = {{kNoCorrection, "Коррекция"},
                                     {kNoCodedMarks, "Кодированные метки"},
                                     {0x18, "Интервал измер. скорости"},
                                     {0xE1, "байт 3"}};
    switch (byte) {
      case 0: return head + bit_names(kByte0, 2, diff);
      case 1: return head + bit_names(kByte1, 6, diff);
      case 3: return head + bit_names(kByte3, 4, diff);
      case 4: case 5: case 6: case 7: return head + std::string("Люфт");
      case 8: return head + std::string("Зона референтной метки");
      case 9: return head + std::string("Внешнее обнуление");
      default: return head + std::string("байт ") + std::to_string(byte);
    }
  }
  if (offset < 76) {
    std::snprintf(head, sizeof head, "Канал %s: Коэффициент", channel_name(int(offset - 56) / 5));
    return head;
  }
  if (offset < 172) {
    const int g = int(offset - 76) / 16, c = int(offset - 76) % 16 / 4;
    std::snprintf(head, sizeof head, "Система координат G5%d: %s", 3 + g, channel_name(c));
    return head;
  }
  if (offset < 176) {
    std::snprintf(head, sizeof head, "доп. настройки: строка %d", int(offset - 172 + 1));
    return head;
  }
  switch (offset) {
    case 176: return "Настройки: Яркость экрана";
    case 177: return "Настройки: Отображение времени";
    case 178: return "Настройки: Скорость USB";
    case 185: {
      static const BitName kFlags[] = {{kNoSound, "Звук"},
                                       {kFastRefresh, "Обновление координат"},
                                       {kNoSensorErrorCapture, "Захват ошибки датчика"},
                                       {0xF8, "байт 185"}};
      return "Настройки: " + bit_names(kFlags, 4, diff);
    }
    default: break;
  }
  if (offset < kParameterSetSize) return "Настройки: резерв";
  return "";
}

}  // namespace kor
