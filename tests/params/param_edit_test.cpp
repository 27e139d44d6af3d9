#include "params/param_edit.h"

#include <gtest/gtest.h>

#include "params_fixture.h"

namespace kor {
namespace {

using test::ParamsTest;

// Value rows V1..V14 by number.
int V(int n) { return kValueRowControls[n - 1]; }

class ParamEdit : public ParamsTest {
 protected:
  void SetUp() override {
    ParamsTest::SetUp();
    param_set() = configured();
  }
  ParameterSet& s = param_set();
  ChannelRecord& x = param_set().channelRecord[0];
};

TEST_F(ParamEdit, ChannelAxisSkipsTakenAxesAndFitsKindAndFormat) {
  s.channelAxis[1] = kNoAxis;
  s.channelRecord[1].kindFormat = uint8_t(3 << 3);  // circular, 0.000°
  EXPECT_EQ(EditParameterRow(V(2), 1), EditResult::Changed);
  EXPECT_EQ(s.channelAxis[1], 1);  // X is taken: Y
  EXPECT_EQ(s.channelRecord[1].kind(), kLinear);
  EXPECT_EQ(s.channelRecord[1].format(), 0);
  EXPECT_EQ(param_view().value[1], "Y (линейная)");  // shown again

  // R (8) -> U..W and P..R are free; from R the next is A, circular.
  s.channelAxis[1] = 8;
  s.channelRecord[1].kindFormat = uint8_t((6 << 3) | kLinear);
  EditParameterRow(V(2), 1);
  EXPECT_EQ(s.channelAxis[1], 9);
  EXPECT_EQ(s.channelRecord[1].kind(), kCircular);
  EXPECT_EQ(s.channelRecord[1].format(), 7);

  // From D comes "none": the display row follows.
  s.channelAxis[1] = 12;
  s.displayAxis[1] = 12;
  s.displayExtra[1] = 0;
  EditParameterRow(V(2), 1);
  EXPECT_EQ(s.channelAxis[1], kNoAxis);
  EXPECT_EQ(s.channelRecord[1].kind(), kCircular);  // none leaves the kind
  EXPECT_EQ(s.displayAxis[1], kNoAxis);
  EXPECT_EQ(s.displayExtra[1], 1);

  // After none comes X, taken by P2.0, then Y.
  EditParameterRow(V(2), 1);
  EXPECT_EQ(s.channelAxis[1], 1);
}

TEST_F(ParamEdit, FormatFitsTheNewKind) {
  struct Case {
    uint8_t axis, from, to;
  } cases[] = {
      {0, 3, 0}, {0, 4, 1}, {0, 5, 2}, {0, 7, 6}, {0, 8, 0}, {0, 9, 9}, {0, 10, 10},
      {9, 0, 3}, {9, 1, 4}, {9, 2, 5}, {9, 6, 7}, {9, 9, 9}, {9, 8, 8},
  };
  for (const Case& c : cases) {
    s.channelAxis[3] = uint8_t(c.axis == 0 ? kNoAxis : 8);  // one click gives X or A
    s.channelAxis[0] = s.channelAxis[1] = s.channelAxis[2] = kNoAxis;
    s.channelRecord[3].set_format(c.from);
    EditParameterRow(V(4), 1);
    ASSERT_EQ(s.channelAxis[3], c.axis);
    EXPECT_EQ(s.channelRecord[3].format(), c.to) << int(c.axis) << " from " << int(c.from);
  }
}

TEST_F(ParamEdit, FormatCycles) {
  struct Case {
    uint8_t kind, from, to;
  } cases[] = {
      {kLinear, 0, 1},    {kLinear, 2, 6},    {kLinear, 6, 9},  {kLinear, 9, 0},   {kLinear, 3, 4},
      {kCircular, 3, 4},  {kCircular, 7, 8},  {kCircular, 8, 10}, {kCircular, 10, 3}, {kCircular, 0, 1},
      {kCircular, 31, 0},
  };
  for (const Case& c : cases) {
    x.set_kind(c.kind);
    x.set_format(c.from);
    EXPECT_EQ(EditParameterRow(V(2), 3), EditResult::Changed);
    EXPECT_EQ(x.format(), c.to) << int(c.kind) << " from " << int(c.from);
  }
  x.set_kind(3);
  x.set_format(2);
  EXPECT_EQ(EditParameterRow(V(2), 3), EditResult::Nothing);
  EXPECT_EQ(x.format(), 2);
}

TEST_F(ParamEdit, ChannelTogglesAndTheirLimits) {
  const ChannelRecord before = x;
  EXPECT_EQ(EditParameterRow(V(1), 3), EditResult::Nothing);
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Тип оси задается в общих параметрах"});
  EXPECT_EQ(rec.messages[0].icon, Icon::Information);

  struct Toggle {
    int row;
    uint8_t ChannelRecord::*field;
    uint8_t bit;
  } toggles[] = {
      {3, &ChannelRecord::options, kRadiusMode},        {4, &ChannelRecord::options, kDirectionPlus},
      {7, &ChannelRecord::options, kNoSensorCheck},     {8, &ChannelRecord::options, kNoCounterSaving},
      {9, &ChannelRecord::options, kNoSpeedDisplay},    {13, &ChannelRecord::options3, kNoCorrection},
      {14, &ChannelRecord::options3, kNoCodedMarks},
  };
  for (const Toggle& t : toggles) {
    EditParameterRow(V(t.row), 3);
    EXPECT_EQ(x.*t.field, before.*t.field ^ t.bit) << t.row;
    EditParameterRow(V(t.row), 3);
    EXPECT_EQ(x.*t.field, before.*t.field) << t.row;
  }

  // Mode only for a linear axis.
  x.set_kind(kCircular);
  rec.messages.clear();
  EXPECT_EQ(EditParameterRow(V(3), 3), EditResult::Nothing);
  EXPECT_EQ(x.options, before.options);
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Можно изменить только если тип оси линейный"});

  // Speed interval 0.1 -> 0.3 -> 0.6 -> 0.1; the unused code 2 stays.
  x.options3 = 0x81;
  std::vector<int> seen;
  for (int i = 0; i < 3; ++i) {
    EditParameterRow(V(12), 3);
    seen.push_back((x.options3 >> 3) & 3);
  }
  EXPECT_EQ(seen, (std::vector<int>{1, 3, 0}));
  EXPECT_EQ(x.options3 & ~0x18, 0x81);
  x.options3 = 2 << 3;
  EditParameterRow(V(12), 3);
  EXPECT_EQ(x.options3, 2 << 3);

  // A channel without axis takes no clicks.
  rec.messages.clear();
  const ChannelRecord free = s.channelRecord[3];
  for (int row = 1; row <= 14; ++row) EXPECT_EQ(EditParameterRow(V(row), 6), EditResult::Nothing);
  EXPECT_EQ(s.channelRecord[3].options, free.options);
  EXPECT_TRUE(rec.messages.empty());
  EXPECT_TRUE(host.opened.empty());
}

TEST_F(ParamEdit, DisplayAxisStepIsSharedByAllRows) {
  // Channels X, Y, Z, none; rows X, Y, Z, none.
  EditParameterRow(V(1), 2);  // s=0: X is the row's own axis, s=1: Y
  EXPECT_EQ(s.displayAxis[0], 1);
  EXPECT_EQ(display_axis_step(), 2);
  EditParameterRow(V(4), 2);  // another row goes on from s=2: Z
  EXPECT_EQ(s.displayAxis[3], 2);
  EXPECT_EQ(display_axis_step(), 3);
  s.displayExtra[1] = 0;
  s.displayExtra[3] = 3;
  EditParameterRow(V(4), 2);  // s=3: no axis; the row goes empty, extras of empty rows reset
  EXPECT_EQ(s.displayAxis[3], kNoAxis);
  EXPECT_EQ(s.displayExtra[3], 1);
  EXPECT_EQ(s.displayExtra[1], 0);
  EXPECT_EQ(display_axis_step(), 0);

  display_axis_step() = 4;
  EditParameterRow(V(4), 2);  // an empty row gets the last channel's axis
  EXPECT_EQ(s.displayAxis[3], 2);
  EXPECT_EQ(display_axis_step(), 0);
}

TEST_F(ParamEdit, DisplayExtras) {
  struct Case {
    uint8_t axis, extra, others, after;  // others: the extra of rows 2 and 3 (with axes)
  } cases[] = {
      {0, 1, 1, 0},  {0, 0, 1, 2},  {0, 0, 2, 3},  {0, 2, 1, 3},  {0, 2, 3, 1},
      {0, 3, 1, 1},  {0, 4, 1, 1},  {13, 1, 1, 4}, {13, 4, 1, 1}, {13, 0, 1, 1},
  };
  for (const Case& c : cases) {
    s.displayAxis[0] = c.axis;
    s.displayExtra[0] = c.extra;
    s.displayExtra[1] = s.displayExtra[2] = c.others;
    EditParameterRow(V(1), 14);
    EXPECT_EQ(s.displayExtra[0], c.after) << int(c.axis) << "/" << int(c.extra) << "/" << int(c.others);
  }
  // Two "+" rows and one "=" row: the third row falls back to plain.
  s.displayAxis[0] = 0;
  s.displayExtra[0] = 0;
  s.displayExtra[1] = 2;
  s.displayExtra[2] = 2;
  s.displayExtra[3] = 3;
  s.displayAxis[3] = 2;
  EditParameterRow(V(1), 14);
  EXPECT_EQ(s.displayExtra[0], 1);
}

TEST_F(ParamEdit, TypedCoefficients) {
  struct Case {
    const char* text;
    int32_t m;
    uint8_t d;
  } cases[] = {
      {"1", 1, 0},        {"0.5", 5, 1},      {"0.01", 5, 2},         {"0.049", 5, 2},   {"0.0499", 501, 4},
      {"0.1000", 1, 1},   {"123", 1, 0},      {"0", 1, 0},            {"-1", 1, 0},      {"007.25", 725, 2},
      {"12.345", 12345, 3}, {"0.05", 5, 2},   {"0.051", 51, 3},       {"0.00005", 5001, 5},
      {"0.123456789", 12345678, 8},           {"99.12345678", 991234567, 7}, {".", 1, 0},
  };
  for (const Case& c : cases) {
    s.coefficient[0] = {777, 1};
    host.Type(c.text);
    EXPECT_EQ(EditParameterRow(V(5), 3), EditResult::Changed) << c.text;
    EXPECT_EQ(s.coefficient[0].mantissa, c.m) << c.text;
    EXPECT_EQ(s.coefficient[0].decimals, c.d) << c.text;
  }
  ASSERT_FALSE(host.opened.empty());
  EXPECT_EQ(host.opened.back().title, "Ввод коэффициента");
  EXPECT_EQ(host.opened.back().text, "77.7");
  EXPECT_EQ(host.keys.back(), "coeff");
  EXPECT_EQ(InputKey(), "");
}

TEST_F(ParamEdit, DialogRefusesMalformedTextAndChangesNothing) {
  s.coefficient[0] = {25, 1};
  for (const char* text : {"1.2.3", "5-", "", "1''", "--1", "1\xB0" "2\xB0"}) {
    host.Type(text);
    EXPECT_EQ(EditParameterRow(V(5), 3), EditResult::Refused) << text;
  }
  host.answers.push_back([](InputFields& f) {
    f.text = "0.5";
    return 2;  // "Отмена"
  });
  EXPECT_EQ(EditParameterRow(V(5), 3), EditResult::Refused);
  EXPECT_EQ(s.coefficient[0].mantissa, 25);
  EXPECT_EQ(s.coefficient[0].decimals, 1);
  EXPECT_EQ(InputKey(), "");

  InputFields f;
  std::string taken;
  f.text = "-1\xB0" "30'";
  EXPECT_EQ(ReadTypedInput(f, taken), 1);
  EXPECT_EQ(taken, "-1.30'");
  f.text = "123456789012345678";  // the field gives 14 characters
  EXPECT_EQ(ReadTypedInput(f, taken), 1);
  EXPECT_EQ(taken, "12345678901234");
}

TEST_F(ParamEdit, Backlash) {
  struct Case {
    uint8_t format;
    Coefficient k;
    const char* text;
    int32_t stored;
  } cases[] = {
      {0, {1, 0}, "0.05", 50},      {0, {1, 0}, "20.000", 10000}, {0, {1, 0}, "-20.000", 10000},
      {0, {2, 0}, "0.05", 25},      {0, {5, 1}, "0.05", 100},     {0, {3, 0}, "0.010", 3},
      {1, {1, 0}, "10.01", 1000},   {1, {1, 0}, "99", 1000},      {2, {1, 0}, "200", 1000},
      {3, {1, 0}, "2", 1000},       {4, {1, 0}, "1.01", 100},     {5, {1, 0}, "50", 100},
      {6, {1, 0}, "2", 10000},      {7, {1, 0}, "-1", 10000},     {8, {1, 0}, "2.0", 3600},
      {8, {1, 0}, "0.30'", 1800},   {9, {1, 0}, "1", 254000},     {10, {1, 0}, "5.0", 300},
  };
  for (const Case& c : cases) {
    x.set_format(c.format);
    s.coefficient[0] = c.k;
    host.Type(c.text);
    EXPECT_EQ(EditParameterRow(V(6), 3), EditResult::Changed) << c.text;
    EXPECT_EQ(x.backlash, c.stored) << c.text << " in format " << int(c.format);
  }
  EXPECT_EQ(host.opened.back().title, "Ввод люфта");
  EXPECT_TRUE(rec.messages.empty());

  // A coefficient of 0 or below cannot divide: the value is stored as typed.
  x.set_format(0);
  s.coefficient[0] = {0, 0};
  host.Type("0.05");
  EditParameterRow(V(6), 3);
  EXPECT_EQ(x.backlash, 50);
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Коэффициент меньше или равен 0"});

  // A number the format cannot hold is refused, not clamped.
  s.coefficient[0] = {1, 0};
  host.Type("99999999");
  EXPECT_EQ(EditParameterRow(V(6), 3), EditResult::Refused);
  EXPECT_EQ(x.backlash, 50);
}

TEST_F(ParamEdit, Offsets) {
  struct Case {
    uint8_t kindFormat, options;
    const char* text;
    int32_t stored;
  } cases[] = {
      {kLinear, 0, "-5.000", -2500},                   // diameter: halved
      {kLinear, 0, "-5.001", -2500},                   // integer division
      {kLinear, kRadiusMode, "-5.000", -5000},
      {kLinear, 0, "100000.000", 0},                   // beyond 99999.999
      {kCircular | (3 << 3), 0, "400.000", 40000},     // one turn taken off
      {kCircular | (3 << 3), 0, "-400", -400000},      // negative values are left
      {kCircular | (4 << 3), 0, "360", 0},
      {kCircular | (8 << 3), 0, "361.0'30\"", 3630},   // 361 degrees, 30 seconds
      {kCircular | (10 << 3), 0, "1.30", 90},
      {kLinear | (9 << 3), kRadiusMode, "0.5", 127000},
      {kLinear | (11 << 3), kRadiusMode, "5", 0},
  };
  for (const Case& c : cases) {
    x.kindFormat = c.kindFormat;
    x.options = c.options;
    host.Type(c.text);
    EXPECT_EQ(EditParameterRow(V(1), 9), EditResult::Changed) << c.text;
    EXPECT_EQ(s.workOffset[2][0], c.stored) << c.text;
  }
  // The dialog opens on the row's axis with its shown value.
  s.workOffset[4][1] = 1000;
  host.answers.push_back([](InputFields&) { return 2; });
  EditParameterRow(V(2), 11);
  EXPECT_EQ(host.opened.back().title, "G57 Ось: Y");
  EXPECT_EQ(host.opened.back().text, "2.000");
  EXPECT_EQ(host.keys.back(), "offset");
  // A row without a channel opens nothing.
  const size_t opened = host.opened.size();
  EXPECT_EQ(EditParameterRow(V(4), 9), EditResult::Nothing);
  EXPECT_EQ(host.opened.size(), opened);
}

TEST(AngleRule, PartsAndLimits) {
  struct Case {
    const char* text;
    AxisFormat f;
    int32_t value;
  } cases[] = {
      {"1.30'15\"", 8, 5415}, {"1.30", 8, 3630},   {"30'", 8, 1800},     {"15", 8, 15},
      {"-1.0", 8, -3600},     {"007.", 8, 25200},  {"99999.", 8, 32767 * 3600},
      {"1.30'", 10, 90},      {"1.30'30\"", 10, 90}, {"1.15", 10, 75},   {"0.0'59\"", 10, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(parse_angle(c.text, c.f), c.value) << c.text;
}

TEST_F(ParamEdit, InputBytesFromListAndBox) {
  x.refZoneInput = 0x02;  // <P1.3!
  host.answers.push_back([](InputFields&) { return 2; });
  EditParameterRow(V(10), 3);
  const InputFields& f = host.opened.back();
  EXPECT_EQ(f.title, "Зона реферетной метки");
  EXPECT_FALSE(f.textShown);
  ASSERT_EQ(f.items.size(), 17u);
  EXPECT_EQ(f.items[0], "нет");
  EXPECT_EQ(f.items[16], "<P1.16");
  EXPECT_EQ(f.selected, 3);
  EXPECT_TRUE(f.inverted);
  EXPECT_EQ(x.refZoneInput, 0x02);

  struct Case {
    int item;
    bool inverted;
    uint8_t byte;
  } cases[] = {{0, false, 0xC0}, {0, true, 0x80}, {1, false, 0x40}, {3, true, 0x02}, {16, false, 0x4F}};
  for (const Case& c : cases) {
    host.answers.push_back([c](InputFields& f) {
      f.selected = c.item;
      f.inverted = c.inverted;
      return 1;
    });
    EXPECT_EQ(EditParameterRow(V(11), 3), EditResult::Changed);
    EXPECT_EQ(x.zeroingInput, c.byte) << c.item;
    EXPECT_EQ(host.opened.back().title, "Внешнее обнуление");
    EXPECT_EQ(host.keys.back(), "erst");
  }

  // Input 20 has no item: nothing is selected, and "ОК" without a choice keeps the byte.
  x.zeroingInput = 0x53;
  host.answers.push_back([](InputFields&) { return 1; });
  EXPECT_EQ(EditParameterRow(V(11), 3), EditResult::Refused);
  EXPECT_EQ(host.opened.back().selected, -1);
  EXPECT_EQ(x.zeroingInput, 0x53);
}

TEST_F(ParamEdit, Settings) {
  s.brightnessCode = 26;
  host.answers.push_back([](InputFields& f) {
    f.barPos = 50;
    return 1;
  });
  EXPECT_EQ(EditParameterRow(V(1), 13), EditResult::Changed);
  EXPECT_EQ(s.brightnessCode, 1);
  EXPECT_EQ(host.opened.back().title, "Яркость экрана");
  EXPECT_TRUE(host.opened.back().barShown);
  EXPECT_EQ(host.opened.back().barPos, 25);
  EXPECT_EQ(host.keys.back(), "contrast");
  host.answers.push_back([](InputFields& f) {
    f.barPos = 0;
    return 1;
  });
  EXPECT_EQ(EditParameterRow(V(1), 13), EditResult::Refused);
  EXPECT_EQ(s.brightnessCode, 1);

  EditParameterRow(V(2), 13);
  EXPECT_EQ(s.timeDisplay, 1);
  EditParameterRow(V(2), 13);
  EXPECT_EQ(s.timeDisplay, 0);
  EditParameterRow(V(3), 13);
  EXPECT_EQ(s.usbSpeed, 2);
  EditParameterRow(V(3), 13);
  EXPECT_EQ(s.usbSpeed, 1);
  for (int row : {4, 5, 6}) EditParameterRow(V(row), 13);
  EXPECT_EQ(s.settingsFlags, 0x07);
  EXPECT_EQ(EditParameterRow(V(7), 13), EditResult::Nothing);
  EXPECT_EQ(EditParameterRow(V(5), 1), EditResult::Nothing);
  EXPECT_EQ(EditParameterRow(V(1), 0), EditResult::Nothing);
  EXPECT_EQ(EditParameterRow(154, 13), EditResult::Nothing);  // a label, not a value row
}

}  // namespace
}  // namespace kor
