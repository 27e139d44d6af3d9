#include "protocol/frames.h"

#include <gtest/gtest.h>

#include <vector>

#include "protocol/status_codes.h"
#include "support/sim_fixture.h"

namespace kor {
namespace {

using test::hex;
using test::to_hex;

TEST(BitChecksum, CountsOneBitsModulo256) {
  struct Case {
    const char* bytes;
    uint8_t sum;
  } cases[] = {
      {"00 08", 0x01}, {"55 55 55 55", 0x10}, {"0D 0D 0D 0D", 0x0C}, {"04 04 04 04", 0x04},
      {"07 07 07 07", 0x0C}, {"01 32", 0x04}, {"01 8E", 0x05},
  };
  for (const auto& c : cases) {
    auto b = hex(c.bytes);
    EXPECT_EQ(count_ones8(b.data(), uint16_t(b.size()), 0), c.sum) << c.bytes;
  }
  std::vector<uint8_t> ff(33, 0xFF);
  EXPECT_EQ(count_ones8(ff.data(), 33, 0), 0x08);  // 264 bits wrap
  EXPECT_EQ(count_ones(ff.data(), 33, 0), 264);
}

TEST(BitChecksum, StoreWithCountZeroWritesOnlyAZeroAtStart) {
  std::vector<uint8_t> b = {0xAA, 0xBB, 0xCC};
  store_bit_checksum(b.data(), 0, 1);
  EXPECT_EQ(to_hex(b), "AA 00 CC");
}

TEST(BlockCrc, IsModbusSentHighByteFirst) {
  EXPECT_EQ(block_crc(nullptr, 0), 0xFFFF);
  const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(block_crc(digits, 9), 0x4B37);
  uint8_t wire[2];
  put_crc(wire, 0x4B37);
  EXPECT_EQ(wire[0], 0x4B);
  EXPECT_EQ(wire[1], 0x37);
}

TEST(BlockCrc, AnswerWithLowByteFirstFailsTheCheck) {
  std::vector<uint8_t> block(134, 0);
  for (int i = 0; i < 132; ++i) block[size_t(i)] = uint8_t(i * 7);
  uint16_t crc = block_crc(block.data(), 132);
  ASSERT_NE(crc >> 8, crc & 0xFF);
  block[132] = uint8_t(crc >> 8);
  block[133] = uint8_t(crc);
  EXPECT_TRUE(crc_matches(block.data(), 132));
  block[132] = uint8_t(crc);
  block[133] = uint8_t(crc >> 8);
  EXPECT_FALSE(crc_matches(block.data(), 132));
}

TEST(Frames, FixedPrefixesOfEveryKind) {
  uint8_t f[600] = {};
  uint8_t payload[264] = {};
  build_command_frame(f, 0x55, 0x55, 0x55, 0x55);
  EXPECT_EQ(to_hex({f, f + 8}), "00 08 01 55 55 55 55 10");
  build_header_frame(f, 0, 0, "", 0);
  EXPECT_EQ(to_hex({f, f + 3}), "01 32 04");
  build_block_frame(f, 0, 0, 1, payload);
  EXPECT_EQ(to_hex({f, f + 3}), "01 8E 05");
  build_page_frame(f, 0, 0x03, 1, 0, payload);
  EXPECT_EQ(to_hex({f, f + 3}), "01 10 02");
  build_param_frame(f, 127, payload);
  EXPECT_EQ(to_hex({f, f + 8}), "00 28 02 05 05 7F 7F 12");
}

TEST(Frames, HeaderFrameForEmptyTitleTenLinesSlot3) {
  uint8_t f[50];
  build_header_frame(f, 0, 3, "", 10);
  EXPECT_EQ(to_hex({f, f + 8}), "01 32 04 00 03 03 00 04");
  for (int i = 8; i < 44; ++i) EXPECT_EQ(f[i], 0) << i;
  EXPECT_EQ(to_hex({f + 44, f + 48}), "0A 00 AA AA");
  uint16_t crc = block_crc(f + 3, 45);
  EXPECT_EQ(f[48], crc >> 8);
  EXPECT_EQ(f[49], crc & 0xFF);
}

TEST(Frames, BlockFrameCrcCoversCommandFieldChecksumAndPayload) {
  uint8_t data[132];
  for (int i = 0; i < 132; ++i) data[i] = uint8_t('A' + i % 26);
  uint8_t f[142];
  build_block_frame(f, 1, 7, 4, data);
  EXPECT_EQ(to_hex({f, f + 8}), "01 8E 05 01 03 07 04 " + to_hex({uint8_t(count_ones8(f, 4, 3))}));
  EXPECT_TRUE(crc_matches(f + 3, 137));
}

TEST(Frames, HeaderRecordRoundTrip) {
  uint8_t rec[40];
  build_header_record(rec, "ДЕТАЛЬ 7", 500);
  HeaderRecord h = parse_header_record(rec);
  EXPECT_STREQ(h.title, "ДЕТАЛЬ 7");
  EXPECT_EQ(h.lines, 500);
  EXPECT_TRUE(h.markerOk);
}

TEST(StatusCodes, SeventyNamesWithOneTrailingBlank) {
  EXPECT_STREQ(StatusCodeNames[PROGRAM], "PROGRAM");
  EXPECT_STREQ(StatusCodeNames[CRC_IS_WRONG], "CRC_IS_WRONG");
  EXPECT_STREQ(StatusCodeNames[51], "EEPROM_IS_WRITTEN ");
  EXPECT_STREQ(StatusCodeNames[69], "CORRECTION_READ_BIN_MINES");
  EXPECT_EQ(CRC_IS_WRONG, 36);
  EXPECT_EQ(KOR730_DOES_NOT_ANSWER, 34);
}

}  // namespace
}  // namespace kor
