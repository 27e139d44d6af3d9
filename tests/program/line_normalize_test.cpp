#include "program/line_normalize.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace kor {
namespace {

std::string normalized(const std::string& fileLine, int seq) {
  char buf[kNormalLineSize] = {};
  std::memcpy(buf, fileLine.data(), std::min(fileLine.size(), size_t(kNormalLineSize - 1)));
  normalize_program_line(buf, seq);
  return buf;
}

TEST(NormalizeProgramLine, RenumbersAndSpacesTheWords) {
  struct Case {
    const char* line;
    int seq;
    const char* sent;
  } cases[] = {
      {"017:G1X10.5F100", 5, "005:G1 X10.5 F100"},
      {"//003:G90", 2, "002/G90"},
      {"G1 X5", 1, "001:G1 X5"},
      {"12G0", 3, "003:G0"},
      {"1234G1", 1, "001:4G1"},
      {"A90\xB0" "00'30\"", 7, "007:A90\xB0" "00\x01" "30\x02"},
      {"", 8, "008:"},
      {"017:G1X10.5F100\r", 12, "012:G1 X10.5 F100"},
      {" 0 1 7 : g1 \tx-1.5\r", 101, "101:g1 x-1.5"},
      {"001:M105E3/", 4, "004/M105 E3"},
      {"5:", 9, "009:"},
  };
  for (const auto& c : cases) EXPECT_EQ(normalized(c.line, c.seq), c.sent) << c.line;
}

TEST(NormalizeProgramLine, StaysWithinSixtyFourBytes) {
  // 63 letters leave no room for spaces or a number: nothing is made that
  // would need a 64th character.
  std::string letters(63, 'G');
  std::string out = normalized(letters, 1);
  EXPECT_EQ(out.size(), 63u);
  EXPECT_EQ(out, letters);

  // A line that fills the buffer keeps every character but gets no spaces.
  std::string moves = "001:";
  while (moves.size() < 62) moves += "X1";
  EXPECT_EQ(normalized(moves, 2), "002:" + moves.substr(4));
}

}  // namespace
}  // namespace kor
