#include "program/program_frame.h"

#include <gtest/gtest.h>

#include <vector>

#include "program/axis_table.h"
#include "protocol/frames.h"
#include "support/sim_fixture.h"

namespace kor {
namespace {

using test::hex;
using test::to_hex;

TEST(ProgramFrame, FieldsSitLittleEndianAtTheirOffsets) {
  ProgramFrame f;
  f.reserved0 = 0x00;
  f.program_number = 0x0102;
  f.line_number = 0x0304;
  f.slot_state = 0x00;
  f.active = 0xFF;
  f.frame_type = 0x18;
  f.number = 0x05060708;
  f.value = -2;
  f.extra16 = 0xAB;
  f.extra17 = 0x11223344;
  f.extra21 = -1;
  f.seal_marker = 0x00;
  f.tail = {1, 2, 3, 4, 5};
  f.checksum = 0x3C;
  f.checksum_copy = 0x3D;
  std::vector<uint8_t> rec(kFrameSize);
  f.encode(rec.data());
  EXPECT_EQ(to_hex(rec),
            "00 02 01 04 03 00 FF 18 08 07 06 05 FE FF FF FF AB 44 33 22 11 FF FF FF FF 00 01 02 03 04 05 3C 3D");
  EXPECT_EQ(ProgramFrame::decode(rec.data()), f);
}

TEST(ProgramImage, SizesAndTheBlankImageTextIsParsedInto) {
  ProgramImage prog = blank_program_image(false, 0x0107);
  ProgramImage sub = blank_program_image(true, 3);
  EXPECT_EQ(prog.size, 16632);
  EXPECT_EQ(prog.records(), 504);
  EXPECT_EQ(sub.size, 3432);
  EXPECT_EQ(sub.records(), 104);
  for (int i : {0, 503}) {
    ProgramFrame f = prog.frame(i);
    EXPECT_EQ(f.program_number, 0x0107);
    ProgramFrame empty;
    empty.program_number = 0x0107;
    EXPECT_EQ(f, empty);
  }
  EXPECT_EQ(sub.frame(103).program_number, 3);
}

TEST(SealFrames, EveryWholeRecordGetsMarkerAndBitCountTwice) {
  std::vector<uint8_t> img(40, 0xFF);  // one whole record and a remainder
  img[1] = 0x05;
  img[2] = 0x00;
  seal_frames(img.data(), int(img.size()));
  EXPECT_EQ(img[25], 0x00);
  // 25 bytes 0xFF but one holding 0x05 and one 0x00: 23 * 8 + 2 = 186 bits.
  EXPECT_EQ(img[31], 186);
  EXPECT_EQ(img[32], 186);
  EXPECT_EQ(img[31], count_ones8(img.data(), 26, 0));
  for (int i = 33; i < 40; ++i) EXPECT_EQ(img[size_t(i)], 0xFF) << "remainder byte " << i;
  EXPECT_TRUE(verify_frames(img.data(), int(img.size())));
}

TEST(VerifyFrames, JudgesOnlySealedRecordsAndVisitsAll) {
  ProgramImage img = blank_program_image(true, 1);
  seal_frames(img.data(), img.size);
  EXPECT_TRUE(verify_frames(img.data(), img.size));

  img.data()[2 * kFrameSize + 10] ^= 0x01;  // one bad record among good ones
  EXPECT_FALSE(verify_frames(img.data(), img.size));

  // Checksum bytes that differ, or a marker that is not 0: the record is not judged.
  img.data()[2 * kFrameSize + 32] ^= 0x01;
  EXPECT_TRUE(verify_frames(img.data(), img.size));
  img.data()[2 * kFrameSize + 32] ^= 0x01;
  img.data()[2 * kFrameSize + 25] = 0x01;
  EXPECT_TRUE(verify_frames(img.data(), img.size));

  // A bad record after a skipped one still counts.
  img.data()[100 * kFrameSize + 3] ^= 0x80;
  EXPECT_FALSE(verify_frames(img.data(), img.size));

  EXPECT_TRUE(verify_frames(img.data(), 32));  // no whole record
  std::vector<uint8_t> unsealed(kFrameSize * 3, 0x00);
  unsealed[25] = 0x01;
  unsealed[kFrameSize + 31] = 0x07;
  EXPECT_TRUE(verify_frames(unsealed.data(), int(unsealed.size())));
}

TEST(AxisFormatOf, FirstChannelOfTheAxisGivesTheFormat) {
  AxisChannelTable saved = axis_channels();
  axis_channels() = {};
  // Zeros: every channel measures X in format 0; other axes default to 0 too.
  EXPECT_EQ(axis_format_of(0), 0);
  EXPECT_EQ(axis_format_of(9), 0);

  std::vector<uint8_t> params(348, 0);
  for (int ch = 0; ch < 10; ++ch) params[size_t(ch)] = 0xFF;  // no axis
  auto set = [&](int ch, int axis, int format) {
    params[size_t(ch)] = uint8_t(axis);
    uint16_t word = uint16_t(format << 7 | 0x8005);  // other bits must not leak in
    params[size_t(28 + 32 * ch)] = uint8_t(word);
    params[size_t(29 + 32 * ch)] = uint8_t(word >> 8);
  };
  set(2, 9, 3);
  set(5, 9, 6);  // a later channel on the same axis
  set(7, 2, 31);
  fill_axis_channels(params.data());
  EXPECT_EQ(axis_format_of(9), 3);
  EXPECT_EQ(axis_format_of(2), 31);
  EXPECT_EQ(axis_format_of(0), 0);
  EXPECT_EQ(axis_format_of(13), 0);
  axis_channels() = saved;
}

}  // namespace
}  // namespace kor
