#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "program/program_text.h"
#include "program_fixture.h"
#include "support/sim_fixture.h"

namespace kor {
namespace {

using test::to_hex;

struct Parsed {
  ProgramParse result;
  std::vector<ProgramFrame> frames;
  ProgramImage image;
};

Parsed parse(const std::string& text, bool subprogram = false) {
  Parsed p{{}, {}, blank_program_image(subprogram, 7)};
  p.result = parse_program_text(text, p.image.data(), p.image.size);
  for (int i = 0; i < p.result.frames; ++i) p.frames.push_back(p.image.frame(i));
  return p;
}

class Parser : public test::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    SetFormats({{0, 0}, {9, 3}, {2, 0}, {1, 0}});  // X, A (degrees), Z, Y
  }
};

TEST_F(Parser, OneLinePerForm) {
  struct Case {
    const char* line;
    int type;  // -1: the line is not taken
    int32_t number = -1, value = -1;
    uint8_t active = 0xFF;
    uint16_t lineNumber = 0;
  } cases[] = {
      {"001:X12.345F500.00", 0, 50000, 12345, 0xFF, 1},
      {"//002:Y-1.5", 1, 0, -1500, 0x00, 2},
      {"003: X5 F100", 0, 10000, 5000, 0xFF, 3},
      {"003:X5F-100", 0, 10000, 5000},            // feeds are made positive
      {"003:X5F99999", 0, 1000000, 5000},         // and capped
      {"003:X-99999999F1", 0, 100, -99999999},    // out of range: clamped, still taken
      {"004:X5F0.05", -1},                        // a feed of 5 hundredths is no feed
      {"005:A90F12.5", 9, 125000, 90000},          // rotary feeds in ten-thousandths
      {"005:X1.000F0.00", 0, 0, 1000},            // the writer's form of a move without feed
      {"006:G1X5", -1},
      {"007:G01", 24, 1},
      {"008:G00", 23, 0},
      {"009:G90", 14, 90},
      {"009:G91", 15, 91},
      {"009:G17", 31, 17},
      {"009:G46", 69, 46},
      {"010:G54", 13, 1},
      {"010:G58", 13, 5},
      {"011:G4.25", 22, 25},
      {"012:G12Z3", 38, 2, 3000},
      {"012:G15D-1", 48, 5, -1000},
      {"013:G11", -1},
      {"013:G16X1", -1},
      {"013:G33", -1},
      {"014:G92A0", 64, -1, 0},
      {"014:G92Y2.5", 56, -1, 2500},
      {"014:G92", -1},
      {"014:G20", 70},
      {"014:G21", 71},
      {"015:M6T12", 16, 8},
      {"016:L70", 18, 50},
      {"016:L0", 18, 1},
      {"017:E0", 17, 1},
      {"017:E-3", 17, 1},
      {"018:H0", 19, 1},
      {"018:H-2", 19, -2},
      {"019:M105E3", 21, 105, 3},
      {"019:M105E0", 21, 105, 0},
      {"019:M105E", 21, 105, 0},
      {"020:M105E1234", -1},
      {"021:M5E3", 21, 5, 0},  // the fifth character is not E
      {"022:M400", 21, 332, 0},
      {"023:M30", 72},
      {"023:M305", 72},  // read as M30
      {"024:M02", 73},
      {"025:M2", 21, 2, 0},
      {"025:M20", 20, 20, 0},
      {"025:M43", 52, 43, 0},
      {"025:M6", 21, 6, 0},
      {"026:F5", 49, 500},
      {"026:F 12.5", 49, 1250},
      {"027:F0.05", -1},
      {"000:G90", -1},
      {"G90", -1},
      {"28G90", -1},  // the body always starts at the fifth character
      {"1234G1", 24, 1, -1, 0xFF, 1234},
      {"65537:G0", -1},  // line numbers keep their low 16 bits: 1, but the body is ":G0"
      {"028:X", 0, 0, 0},
      {"029:Q", 7, 0, 0},
      {"030: G90", -1},
      {"031:T5", -1},
  };
  for (const auto& c : cases) {
    Parsed p = parse(std::string(c.line) + "\r\n");
    if (c.type < 0) {
      EXPECT_EQ(p.result.frames, 0) << c.line;
      continue;
    }
    ASSERT_EQ(p.result.frames, 1) << c.line;
    const ProgramFrame& f = p.frames[0];
    EXPECT_EQ(f.frame_type, c.type) << c.line;
    EXPECT_EQ(f.number, c.number) << c.line;
    EXPECT_EQ(f.value, c.value) << c.line;
    EXPECT_EQ(f.active, c.active) << c.line;
    if (c.lineNumber) {
      EXPECT_EQ(f.line_number, c.lineNumber) << c.line;
    }
    EXPECT_EQ(p.result.stop, ParseStop::End) << c.line;
  }
  EXPECT_TRUE(rec.messages.empty());
}

TEST_F(Parser, StoresOnlyTheFieldsALineDefines) {
  Parsed p{{}, {}, blank_program_image(false, 0x0102)};
  for (int i = 25; i < 33; ++i) p.image.data()[i] = uint8_t(0xA0 + i);  // must stay
  ProgramParse r = parse_program_text("//001:X-1.5F100\r\n", p.image.data(), p.image.size);
  ASSERT_EQ(r.frames, 1);
  std::vector<uint8_t> rec(p.image.data(), p.image.data() + kFrameSize);
  EXPECT_EQ(to_hex(rec),
            "00 02 01 01 00 00 00 00 10 27 00 00 24 FA FF FF FF FF FF FF FF FF FF FF FF B9 BA BB BC BD BE BF C0");
  EXPECT_EQ(p.image.frame(1), blank_program_image(false, 0x0102).frame(1));
}

TEST_F(Parser, StopsAtTheFirstLineItCannotReadAndKeepsWhatCameBefore) {
  Parsed p = parse("001:G90\r\n002:X1\r\n003:G11\r\n004:G91\r\n");
  EXPECT_EQ(p.result.frames, 2);
  EXPECT_EQ(p.result.stop, ParseStop::Unreadable);
  EXPECT_EQ(p.result.line, 3);
  EXPECT_EQ(p.result.offset, 17);
  EXPECT_EQ(p.image.frame(2).frame_type, 0xFF);  // nothing after it

  p = parse("001:G90\r\n\r\n002:G91\r\n");  // an empty line between frames
  EXPECT_EQ(p.result.frames, 1);
  EXPECT_EQ(p.result.stop, ParseStop::NoLineNumber);
  EXPECT_EQ(p.result.line, 2);

  p = parse("001:G90\r\n000:G91\r\n");
  EXPECT_EQ(p.result.stop, ParseStop::NoLineNumber);
  EXPECT_EQ(p.result.line, 2);

  // Blank lines at the end lose nothing.
  p = parse("001:G90\r\n002:G91\r\n\r\n  \r\n");
  EXPECT_EQ(p.result.frames, 2);
  EXPECT_EQ(p.result.stop, ParseStop::End);
  EXPECT_EQ(app().text_cursor, 0);
}

TEST_F(Parser, LowerCaseLetterCutsTheLineWithAMessageEachTime) {
  Parsed p = parse("028:G90 x\r\n029:G91\r\n");
  ASSERT_EQ(p.result.frames, 1);  // G90 taken; the next line starts at the LF
  EXPECT_EQ(p.frames[0].frame_type, 14);
  EXPECT_EQ(p.result.stop, ParseStop::LowerCase);
  EXPECT_EQ(p.result.line, 1);
  EXPECT_EQ(p.result.character, 'x');
  ASSERT_EQ(rec.messages.size(), 1u);
  EXPECT_EQ(rec.messages[0].text, "обнаружены строчные буквы");
  EXPECT_EQ(rec.messages[0].caption, "Korsync");
  EXPECT_EQ(rec.messages[0].icon, Icon::Error);

  // The letter and the one after it are skipped; each cut shows the message.
  rec.messages.clear();
  p = parse("001:G90a;002:G91b");
  EXPECT_EQ(p.result.frames, 2);
  EXPECT_EQ(rec.messages.size(), 2u);
  EXPECT_EQ(p.result.stop, ParseStop::LowerCase);  // the text was not taken whole
  EXPECT_EQ(p.result.offset, 7);
}

TEST_F(Parser, OtherCharactersCutTheLineSilently) {
  Parsed p = parse("029:G90;x\r\n030:G91\r\n");
  ASSERT_EQ(p.result.frames, 1);
  EXPECT_EQ(p.frames[0].frame_type, 14);
  EXPECT_TRUE(rec.messages.empty());  // the x after the semicolon is skipped unseen
  EXPECT_EQ(p.result.stop, ParseStop::BadCharacter);
  EXPECT_EQ(p.result.character, ';');
  EXPECT_EQ(p.result.line, 1);

  // A degree mark as the writer puts it ends the coordinate, and the text goes on.
  p = parse("001:A90.000\xB0\r\n002:G90\r\n");
  EXPECT_EQ(p.result.frames, 2);
  EXPECT_EQ(p.result.stop, ParseStop::End);
  EXPECT_EQ(p.frames[0].value, 90000);
}

TEST_F(Parser, TitleLineOfTheBlockReadingYieldsNoFrames) {
  Parsed p = parse("%Title\r\n001:G90\r\n");
  EXPECT_EQ(p.result.frames, 0);
  EXPECT_EQ(p.result.stop, ParseStop::BadCharacter);
  EXPECT_EQ(p.result.character, '%');
  EXPECT_EQ(p.result.line, 1);
  EXPECT_EQ(p.image.frame(0), blank_program_image(false, 7).frame(0));
}

TEST_F(Parser, LineEnds) {
  // No CR LF after the last line: it ends at the end of the text.
  Parsed p = parse("001:G90\r\n002:G91");
  EXPECT_EQ(p.result.frames, 2);
  EXPECT_EQ(p.result.stop, ParseStop::End);

  // LF alone is an ordinary character: lines run together and the first fails.
  p = parse("001:G90\n002:G91\n");
  EXPECT_EQ(p.result.frames, 0);
  EXPECT_EQ(p.result.stop, ParseStop::LineEnd);
  EXPECT_EQ(p.result.line, 1);

  // CR alone swallows the first character of the next line.
  p = parse("001:G90\r002:G91\r003:G17\r");
  EXPECT_EQ(p.result.frames, 1);
  EXPECT_EQ(p.result.stop, ParseStop::LineEnd);

  // A NUL ends the text.
  std::string withNul("001:G90\r\n\0" "002:G91\r\n", 19);
  p = parse(withNul);
  EXPECT_EQ(p.result.frames, 1);
  EXPECT_EQ(p.result.stop, ParseStop::ZeroByte);
  EXPECT_EQ(p.result.line, 2);
}

TEST_F(Parser, ThirtyThreeCharactersFillALine) {
  const std::string full = "001:X1F100" + std::string(23, ' ');  // 33 characters
  ASSERT_EQ(full.size(), 33u);
  Parsed p = parse(full + "\r\n002:G90\r\n");
  EXPECT_EQ(p.result.frames, 2);
  EXPECT_EQ(p.result.stop, ParseStop::End);

  // One more: the two after the 33rd (the extra one and the CR) are skipped,
  // the next line starts at the LF and fails.
  p = parse(full + " \r\n002:G90\r\n");
  EXPECT_EQ(p.result.frames, 1);
  EXPECT_EQ(p.result.stop, ParseStop::LongLine);
  EXPECT_EQ(p.result.line, 1);
}

TEST_F(Parser, CapacityLimitsTheFramesSilently) {
  std::string text;
  for (int i = 1; i <= 105; ++i) text += "001:G90\r\n";
  Parsed p = parse(text, true);
  EXPECT_EQ(p.result.frames, 104);
  EXPECT_EQ(p.result.stop, ParseStop::Capacity);
  EXPECT_EQ(p.result.line, 105);
  EXPECT_TRUE(rec.messages.empty());

  text.clear();
  for (int i = 1; i <= 104; ++i) text += "001:G90\r\n";
  p = parse(text + "\r\n", true);  // exactly full
  EXPECT_EQ(p.result.frames, 104);
  EXPECT_EQ(p.result.stop, ParseStop::End);

  for (int i = 105; i <= 505; ++i) text += "001:G91\r\n";
  p = parse(text);
  EXPECT_EQ(p.result.frames, 504);
  EXPECT_EQ(p.result.stop, ParseStop::Capacity);
  EXPECT_EQ(p.result.line, 505);

  // A capacity that is not a whole number of records fills only whole ones.
  std::vector<uint8_t> small(40, 0xEE);
  ProgramParse r = parse_program_text("001:G90\r\n002:G91\r\n", small.data(), 40);
  EXPECT_EQ(r.frames, 1);
  for (int i = 33; i < 40; ++i) EXPECT_EQ(small[size_t(i)], 0xEE);
}

TEST_F(Parser, EveryParseStartsAtTheTextsBeginning) {
  app().text_cursor = 9;  // left over by someone else
  Parsed p = parse("001:G90\r\n002:G91\r\n");
  EXPECT_EQ(p.result.frames, 2);
  EXPECT_EQ(app().text_cursor, 0);
}

TEST_F(Parser, NextLineMovesTheCursorPastTheLineEnd) {
  char line[kLineBufferSize];
  const std::string text = "001:G90\r\n002:G91\r\n";
  EXPECT_TRUE(next_program_line(text, line));
  EXPECT_STREQ(line, "001:G90");
  EXPECT_EQ(app().text_cursor, 9);
  EXPECT_TRUE(next_program_line(text, line));
  EXPECT_STREQ(line, "002:G91");
  EXPECT_EQ(app().text_cursor, 18);

  app().text_cursor = 0;
  EXPECT_FALSE(next_program_line("001:G9\t0\r\n", line));
  EXPECT_STREQ(line, "001:G9");
  EXPECT_EQ(app().text_cursor, 8);  // the tab and the 0 after it are skipped
  app().text_cursor = 0;

  ProgramFrame w;
  EXPECT_TRUE(parse_frame_line("001:G90", w));
  EXPECT_EQ(w.frame_type, 14);
  EXPECT_EQ(w.slot_state, 0xFF);  // fields a line does not define stay all-ones
  EXPECT_EQ(w.extra17, -1);
  EXPECT_FALSE(parse_frame_line("", w));
}

}  // namespace
}  // namespace kor
