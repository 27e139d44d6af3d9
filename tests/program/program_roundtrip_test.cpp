// Text written from an image reads back into the same image, for every frame
// type the writer knows, over generated programs.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "program/program_text.h"
#include "program_fixture.h"

namespace kor {
namespace {

// The inch text holds a stored value over 25.4 in four decimals: read back, a
// coordinate lands on the nearest point of that grid, at most 13 units away.
constexpr int32_t kInchBound = 13;

// The axis of a frame that carries a coordinate; -1 for the others.
int coordinate_axis(const ProgramFrame& f) {
  const int t = f.frame_type;
  if (t <= 12) return t;
  if (t >= 36 && t <= 48) return t - 36;
  if (t >= 55 && t <= 67) return t - 55;
  return -1;
}

class Generator {
 public:
  explicit Generator(uint32_t seed) : rng_(seed) {}

  int in(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool coin() { return in(0, 1) == 1; }
  int32_t any() { return int32_t(std::uniform_int_distribution<uint32_t>()(rng_)); }

  // Every value but -2147483648, which is written as 0; small values often.
  int32_t coordinate() {
    int32_t v = coin() ? in(-100000, 100000) : any();
    return v == INT32_MIN ? INT32_MAX : v;
  }

  // A frame in the form the reader produces it.
  ProgramFrame frame() {
    static const int kTypes[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19,
                                 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 36, 37, 38, 39, 40, 41,
                                 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 55, 56, 57, 58, 59, 60, 61, 62,
                                 63, 64, 65, 66, 67, 68, 69, 70, 71, 72, 73};
    ProgramFrame f;
    f.reserved0 = 0;
    f.slot_state = 0;
    f.line_number = uint16_t(in(1, 999));
    f.active = coin() ? 0xFF : 0x00;
    const int t = kTypes[in(0, int(std::size(kTypes)) - 1)];
    f.frame_type = uint8_t(t);
    if (t <= 12) {
      f.value = coordinate();
      f.number = coin() ? 0 : in(10, 1000000);
    } else if (t >= 36 && t <= 48) {
      f.value = coordinate();
      f.number = in(1, 5);
    } else if (t >= 55 && t <= 67) {
      f.value = coordinate();
    } else {
      switch (FrameType(t)) {
        case FrameType::G5N: f.number = in(0, 5); break;
        case FrameType::M6T: f.number = in(-999, 8); break;
        case FrameType::E: f.number = coin() ? in(1, 99) : std::max(1, any() & INT32_MAX); break;
        case FrameType::L: f.number = in(1, 50); break;
        case FrameType::H: f.number = coin() ? in(1, 99) : (any() | 1); break;
        case FrameType::G4_N: f.number = coin() ? in(0, 99) : any(); break;
        case FrameType::FEED: f.number = in(10, 1000000); break;
        case FrameType::M20: f.number = 20, f.value = 0; break;
        case FrameType::M41: case FrameType::M42: case FrameType::M43: case FrameType::M44:
          f.number = 41 + (t - int(FrameType::M41));
          f.value = 0;
          break;
        case FrameType::M_N: m_code(f); break;
        case FrameType::G20: case FrameType::G21: case FrameType::M30: case FrameType::M02: break;
        default: f.number = fixed_g_number(FrameType(t)); break;
      }
    }
    return f;
  }

 private:
  void m_code(ProgramFrame& f) {
    if (coin()) {
      // With an E argument: a three-character M number, up to three characters of E.
      f.number = coin() ? in(100, 999) : in(-99, -10);
      do f.value = in(-99, 999); while (f.value == 0);
      return;
    }
    f.value = 0;
    for (;;) {
      f.number = coin() ? in(0, 332) : in(-99999, -1);
      const int n = f.number;
      if (n != 20 && n != 30 && !(n >= 41 && n <= 44) && !(n >= 300 && n <= 309)) return;
    }
  }

  static int32_t fixed_g_number(FrameType t) {
    switch (t) {
      case FrameType::G90: return 90;
      case FrameType::G91: return 91;
      case FrameType::G0: return 0;
      case FrameType::G1: return 1;
      case FrameType::G49: return 49;
      case FrameType::G44: return 44;
      case FrameType::G43: return 43;
      case FrameType::G42: return 42;
      case FrameType::G41: return 41;
      case FrameType::G40: return 40;
      case FrameType::G17: return 17;
      case FrameType::G18: return 18;
      case FrameType::G19: return 19;
      case FrameType::G45: return 45;
      case FrameType::G46: return 46;
      default: ADD_FAILURE() << "no number for type " << int(t); return -1;
    }
  }

  std::mt19937 rng_;
};

class RoundTrip : public test::ProgramTest {};

TEST_F(RoundTrip, WrittenTextParsesBackIntoTheSameImage) {
  Generator gen(20240611);
  for (int round = 0; round < 600; ++round) {
    // Ten channels, each on a random axis in any format.
    AxisChannelTable& table = axis_channels();
    for (auto& ch : table.channels) {
      ch.axis = gen.in(0, 12);
      ch.formatWord = uint16_t(gen.in(0, 31) << 7);
    }
    const bool sub = gen.coin();
    const uint16_t slot = uint16_t(gen.in(1, 50));
    ProgramImage written = blank_program_image(sub, slot);
    const int count = gen.in(0, written.records());
    for (int i = 0; i < count; ++i) {
      ProgramFrame f = gen.frame();
      f.program_number = slot;
      written.set_frame(i, f);
    }
    seal_frames(written.data(), written.size);

    std::string text;
    format_program_text(written.data(), written.size, text);
    ProgramImage read = blank_program_image(sub, slot);
    ProgramParse r = parse_program_text(text, read.data(), read.size);
    seal_frames(read.data(), read.size);

    ASSERT_EQ(r.frames, count) << "round " << round << ", stopped at line " << r.line;
    ASSERT_EQ(r.stop, ParseStop::End) << "round " << round;
    for (int i = 0; i < count; ++i) {
      ProgramFrame back = read.frame(i);
      const ProgramFrame sent = written.frame(i);
      const int axis = coordinate_axis(sent);
      if (axis >= 0 && axis_format_of(axis) == kInchFormat) {
        ASSERT_LE(std::abs(int64_t(back.value) - sent.value), kInchBound) << "round " << round << ", frame " << i;
        back.value = sent.value;
        back.checksum = sent.checksum;
        back.checksum_copy = sent.checksum_copy;
      }
      ASSERT_EQ(back, sent) << "round " << round << ", frame " << i << ": type " << int(sent.frame_type);
    }

    // What came back is on the grid of its text: the second trip changes nothing.
    std::string again;
    format_program_text(read.data(), read.size, again);
    ASSERT_EQ(again, text) << "round " << round;
    ProgramImage reread = blank_program_image(sub, slot);
    parse_program_text(again, reread.data(), reread.size);
    seal_frames(reread.data(), reread.size);
    ASSERT_EQ(reread.bytes, read.bytes) << "round " << round;
  }
  EXPECT_TRUE(rec.messages.empty());
}

TEST_F(RoundTrip, MarkedAndInchCoordinatesReadAsTheirTextSays) {
  struct Case {
    AxisFormat format;
    int32_t stored;
    const char* line;  // as written; the value it reads back as
    int32_t back;
  } cases[] = {
      {3, -90000, "001:A-90.000\xB0" "F12.5000", -90000},
      {7, 1, "001:A0.0001\xB0", 1},
      {9, 127000, "001:A0.5000\x02", 127000},       // 0.5 inch, in millimetres
      {9, 127013, "001:A0.5001\x02", 127025},       // off the inch grid: the nearest point
      {9, -2147483647, "001:A-8454.6600\x02", -2147483640},
      {11, -1234567, "001:A-1.234567", -1234567},     // six decimals written, six read
  };
  for (const auto& c : cases) {
    for (auto& ch : axis_channels().channels) ch = {9, uint16_t(c.format << 7)};
    ProgramFrame f;
    f.reserved0 = 0;
    f.slot_state = 0;
    f.line_number = 1;
    f.frame_type = 9;
    f.value = c.stored;
    f.number = std::string(c.line).find('F') == std::string::npos ? -1 : 125000;
    std::string line;
    ASSERT_TRUE(format_frame_line(f, line));
    EXPECT_EQ(line, c.line);
    ProgramFrame w;
    ASSERT_TRUE(parse_frame_line(line.c_str(), w)) << c.line;
    EXPECT_EQ(w.value, c.back) << c.line;
  }
}

TEST_F(RoundTrip, AMarkOnlyFollowsItsOwnFormatsCoordinate) {
  for (auto& ch : axis_channels().channels) ch = {9, uint16_t(3 << 7)};  // A in degrees, X in format 0
  struct Case {
    std::string text;
    bool whole;  // else the text is refused (the parse does not reach its end)
  } cases[] = {
      {"001:A5.000\xB0\r\n002:G90\r\n", true},
      {"001:G92A5.000\xB0\r\n002:G12A1.000\xB0\r\n", true},
      {"001:X5.000\xB0\r\n002:G90\r\n", false},  // X has no degrees
      {"001:A5.000\x02\r\n002:G90\r\n", false},  // nor A inches
      {"001:A5.000\xB0\xB0\r\n002:G90\r\n", false},
      {"001:G90\xB0\r\n002:G90\r\n", false},
      {"001\xB0G90\r\n002:G90\r\n", false},
      {"001:A5.000\xB0" "F1\xB0\r\n002:G90\r\n", false},  // the feed has no mark
      {"001:A5.000 \xB0\r\n002:G90\r\n", false},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    ProgramImage image = blank_program_image(false, 1);
    const ProgramParse r = parse_program_text(cases[i].text, image.data(), image.size);
    EXPECT_EQ(r.stop == ParseStop::End, cases[i].whole) << "case " << i;
    if (cases[i].whole) {
      EXPECT_EQ(r.frames, 2) << "case " << i;
    }
  }
}

}  // namespace
}  // namespace kor
