#include "params/param_edit.h"

#include <cstdio>
#include <cstdlib>

#include "app/app_state.h"
#include "app/operator.h"
#include "params/param_view.h"
#include "params/params_host.h"

namespace kor {

std::string& InputKey() {
  static std::string key;
  return key;
}

int& display_axis_step() {
  static int s = 0;
  return s;
}

namespace {

void Say(const char* text, Icon icon) { op().Message(text, app().appName, icon, app().paramsWindow); }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Opens the input dialog for a key: set the key, fill the fields, run the
// dialog; the key is cleared whichever way it closes.
int RunInput(const char* key, InputFields& f) {
  InputKey() = key;
  const int result = params_host().RunInputDialog(f);
  InputKey().clear();
  return result;
}

// The typed text of an accepted "coeff", "luft" or "offset" dialog; false when
// cancelled or refused.
bool TypedInput(const char* key, InputFields& f, std::string& taken) {
  return RunInput(key, f) == 1 && ReadTypedInput(f, taken) == 1;
}

// A typed value in the channel's format; false when it does not fit the format.
bool ParseInFormat(const std::string& text, AxisFormat f, int32_t& v) {
  if (f == 8 || f == 10) {
    v = parse_angle(text, f);
    return true;
  }
  bool ok = false;
  v = parse_fixed(text.c_str(), f, &ok);
  return ok;
}

int16_t angle_part(const std::string& t) {
  size_t i = 0;
  const bool negative = !t.empty() && t[0] == '-';
  if (negative) i = 1;
  int64_t v = 0;
  for (; i < t.size() && is_digit(t[i]); ++i) {
    v = v * 10 + (t[i] - '0');
    if (v > 32768) v = 32768;
  }
  if (negative) v = -v;
  if (v > INT16_MAX) v = INT16_MAX;
  return int16_t(v);
}

// |v| x 10^d / m with the product in 64 bits. Only decimals far beyond what a
// typed coefficient has can leave 64 bits; the product then saturates.
int32_t divide_by_coefficient(int64_t magnitude, const Coefficient& k) {
  int64_t v = magnitude;
  for (int i = 0; i < k.decimals; ++i) {
    if (v > INT64_MAX / 10) {
      v = INT64_MAX;
      break;
    }
    v *= 10;
  }
  v /= k.mantissa;
  return v > INT32_MAX ? INT32_MAX : int32_t(v);
}

// Group 1: the channel's axis steps to the next code no other channel has.
EditResult StepChannelAxis(ParameterSet& s, int c) {
  uint8_t code = s.channelAxis[c];
  for (;;) {
    code = code >= kNoAxis ? 0 : uint8_t(code + 1);
    if (code == kNoAxis) break;
    bool taken = false;
    for (int o = 0; o < kChannels; ++o) taken = taken || (o != c && s.channelAxis[o] == code);
    if (!taken) break;
  }
  s.channelAxis[c] = code;
  ChannelRecord& r = s.channelRecord[c];
  if (code == kNoAxis) {
    s.displayAxis[c] = kNoAxis;
    s.displayExtra[c] = 1;
    return EditResult::Changed;
  }
  const bool linear = code <= kLastLinearAxis;
  r.set_kind(linear ? kLinear : kCircular);
  // The format follows the kind: degrees for a circular axis, lengths for a linear one.
  const uint8_t f = r.format();
  if (linear) {
    if (f == 3 || f == 8) r.set_format(0);
    else if (f == 4) r.set_format(1);
    else if (f == 5) r.set_format(2);
    else if (f == 7) r.set_format(6);
  } else {
    if (f == 0) r.set_format(3);
    else if (f == 1) r.set_format(4);
    else if (f == 2) r.set_format(5);
    else if (f == 6) r.set_format(7);
  }
  return EditResult::Changed;
}

// Group 2: each click gives the row the next channel's axis; after the last
// channel the row goes empty, or takes the last channel's axis when empty.
EditResult StepDisplayAxis(ParameterSet& s, int r) {
  int& step = display_axis_step();
  while (step < kChannels) {
    const uint8_t axis = s.channelAxis[step++];
    if (axis != kNoAxis && axis != s.displayAxis[r]) {
      s.displayAxis[r] = axis;
      return EditResult::Changed;
    }
  }
  if (s.displayAxis[r] != kNoAxis) {
    s.displayAxis[r] = kNoAxis;
    for (int i = 0; i < kDisplayRows; ++i)
      if (s.displayAxis[i] == kNoAxis) s.displayExtra[i] = 1;
  } else {
    for (int c = 0; c < kChannels; ++c)
      if (s.channelAxis[c] != kNoAxis) s.displayAxis[r] = s.channelAxis[c];
  }
  step = 0;
  return EditResult::Changed;
}

// Group 14: speed, "+" (at most two rows) and "=" (one row) for rows with an
// axis, time for a row without.
EditResult StepDisplayExtra(ParameterSet& s, int r) {
  int plus = 0, equals = 0;
  for (int i = 0; i < kDisplayRows; ++i) {
    if (s.displayAxis[i] == kNoAxis) continue;
    plus += s.displayExtra[i] == 2;
    equals += s.displayExtra[i] == 3;
  }
  uint8_t& e = s.displayExtra[r];
  if (s.displayAxis[r] == kNoAxis) {
    e = e == 1 ? 4 : 1;
  } else if (e == 1) {
    e = 0;
  } else if (e == 0) {
    e = plus < 2 ? 2 : equals == 0 ? 3 : 1;
  } else if (e == 2) {
    e = equals == 0 ? 3 : 1;
  } else {
    e = 1;
  }
  return EditResult::Changed;
}

EditResult StepFormat(ChannelRecord& r) {
  static const uint8_t linear[] = {0, 1, 2, 6, 9};
  static const uint8_t circular[] = {3, 4, 5, 7, 8, 10};
  const uint8_t* cycle;
  size_t n;
  if (r.kind() == kLinear) {
    cycle = linear;
    n = sizeof linear;
  } else if (r.kind() == kCircular) {
    cycle = circular;
    n = sizeof circular;
  } else {
    return EditResult::Nothing;
  }
  const uint8_t f = r.format();
  for (size_t i = 0; i < n; ++i) {
    if (cycle[i] == f) {
      r.set_format(cycle[(i + 1) % n]);
      return EditResult::Changed;
    }
  }
  r.set_format(uint8_t(f + 1));
  return EditResult::Changed;
}

EditResult EditInputByte(const char* key, uint8_t& field) {
  InputFields f;
  InitInputByteInput(f, key, field);
  uint8_t b = 0;
  if (RunInput(key, f) != 1 || ReadInputByte(f, b) != 1) return EditResult::Refused;
  field = b;
  return EditResult::Changed;
}

EditResult EditCoefficient(ParameterSet& s, int c) {
  InputFields f;
  InitCoefficientInput(f, c);
  std::string text;
  if (!TypedInput("coeff", f, text)) return EditResult::Refused;
  s.coefficient[c] = ParseCoefficient(text);
  return EditResult::Changed;
}

EditResult EditBacklash(ParameterSet& s, int c) {
  InputFields f;
  InitBacklashInput(f, c);
  std::string text;
  if (!TypedInput("luft", f, text)) return EditResult::Refused;
  ChannelRecord& r = s.channelRecord[c];
  int32_t v = 0;
  if (!ParseInFormat(text, r.format(), v)) return EditResult::Refused;
  // The limit caps the size of the backlash, whichever sign was typed.
  int64_t magnitude = v < 0 ? -int64_t(v) : int64_t(v);
  const int32_t limit = backlash_limit(r.format());
  if (limit && magnitude > limit) magnitude = limit;
  const Coefficient& k = s.coefficient[c];
  if (k.mantissa <= 0) {
    Say("Коэффициент меньше или равен 0", Icon::Error);
    r.backlash = int32_t(magnitude > INT32_MAX ? INT32_MAX : magnitude);
  } else {
    r.backlash = divide_by_coefficient(magnitude, k);
  }
  return EditResult::Changed;
}

EditResult EditChannel(ParameterSet& s, int c, int row) {
  if (s.channelAxis[c] == kNoAxis) return EditResult::Nothing;
  ChannelRecord& r = s.channelRecord[c];
  switch (row) {
    case 0:
      Say("Тип оси задается в общих параметрах", Icon::Information);
      return EditResult::Nothing;
    case 1:
      return StepFormat(r);
    case 2:
      if (r.kind() != kLinear) {
        Say("Можно изменить только если тип оси линейный", Icon::Information);
        return EditResult::Nothing;
      }
      r.options ^= kRadiusMode;
      return EditResult::Changed;
    case 3: r.options ^= kDirectionPlus; return EditResult::Changed;
    case 4: return EditCoefficient(s, c);
    case 5: return EditBacklash(s, c);
    case 6: r.options ^= kNoSensorCheck; return EditResult::Changed;
    case 7: r.options ^= kNoCounterSaving; return EditResult::Changed;
    case 8: r.options ^= kNoSpeedDisplay; return EditResult::Changed;
    case 9: return EditInputByte("zrm", r.refZoneInput);
    case 10: return EditInputByte("erst", r.zeroingInput);
    case 11: {
      // 0.1 s -> 0.3 s -> 0.6 s -> 0.1 s; the unused code 2 stays.
      const int v = (r.options3 >> kSpeedIntervalShift) & 3;
      const int next = v == 0 ? 1 : v == 1 ? 3 : v == 3 ? 0 : 2;
      r.options3 = uint8_t((r.options3 & ~(3 << kSpeedIntervalShift)) | (next << kSpeedIntervalShift));
      return EditResult::Changed;
    }
    case 12: r.options3 ^= kNoCorrection; return EditResult::Changed;
    case 13: r.options3 ^= kNoCodedMarks; return EditResult::Changed;
  }
  return EditResult::Nothing;
}

EditResult EditOffset(ParameterSet& s, int g, int row) {
  // The row shows the row-th channel that has an axis; the click edits the first
  // channel with that axis.
  int shown = -1;
  for (int c = 0, n = 0; c < kChannels; ++c) {
    if (s.channelAxis[c] == kNoAxis) continue;
    if (n++ == row) shown = c;
  }
  if (shown < 0) return EditResult::Nothing;
  int c = 0;
  while (s.channelAxis[c] != s.channelAxis[shown]) ++c;
  InputFields f;
  InitOffsetInput(f, g, c);
  std::string text;
  if (!TypedInput("offset", f, text)) return EditResult::Refused;
  const ChannelRecord& r = s.channelRecord[c];
  const AxisFormat fmt = r.format();
  int32_t v = 0;
  if (!ParseInFormat(text, fmt, v)) return EditResult::Refused;
  v = normalize_offset(v, fmt);
  // Typed as a diameter, stored as the radius.
  if (fmt != 8 && fmt != 10 && r.diameter_mode()) v /= 2;
  s.workOffset[g][c] = v;
  return EditResult::Changed;
}

EditResult EditSettings(ParameterSet& s, int row) {
  switch (row) {
    case 0: {
      InputFields f;
      InitBrightnessInput(f);
      uint8_t code = 0;
      if (RunInput("contrast", f) != 1 || ReadBrightness(f, code) != 1) return EditResult::Refused;
      s.brightnessCode = code;
      return EditResult::Changed;
    }
    case 1: s.timeDisplay = s.timeDisplay == 0 ? 1 : 0; return EditResult::Changed;
    case 2: s.usbSpeed = s.usbSpeed == 1 ? 2 : 1; return EditResult::Changed;
    case 3: s.settingsFlags ^= kNoSound; return EditResult::Changed;
    case 4: s.settingsFlags ^= kFastRefresh; return EditResult::Changed;
    case 5: s.settingsFlags ^= kNoSensorErrorCapture; return EditResult::Changed;
  }
  return EditResult::Nothing;
}

}  // namespace

void InitCoefficientInput(InputFields& f, int channel) {
  f.title = "Ввод коэффициента";
  f.text = coefficient_text(param_set().coefficient[channel]);
}

void InitBacklashInput(InputFields& f, int channel) {
  const ParameterSet& s = param_set();
  f.title = "Ввод люфта";
  f.text = backlash_text(s.channelRecord[channel], s.coefficient[channel]);
}

void InitInputByteInput(InputFields& f, const char* key, uint8_t current) {
  f.title = std::string(key) == "zrm" ? "Зона реферетной метки" : "Внешнее обнуление";
  f.textShown = false;
  f.listShown = true;
  f.items = {"нет"};
  for (int n = 1; n <= 16; ++n) f.items.push_back("<P1." + std::to_string(n));
  // Preset from the row's text; an input above 16 has no item to select.
  const std::string text = input_byte_text(current);
  f.selected = -1;
  f.inverted = !text.empty() && text.back() == '!';
  const std::string plain = f.inverted ? text.substr(0, text.size() - 1) : text;
  for (size_t i = 0; i < f.items.size(); ++i)
    if (f.items[i] == plain) f.selected = int(i);
}

void InitOffsetInput(InputFields& f, int system, int channel) {
  const ParameterSet& s = param_set();
  char title[64];
  std::snprintf(title, sizeof title, "G5%d Ось: %s", system + 3, AxisLetter(s.channelAxis[channel]));
  f.title = title;
  f.text = offset_text(s, system, channel);
}

void InitBrightnessInput(InputFields& f) {
  f.title = "Яркость экрана";
  f.textShown = false;
  f.barShown = true;
  f.barLow = 1;
  f.barHigh = 50;
  f.barPos = 51 - param_set().brightnessCode;
}

int ReadTypedInput(const InputFields& f, std::string& taken) {
  std::string t = f.text.substr(0, kInputTextMax);
  if (t.empty()) return 2;
  for (char mark : {'.', '\'', '"', '\xB0', '-'}) {
    size_t n = 0;
    for (char c : t) n += c == mark;
    if (n > 1) return 2;
  }
  const size_t minus = t.find('-');
  if (minus != std::string::npos && minus != 0) return 2;
  for (char& c : t)
    if (c == '\xB0') c = '.';
  taken = t;
  return 1;
}

int ReadInputByte(const InputFields& f, uint8_t& byte) {
  // Nothing selected (the record named an input the list does not have): the
  // byte stays as it was rather than becoming an input nobody chose.
  if (f.selected < 0 || f.selected >= int(f.items.size())) return 2;
  uint8_t b = f.selected == 0 ? kNoInput : uint8_t((f.selected - 1) & 0x3F);
  if (f.inverted)
    b &= uint8_t(~kInputNormal);
  else
    b |= kInputNormal;
  byte = b;
  return 1;
}

int ReadBrightness(const InputFields& f, uint8_t& code) {
  if (f.barPos < 1 || f.barPos > 50) return 2;
  code = uint8_t(51 - f.barPos);
  return 1;
}

Coefficient ParseCoefficient(const std::string& text) {
  const Coefficient one{1, 0};
  const size_t dot = text.find('.');
  std::string whole = text.substr(0, dot);
  std::string frac = dot == std::string::npos ? std::string() : text.substr(dot + 1);
  for (char c : whole)
    if (!is_digit(c)) return one;
  for (char c : frac)
    if (!is_digit(c)) return one;  // a second point included
  const size_t lead = whole.find_first_not_of('0');
  whole = lead == std::string::npos ? std::string() : whole.substr(lead);
  if (whole.size() > 2) return one;
  if (frac.size() > 8) frac.resize(8);
  auto trim = [&] {
    while (!frac.empty() && frac.back() == '0') frac.pop_back();
  };
  trim();
  if (whole.empty() && frac.empty()) return one;
  // Two digits and eight decimals may not fit 32 bits: the last decimals go.
  int64_t m = 0;
  for (;;) {
    m = std::strtoll((whole + frac).c_str(), nullptr, 10);
    if (m <= INT32_MAX) break;
    frac.pop_back();
    trim();
  }
  int d = int(frac.size());
  // Nothing below 0.05: each number of decimals has its smallest mantissa.
  switch (d) {
    case 2: if (m < 5) m = 5; break;
    case 3: if (m <= 49) { m = 5; d = 2; } break;
    case 4: if (m <= 500) m = 501; break;
    case 5: if (m <= 5000) m = 5001; break;
    case 6: if (m <= 50000) m = 50001; break;
    case 7: if (m <= 500000) m = 500001; break;
    case 8: if (m <= 5000000) m = 5000001; break;
  }
  return Coefficient{int32_t(m), uint8_t(d)};
}

int32_t parse_angle(const std::string& text, AxisFormat f) {
  int64_t deg = 0, min = 0, sec = 0;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    int64_t* part = c == '.' || c == '\xB0' ? &deg : c == '\'' ? &min : c == '"' ? &sec : nullptr;
    if (!part) continue;
    *part = angle_part(text.substr(start, i - start));
    start = i + 1;
  }
  const int64_t last = angle_part(text.substr(start));
  if (f == 10) return int32_t((deg * 3600 + (min + last) * 60 + sec) / 60);
  return int32_t(deg * 3600 + min * 60 + sec + last);
}

int32_t normalize_offset(int32_t v, AxisFormat f) {
  // One full turn in the format's unit.
  int32_t turn = 0;
  switch (f) {
    case 3: turn = 360000; break;
    case 4: turn = 36000; break;
    case 5: turn = 3600; break;
    case 7: turn = 3600000; break;
    case 8: turn = 1296000; break;
    case 10: turn = 21600; break;
    case 0: case 1: case 2: case 6: case 9:
      return (v > 99999999 || v < -99999999) ? 0 : v;
    default:
      return 0;
  }
  return v >= turn ? v % turn : v;
}

int32_t backlash_limit(AxisFormat f) {
  switch (f) {
    case 0: case 6: case 7: return 10000;
    // Format 1's limit was never settled; the stricter one, 1000 (10.00), is kept.
    case 1: case 2: case 3: return 1000;
    case 4: case 5: return 100;
    case 8: return 3600;
    default: return 0;
  }
}

EditResult EditParameterRow(int row, int group) {
  const int i = value_row_index(row);
  if (i < 0) return EditResult::Nothing;
  ParameterSet& s = param_set();
  EditResult result = EditResult::Nothing;
  if (group == kGroupChannels && i < kChannels) {
    result = StepChannelAxis(s, i);
  } else if (group == kGroupDisplay && i < kDisplayRows) {
    result = StepDisplayAxis(s, i);
  } else if (group == kGroupDisplayExtras && i < kDisplayRows) {
    result = StepDisplayExtra(s, i);
  } else if (group >= kGroupFirstChannel && group < kGroupFirstChannel + kChannels) {
    result = EditChannel(s, group - kGroupFirstChannel, i);
  } else if (group >= kGroupFirstOffsets && group < kGroupFirstOffsets + kOffsetSystems && i < kChannels) {
    result = EditOffset(s, group - kGroupFirstOffsets, i);
  } else if (group == kGroupSettings && i < 6) {
    result = EditSettings(s, i);
  }
  ShowParameterGroup(group);
  return result;
}

}  // namespace kor
