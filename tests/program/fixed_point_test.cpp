#include "program/fixed_point.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

namespace kor {
namespace {

std::string decimal(int32_t v) {
  char buf[12];
  int_to_decimal(v, buf);
  return buf;
}

TEST(IntToDecimal, WritesSignAndDigitsButNoTwinForTheMinimum) {
  EXPECT_EQ(decimal(0), "0");
  EXPECT_EQ(decimal(-1), "-1");
  EXPECT_EQ(decimal(12345), "12345");
  EXPECT_EQ(decimal(INT32_MAX), "2147483647");
  EXPECT_EQ(decimal(-INT32_MAX), "-2147483647");
  EXPECT_EQ(decimal(INT32_MIN), "0");
}

TEST(FormatFixed, PointMarkAndLeadingZeroPerFormat) {
  struct Case {
    int32_t value;
    AxisFormat format;
    std::string text;
  } cases[] = {
      {12345, 0, "12.345"},          {0, 0, "0.000"},           {5, 0, "0.005"},
      {-5, 0, "-0.005"},             {-7, 1, "-0.07"},          {15, 2, "1.5"},
      {900, 3, "0.900\xB0"},         {-250, 4, "-2.50\xB0"},    {7, 5, "0.7\xB0"},
      {-1, 6, "-0.0001"},            {1, 7, "0.0001\xB0"},      {5, 8, "5."},
      {42, 9, "0.0042\x02"},         {-90, 10, "-90."},         {1, 11, "0.000001"},
      {123, 31, "123."},             {INT32_MIN, 0, "0.000"},   {-2147483647, 6, "-214748.3647"},
      {-2147483647, 7, "-214748.3647\xB0"},
  };
  for (const auto& c : cases) EXPECT_EQ(fixed_text(c.value, c.format), c.text) << c.value << " format " << int(c.format);
}

TEST(ParseFixed, KeepsFractionDigitsAndScalesToTheFormat) {
  struct Case {
    const char* text;
    AxisFormat format;
    int32_t value;
    bool ok;
  } cases[] = {
      {"12.3", 0, 12300, true},
      {"-0.5", 0, -500, true},
      {"7", 0, 7000, true},
      {"1.23456", 0, 1234, true},  // cut, never rounded
      {".5", 0, 500, true},
      {"", 0, 0, true},
      {"-", 0, 0, true},
      {"2147483.647", 0, 2147483647, true},
      {"99999999", 0, 99999999, false},
      {"-99999999", 0, -99999999, false},
      {"1.2.3", 0, 12, true},  // the second point stops the digits
      {"1000", 1, 100000, true},
      {"2.5", 6, 25000, true},
      {"12.5", 8, 125, true},  // the kept digit joins the integer
      {"12", 8, 12, true},
      {"0.000001", 11, 0, true},
      {"90", 3, 90000, true},
      {"99999999999", 1, 99999999, false},  // saturates at 2147483647 first
      {"-99999999999", 1, -99999999, false},
      // Inches: four decimals, stored times 25.4, rounded half away from zero.
      {"0.5", 9, 127000, true},
      {"-0.0001", 9, -25, true},
      {"0.0002", 9, 51, true},
      {"100000", 9, 2000000000, true},    // 10^9 fits twice over, times 25.4 does not
      {"-100000", 9, -2000000000, true},
      {"200000", 9, 99999999, false},     // twice the product no longer fits
      {"-200000", 9, -99999999, false},
  };
  for (const auto& c : cases) {
    bool ok = !c.ok;
    EXPECT_EQ(parse_fixed(c.text, c.format, &ok), c.value) << '"' << c.text << "\" format " << int(c.format);
    EXPECT_EQ(ok, c.ok) << '"' << c.text << "\" format " << int(c.format);
  }
}

TEST(ScaleRound, RoundsHalfAwayFromZeroAndRefusesWhatDoesNotFit) {
  struct Case {
    int32_t value, factor;
    int shift;
    int status;
    int32_t result;
  } cases[] = {
      {5, 1, 1, kScaleDone, 1},          {-5, 1, 1, kScaleDone, -1},       {15, 1, 1, kScaleDone, 2},
      {14, 1, 1, kScaleDone, 1},         {-2, 254, 1, kScaleDone, -51},    {7, 3, 0, kScaleDone, 21},
      {149, 1, 2, kScaleDone, 1},        // truncated to 14 first, then 1.4 rounds down
      {12345, 1, 9, kScaleBadShift, 12345}, {INT32_MAX, 254, 1, kScaleOverflow, INT32_MAX},
      {INT32_MIN, 1, 0, kScaleDone, INT32_MIN},
  };
  for (const auto& c : cases) {
    int32_t v = c.value;
    EXPECT_EQ(scale_round(&v, c.factor, c.shift), c.status) << c.value << "*" << c.factor << "/10^" << c.shift;
    EXPECT_EQ(v, c.result) << c.value << "*" << c.factor << "/10^" << c.shift;
  }
}

TEST(FormatAngle, DegreesMinutesSecondsOfAFullTurn) {
  struct Case {
    int32_t value;
    AxisFormat format;
    std::string text;
  } cases[] = {
      {3661, 8, "1\xB0" "01'01\""}, {-1, 8, "359\xB0" "59'59\""}, {1296000, 8, "0\xB0" "00'00\""},
      {90, 10, "1\xB0" "30'"},      {-1, 10, "359\xB0" "59'"},     {INT32_MIN, 8, "356\xB0" "45'52\""},
      {21600 + 61, 10, "1\xB0" "01'"},  // minutes wrap at one turn too
  };
  for (const auto& c : cases) {
    char out[kNumberTextSize];
    format_angle(c.value, c.format, out);
    EXPECT_EQ(std::string(out), c.text) << c.value;
  }
}

TEST(BoundedText, EditsStayInsideTheBuffer) {
  char t[8] = "abc";
  insert_before_last(t, 8, 0, 'z');  // append
  EXPECT_STREQ(t, "abcz");
  insert_before_last(t, 8, 4, '<');  // in front
  EXPECT_STREQ(t, "<abcz");
  insert_before_last(t, 8, 1, '.');
  EXPECT_STREQ(t, "<abc.z");
  insert_before_last(t, 8, 0, '!');
  EXPECT_STREQ(t, "<abc.z!");
  insert_before_last(t, 8, 0, '?');  // 7 characters fill 8 bytes
  EXPECT_STREQ(t, "<abc.z!");

  EXPECT_TRUE(remove_first_char(t, 8, 'c'));
  EXPECT_STREQ(t, "<ab.z!");
  EXPECT_FALSE(remove_first_char(t, 8, 'q'));

  char p[6] = "7";
  left_pad(p, 6, 3, '0');
  EXPECT_STREQ(p, "007");
  left_pad(p, 6, 10, '0');  // stops when the buffer is full
  EXPECT_STREQ(p, "00007");

  // Stale bytes after the terminator are not part of the text.
  char s[8] = {'1', '2', 0, '-', 0};
  EXPECT_FALSE(remove_first_char(s, 8, '-'));
}

TEST(AxisFormatNames, ElevenNamedCodes) {
  EXPECT_STREQ(axis_format_name(0), "0.000");
  EXPECT_STREQ(axis_format_name(3), "0.000\xB0");
  EXPECT_STREQ(axis_format_name(8), "0\xB0" "00'00\"");
  EXPECT_STREQ(axis_format_name(9), "0.0000\"");
  EXPECT_STREQ(axis_format_name(10), "0\xB0" "00'");
  EXPECT_STREQ(axis_format_name(11), "");
  for (const auto& name : kAxisFormatNames) EXPECT_LT(std::strlen(name), sizeof name);
}

TEST(TextToInt, SaturatesInsteadOfWrapping) {
  EXPECT_EQ(text_to_int("  -42x"), -42);
  EXPECT_EQ(text_to_int("x"), 0);
  EXPECT_EQ(text_to_int("99999999999999"), INT32_MAX);
  EXPECT_EQ(text_to_int("-99999999999999"), INT32_MIN);
  EXPECT_EQ(text_to_int("-2147483648"), INT32_MIN);
}

}  // namespace
}  // namespace kor
