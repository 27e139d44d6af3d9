// How the Parameters dialog shows the parameter set: a tree of groups as the
// unit's menus have them, and per group a caption with up to fourteen rows of
// label and value.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "params/param_set.h"
#include "program/fixed_point.h"

namespace kor {

constexpr int kParamRows = 14;
// Label rows L1..L14 and value rows V1..V14 of the dialog, in order.
extern const int kLabelRowControls[kParamRows];
extern const int kValueRowControls[kParamRows];
// 0..13 for a value row's control, -1 for any other.
int value_row_index(int control);

// Groups the tree items select.
enum ParamGroup {
  kGroupNone = 0,
  kGroupChannels = 1,
  kGroupDisplay = 2,
  kGroupFirstChannel = 3,  // 3..6: Канал P2.0..P2.3
  kGroupFirstOffsets = 7,  // 7..12: G53..G58
  kGroupSettings = 13,
  kGroupDisplayExtras = 14,
};

struct TreeItem {
  const char* text;
  int parent;  // index of the parent item, -1 for the root
  int group;
};

struct ParameterView {
  int group = kGroupNone;
  std::string caption;
  std::string label[kParamRows];
  std::string value[kParamRows];
};

// "X" .. "D", "нет" for 13.
const char* AxisLetter(uint8_t code);
// "X (линейная)" .. "D (круговая)", "нет" for 13.
const char* AxisTitle(uint8_t code);
const char* channel_name(int c);  // "P2.0".."P2.3"

// A value counted in the format's last place as the dialog writes it: angles in
// degrees and minutes, format 9 converted from millimetres to inches.
std::string FormatAxisValue(int32_t value, AxisFormat f);
// m with a point before its last d digits: m 5, d 2 reads 0.05.
std::string coefficient_text(const Coefficient& k);
// Stored backlash times the coefficient, in the axis's format.
std::string backlash_text(const ChannelRecord& r, const Coefficient& k);
// "нет", "<P1.n", or "<P1.n!" when inverted.
std::string input_byte_text(uint8_t b);
// The offset of system g on channel c as shown (doubled in diameter mode).
std::string offset_text(const ParameterSet& s, int g, int c);
// Texts of a display row's extra setting in the extras group.
const char* display_extra_text(uint8_t extra);

// The parameter a byte of the memory belongs to, in the dialog's words
// ("Канал P2.1: Люфт"); when the two values of that byte are given, a byte of
// option bits names only the settings whose bits differ. Empty past the
// 186-byte layout.
std::string parameter_at(size_t offset, int a = -1, int b = -1);

// The items of tree 145 in insertion order.
const std::vector<TreeItem>& parameter_tree_items();
// Index of "Оси - Измерительные каналы", selected after every rebuild.
constexpr int kFirstSelectedItem = 1;

// Rebuilds the tree, clears the rows, forgets the current group.
void BuildParameterTree();
// Clears the rows, makes the group current and fills the rows. Showing the
// display group repairs row extras that make no sense for the row.
const ParameterView& ShowParameterGroup(int group);
void ClearParameterRows();
int current_param_group();
const ParameterView& param_view();
// The hand cursor over the value rows while a file is loaded.
bool value_rows_clickable();

}  // namespace kor
