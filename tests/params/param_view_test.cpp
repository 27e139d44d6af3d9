#include "params/param_view.h"

#include <gtest/gtest.h>

#include "params_fixture.h"

namespace kor {
namespace {

using test::ParamsTest;

class ParamView : public ParamsTest {
 protected:
  void SetUp() override {
    ParamsTest::SetUp();
    param_set() = configured();
  }
};

TEST_F(ParamView, ChannelRecordTexts) {
  ChannelRecord& r = param_set().channelRecord[0];
  r.kindFormat = 0x49;  // linear, format 9
  r.options = 0x01;
  r.refZoneInput = 0x40;
  r.zeroingInput = 0x02;
  const ParameterView& v = ShowParameterGroup(3);
  EXPECT_EQ(v.caption, "Канал P2.0   Ось: X");
  const std::vector<std::string> want = {
      "линейная", "0.0000\"", "радиус", "-", "1", "0.0000\x02", "да", "да", "да", "<P1.1", "<P1.3!", "0.1 сек", "да",
      "да",
  };
  for (int i = 0; i < kParamRows; ++i) EXPECT_EQ(v.value[i], want[size_t(i)]) << i;
  EXPECT_EQ(v.label[0], "Тип");
  EXPECT_EQ(v.label[13], "Кодированные метки");

  r.options = 0x1E;
  r.options3 = 0x1E;  // no correction, no coded marks, interval 3
  r.kindFormat = 0x50;  // circular, format 10
  r.refZoneInput = 0x80;
  const ParameterView& w = ShowParameterGroup(3);
  EXPECT_EQ(w.value[0], "круговая");
  EXPECT_EQ(w.value[1], "0\xB0" "00'");
  EXPECT_EQ(w.value[2], "диаметр");
  EXPECT_EQ(w.value[3], "+");
  for (int i : {6, 7, 8, 12, 13}) EXPECT_EQ(w.value[i], "нет") << i;
  EXPECT_EQ(w.value[9], "нет");
  EXPECT_EQ(w.value[11], "0.6 сек");

  r.set_kind(5);  // kinds 2..7 have no text
  EXPECT_EQ(ShowParameterGroup(3).value[0], "");
}

TEST_F(ParamView, ChannelWithoutAxisShowsOnlyThat) {
  const ParameterView& v = ShowParameterGroup(6);
  EXPECT_EQ(v.caption, "Канал P2.3   Ось: нет");
  EXPECT_EQ(v.label[0], "Ось не назначена");
  for (int i = 0; i < kParamRows; ++i) EXPECT_EQ(v.value[i], "");
  EXPECT_EQ(v.label[1], "");
}

TEST(ParamTexts, CoefficientAndBacklash) {
  EXPECT_EQ(coefficient_text({1, 3}), "0.001");
  EXPECT_EQ(coefficient_text({12345, 2}), "123.45");
  EXPECT_EQ(coefficient_text({5, 2}), "0.05");
  EXPECT_EQ(coefficient_text({1, 0}), "1");
  EXPECT_EQ(coefficient_text({-15, 1}), "-1.5");

  ChannelRecord r;  // format 0
  r.backlash = 25;
  EXPECT_EQ(backlash_text(r, {2, 0}), "0.050");
  EXPECT_EQ(backlash_text(r, {2, 3}), "0.000");  // 50 / 1000, truncated
  r.backlash = -25;
  EXPECT_EQ(backlash_text(r, {2, 0}), "0.050");
  r.backlash = INT32_MAX;
  EXPECT_EQ(backlash_text(r, {INT32_MAX, 200}), "0.000");  // no overflow on a garbage coefficient
}

TEST(ParamTexts, ValuesInEachKindOfFormat) {
  struct Case {
    int32_t value;
    AxisFormat f;
    const char* text;
  } cases[] = {
      {12345, 0, "12.345"},
      {-7, 1, "-0.07"},
      {900, 3, "0.900\xB0"},
      {3661, 8, "1\xB0" "01'01\""},
      {-1, 8, "359\xB0" "59'59\""},
      {90, 10, "1\xB0" "30'"},
      {127000, 9, "0.5000\x02"},  // 12.7 mm is half an inch
      {13, 9, "0.0001\x02"},      // 0.5 rounds up
      {12, 9, "0.0000\x02"},
      {-13, 9, "-0.0001\x02"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatAxisValue(c.value, c.f), c.text) << c.value << " in " << int(c.f);
}

TEST(ParamTexts, InputBytes) {
  EXPECT_EQ(input_byte_text(0x40), "<P1.1");
  EXPECT_EQ(input_byte_text(0x02), "<P1.3!");
  EXPECT_EQ(input_byte_text(0x4F), "<P1.16");
  EXPECT_EQ(input_byte_text(0x80), "нет");
  EXPECT_EQ(input_byte_text(0xFF), "нет");
}

TEST_F(ParamView, OffsetsAreShownDoubledInDiameterMode) {
  ParameterSet& s = param_set();
  s.workOffset[0][0] = 1000;  // X: linear, diameter mode
  s.workOffset[0][1] = 1000;  // Y: radius mode
  s.channelRecord[1].options = kRadiusMode;
  s.channelAxis[2] = 9;  // A, circular, format 8
  s.channelRecord[2].kindFormat = uint8_t(8 << 3);
  s.workOffset[0][2] = 3600;
  const ParameterView& v = ShowParameterGroup(7);
  EXPECT_EQ(v.caption, "Система координат G53");
  EXPECT_EQ(v.label[0], "X");
  EXPECT_EQ(v.value[0], "2.000");
  EXPECT_EQ(v.value[1], "1.000");
  EXPECT_EQ(v.label[2], "A");
  EXPECT_EQ(v.value[2], "1\xB0" "00'00\"");
  EXPECT_EQ(v.label[3], "");
}

TEST_F(ParamView, WithoutAxesEveryOffsetGroupSaysSo) {
  for (uint8_t& a : param_set().channelAxis) a = kNoAxis;
  for (int g = 7; g <= 12; ++g) {
    const ParameterView v = ShowParameterGroup(g);
    EXPECT_EQ(v.label[0], "нет назначенных осей");
    for (int i = 1; i < kParamRows; ++i) EXPECT_EQ(v.label[i], "");
    for (int i = 0; i < kParamRows; ++i) EXPECT_EQ(v.value[i], "");
  }
  EXPECT_EQ(ShowParameterGroup(12).caption, "Система координат G58");
}

TEST_F(ParamView, DisplayGroupShowsExtrasAndRepairsTheOnesThatDoNotFit) {
  ParameterSet& s = param_set();
  s.displayAxis[3] = kNoAxis;
  struct Case {
    uint8_t axis, extra;
    const char* label;
    uint8_t after;
  } cases[] = {
      {0, 0, "  1 скорость", 0}, {0, 1, "  1", 1},     {0, 2, "  1 +", 2},     {0, 3, "  1 =", 3},
      {0, 4, "  1", 1},          {0, 9, "  1 ?", 9},   {13, 1, "  1", 1},      {13, 4, "  1 время", 4},
      {13, 0, "  1", 1},         {13, 2, "  1", 1},    {13, 3, "  1", 1},      {13, 5, "  1 ?", 5},
  };
  for (const Case& c : cases) {
    s.displayAxis[0] = c.axis;
    s.displayExtra[0] = c.extra;
    const ParameterView& v = ShowParameterGroup(2);
    EXPECT_EQ(v.label[0], c.label) << int(c.axis) << "/" << int(c.extra);
    EXPECT_EQ(s.displayExtra[0], c.after) << int(c.axis) << "/" << int(c.extra);
  }
  EXPECT_EQ(ShowParameterGroup(2).value[0], "нет");
  EXPECT_EQ(ShowParameterGroup(2).value[1], "Y");
}

TEST_F(ParamView, DisplayExtrasAndSettings) {
  ParameterSet& s = param_set();
  s.displayExtra[0] = 0;
  s.displayExtra[1] = 3;
  s.displayExtra[3] = 4;
  const ParameterView& v = ShowParameterGroup(14);
  EXPECT_EQ(v.caption, "доп. настройки");
  EXPECT_EQ(v.label[0], "  1  X ");
  EXPECT_EQ(v.label[3], "  4  нет ");
  EXPECT_EQ(v.value[0], "скорость");
  EXPECT_EQ(v.value[1], "=");
  EXPECT_EQ(v.value[2], "");
  EXPECT_EQ(v.value[3], "время");

  s.brightnessCode = 1;
  s.timeDisplay = 1;
  s.usbSpeed = 2;
  s.settingsFlags = 0x02;
  const ParameterView& w = ShowParameterGroup(13);
  EXPECT_EQ(w.caption, "Настройки");
  const std::vector<std::string> want = {"50", "да", "115 200 бит/c", "да", "быстро", "да"};
  for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(w.value[i], want[i]) << i;
  s.settingsFlags = 0x05;
  s.usbSpeed = 1;
  const ParameterView& x = ShowParameterGroup(13);
  EXPECT_EQ(x.value[2], "200 000 бит/c");
  EXPECT_EQ(x.value[3], "нет");
  EXPECT_EQ(x.value[4], "медленно");
  EXPECT_EQ(x.value[5], "нет");
}

TEST_F(ParamView, ChannelsGroupAndTree) {
  param_set().channelAxis[1] = 12;
  const ParameterView& v = ShowParameterGroup(1);
  EXPECT_EQ(v.caption, "Оси - Измерительные каналы");
  EXPECT_EQ(v.label[1], "P2.1");
  EXPECT_EQ(v.value[0], "X (линейная)");
  EXPECT_EQ(v.value[1], "D (круговая)");
  EXPECT_EQ(v.value[3], "нет");

  BuildParameterTree();
  EXPECT_EQ(current_param_group(), 0);
  EXPECT_EQ(param_view().caption, "");
  const auto& items = parameter_tree_items();
  EXPECT_EQ(std::string(items[kFirstSelectedItem].text), "Оси - Измерительные каналы");
  // Every group 1..14 has exactly one item.
  std::vector<int> seen(15, 0);
  for (const TreeItem& it : items) ++seen[size_t(it.group)];
  for (int g = 1; g <= 14; ++g) EXPECT_EQ(seen[size_t(g)], 1) << g;
}

}  // namespace
}  // namespace kor
