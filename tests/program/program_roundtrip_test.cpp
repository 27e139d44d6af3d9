// Text written from an image reads back into the same image, for every frame
// type the writer knows, over generated programs.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

#include "program/program_text.h"
#include "program_fixture.h"

namespace kor {
namespace {

// Formats whose written coordinates read back unchanged. The marked ones (3, 4,
// 5, 7, 9) end a line at their mark, and 11 writes six decimals but reads one.
const AxisFormat kRoundTripFormats[] = {0, 1, 2, 6, 8, 10, 12, 20, 31};

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
  for (int round = 0; round < 300; ++round) {
    // Ten channels, each on a random axis in a format that survives the trip.
    AxisChannelTable& table = axis_channels();
    for (auto& ch : table.channels) {
      ch.axis = gen.in(0, 12);
      ch.formatWord = uint16_t(kRoundTripFormats[gen.in(0, int(std::size(kRoundTripFormats)) - 1)] << 7);
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
      ASSERT_EQ(read.frame(i), written.frame(i)) << "round " << round << ", frame " << i << ": type "
                                                 << int(written.frame(i).frame_type);
    }
    ASSERT_EQ(read.bytes, written.bytes) << "round " << round;
  }
  EXPECT_TRUE(rec.messages.empty());
}

}  // namespace
}  // namespace kor
