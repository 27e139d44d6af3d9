#include <gtest/gtest.h>

#include <string>

#include "program/program_text.h"
#include "program_fixture.h"

namespace kor {
namespace {

ProgramFrame frame(int line, int type, int32_t number, int32_t value, uint8_t active = 0xFF) {
  ProgramFrame f;
  f.reserved0 = 0;
  f.slot_state = 0;
  f.line_number = uint16_t(line);
  f.frame_type = uint8_t(type);
  f.number = number;
  f.value = value;
  f.active = active;
  return f;
}

class Writer : public test::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    SetFormats({{0, 0}, {9, 3}, {10, 6}, {1, 9}, {2, 0}});  // X, A, B, Y (inches), Z
  }
};

TEST_F(Writer, LinePerFrameType) {
  struct Case {
    ProgramFrame f;
    const char* line;
  } cases[] = {
      {frame(1, 0, 50000, 12345), "001:X12.345F500.00"},
      {frame(1, 0, 50000, 12345, 0), "//001:X12.345F500.00"},
      {frame(1, 0, 50000, 12345, 0x01), "001:X12.345F500.00"},  // any non-zero is active
      {frame(2, 9, -1, -90000), "002:A-90.000\xB0"},
      {frame(7, 0, 0, 1000), "007:X1.000F0.00"},
      {frame(8, 10, 12345, 0), "008:B0.0000F1.2345"},   // rotary axes: feed in ten-thousandths
      {frame(9, 2, 12345, 0), "009:Z0.000F123.45"},
      {frame(10, 1, -1, 1067), "010:Y0.0042\x02"},  // stored in millimetres, written in inches
      {frame(3, 57, -1, 0), "003:G92Z0.000"},
      {frame(4, 13, 1, -1), "004:G54"},
      {frame(5, 22, 5, -1), "005:G4.5"},
      {frame(11, 14, 90, -1), "011:G90"},
      {frame(12, 15, 91, -1), "012:G91"},
      {frame(13, 16, 3, -1), "013:M6T3"},
      {frame(14, 17, 2, -1), "014:E2"},
      {frame(15, 18, 50, -1), "015:L50"},
      {frame(16, 19, -4, -1), "016:H-4"},
      {frame(17, 20, 20, 0), "017:M20"},
      {frame(18, 21, 105, 2), "018:M105E2"},
      {frame(19, 21, 105, 0), "019:M105"},
      {frame(20, 21, 5, 3), "020:M5"},       // E only behind a three-digit M
      {frame(21, 21, -12, 7), "021:M-12E7"},
      {frame(22, 38, 2, 3000), "022:G12Z3.000"},
      {frame(23, 37, 7, 12700), "023:G11Y0.0500\x02"},  // other numbers keep G11
      {frame(24, 48, 5, -1), "024:G15D-0.001"},
      {frame(25, 49, 1234, -1), "025:F12.34"},
      {frame(26, 50, 41, 0), "026:M41"},
      {frame(27, 53, 44, 0), "027:M44"},
      {frame(28, 64, -1, 0), "028:G92A0.000\xB0"},
      {frame(29, 23, 0, -1), "029:G0"},
      {frame(30, 24, 1, -1), "030:G1"},
      {frame(31, 25, 49, -1), "031:G49"},
      {frame(32, 30, 40, -1), "032:G40"},
      {frame(33, 33, 19, -1), "033:G19"},
      {frame(34, 68, 45, -1), "034:G45"},
      {frame(35, 69, 46, -1), "035:G46"},
      {frame(36, 70, -1, -1), "036:G20"},
      {frame(37, 71, -1, -1), "037:G21"},
      {frame(38, 72, -1, -1), "038:M30"},
      {frame(39, 73, -1, -1), "039:M02"},
      {frame(1234, 23, 0, -1), "1234:G0"},
  };
  for (const auto& c : cases) {
    std::string line;
    EXPECT_TRUE(format_frame_line(c.f, line)) << c.line;
    EXPECT_EQ(line, c.line);
  }
  for (int unknown : {34, 35, 54, 74, 255}) {
    std::string line = "x";
    EXPECT_FALSE(format_frame_line(frame(1, unknown, 0, 0), line)) << unknown;
    EXPECT_EQ(line, "");
  }
}

TEST_F(Writer, TextStopsAtTheFirstEmptySlotOrUnknownFrame) {
  ProgramImage img = blank_program_image(false, 1);
  std::string out;
  format_program_text(img.data(), img.size, out);
  EXPECT_EQ(out, "");

  img.set_frame(0, frame(1, 14, 90, -1));
  ProgramFrame second = frame(2, 23, 0, -1);
  second.slot_state = 2;  // 1 and 2 still hold a frame
  img.set_frame(1, second);
  ProgramFrame third = frame(3, 24, 1, -1);
  third.slot_state = 3;
  img.set_frame(2, third);
  img.set_frame(3, frame(4, 24, 1, -1));
  format_program_text(img.data(), img.size, out);
  EXPECT_EQ(out, "001:G90\r\n002:G0\r\n");

  img.set_frame(2, frame(3, 34, 0, 0));  // unknown: what follows is not written either
  out.clear();
  format_program_text(img.data(), img.size, out);
  EXPECT_EQ(out, "001:G90\r\n002:G0\r\n");

  out = "kept:";
  format_program_text(img.data(), 40, out);  // one whole record; the rest is not read
  EXPECT_EQ(out, "kept:001:G90\r\n");
}

TEST_F(Writer, LongLinesAreWrittenWholeBeforeTheirLineEnd) {
  SetFormats({{9, 6}, {0, 11}});
  ProgramImage img = blank_program_image(true, 1);
  img.set_frame(0, frame(999, 9, 2147483647, -2147483647, 0));
  img.set_frame(1, frame(998, 0, 1000000, -2147483647, 0));
  img.set_frame(2, frame(997, 12, 0, 0));
  std::string out;
  format_program_text(img.data(), img.size, out);
  EXPECT_EQ(out,
            "//999:A-214748.3647F214748.3647\r\n"
            "//998:X-2147.483647F10000.00\r\n"
            "997:D0.000F0.0000\r\n");
}

}  // namespace
}  // namespace kor
