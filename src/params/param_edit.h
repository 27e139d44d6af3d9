// Editing the parameter set by clicks on the Parameters dialog's value rows:
// steps, toggles, and the input dialog "Ввод параметров" with the rules by which
// typed text becomes a stored value. Changes go into the set at once; nothing
// reaches a file before "Сохранить ".
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "params/param_set.h"
#include "program/fixed_point.h"

namespace kor {

// What the input dialog (198) shows and, after "ОК", what the operator left in it.
struct InputFields {
  std::string title;
  bool textShown = true;  // field 199
  std::string text;
  bool listShown = false;  // list 200 and check box 201 "инверсия"
  std::vector<std::string> items;
  int selected = -1;  // -1: no item selected
  bool inverted = false;
  bool barShown = false;  // track bar 208 with its value label 209
  int barLow = 1, barHigh = 50, barPos = 0;
};

// Field 199 gives at most this many characters.
constexpr size_t kInputTextMax = 14;

// What the open input dialog edits: "coeff", "luft", "zrm", "erst", "offset" or
// "contrast"; empty while it is closed.
std::string& InputKey();

// Initialisers: the title and the clicked row's current value.
void InitCoefficientInput(InputFields& f, int channel);
void InitBacklashInput(InputFields& f, int channel);
// "zrm" or "erst", preset from the input byte's text.
void InitInputByteInput(InputFields& f, const char* key, uint8_t current);
void InitOffsetInput(InputFields& f, int system, int channel);
void InitBrightnessInput(InputFields& f);

// Readers, run on "ОК": 1 accepted, 2 refused.
// The typed text: not empty, at most one of each of . ' " ° -, a minus only in
// front; each ° becomes a point.
int ReadTypedInput(const InputFields& f, std::string& taken);
int ReadInputByte(const InputFields& f, uint8_t& byte);
int ReadBrightness(const InputFields& f, uint8_t& code);

// The coefficient of a typed text, never below 0.05; 1 when the text breaks a rule.
Coefficient ParseCoefficient(const std::string& text);
// Degrees ("." or °), minutes ('), seconds (") and an unmarked last part in the
// format's smallest unit; format 8 counts seconds, 10 minutes.
int32_t parse_angle(const std::string& text, AxisFormat f);
// Offsets of angle formats within one turn; out-of-range lengths to 0.
int32_t normalize_offset(int32_t v, AxisFormat f);
// The largest backlash each format allows (0: no limit).
int32_t backlash_limit(AxisFormat f);

enum class EditResult {
  Nothing,  // the click changes nothing here
  Changed,
  Refused,  // the input dialog was cancelled or its text refused
};

// A click on value row control `row` (165..175, 212, 216, 234) while `group` is
// shown; the group is shown again afterwards.
EditResult EditParameterRow(int row, int group);

// The display-axis click's step over the channels, shared by all four rows.
int& display_axis_step();

}  // namespace kor
