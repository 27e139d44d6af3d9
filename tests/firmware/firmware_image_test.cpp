#include "firmware/firmware_image.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "hex_text.h"

namespace kor {
namespace {

using test::hex_data;
using test::hex_record;
using test::hex_segment;
using test::kHexEof;

struct Loaded {
  FirmwareLoad load;
  FirmwareImage image;
};

Loaded load(const std::string& text) {
  Loaded l;
  l.load = LoadFirmwareImage(text.data(), text.size(), l.image);
  return l;
}

TEST(FirmwareImage, LoadsDataUpToTheEndOfFile) {
  Loaded l = load(hex_data(0x0000, 16, 0x10) + hex_data(0x0010, 4, 0xA0) + kHexEof + hex_data(0x0400, 1));
  EXPECT_EQ(l.load.status, TASK_IS_DONE);
  EXPECT_EQ(l.load.imageEnd, 20);
  EXPECT_EQ(l.load.lastPage, 0);
  EXPECT_EQ(l.image.bytes[0], 0x10);
  EXPECT_EQ(l.image.bytes[15], 0x1F);
  EXPECT_EQ(l.image.bytes[19], 0xA3);
  EXPECT_EQ(l.image.bytes[20], 0xFF);
  EXPECT_EQ(l.image.bytes[0x400], 0xFF);  // after the end-of-file record: not read
  EXPECT_EQ(l.image.bytes.size(), size_t(kFirmwareImageSize));
}

TEST(FirmwareImage, RefusesFilesByTheirFirstFault) {
  const std::string data = hex_data(0x0000, 16);
  std::string lf = data + kHexEof;
  for (size_t p; (p = lf.find('\r')) != std::string::npos;) lf.erase(p, 1);
  std::string lowerCase = data + kHexEof;
  for (char& c : lowerCase) c = char(std::tolower(c));
  std::string strayG = data + kHexEof;
  strayG[12] = 'G';  // data byte 01 reads 00
  struct Case {
    const char* name;
    std::string text;
    StatusCode status;
  } cases[] = {
      {"line feeds only", lf, DATAS_IN_FILE_ARE_CORRUPTED},
      {"last record without CR", data + ":00000001FF", DATAS_IN_FILE_ARE_CORRUPTED},
      {"wrong end-of-file checksum after data", data + ":00000001FE\r\n", CHECK_SUM_ARE_CORRUPTED},
      {"lower-case hex", lowerCase, TASK_IS_DONE},
      {"stray G", strayG, CHECK_SUM_ARE_CORRUPTED},
      {"empty text", "", NOTHING},
      {"no end-of-file record", data, NOTHING},
      {"end of file before any data", kHexEof + data + kHexEof, NOTHING},
      {"31 data bytes", hex_data(0, 31) + kHexEof, TASK_IS_DONE},
      {"32 data bytes", hex_data(0, 32) + kHexEof, STRING_IS_TOO_LONG},
      {"count larger than the record", ":10000000000102ED\r\n" + kHexEof, DATAS_IN_FILE_ARE_CORRUPTED},
      {"record too short for its fields", ":0000FF01\r\n" + data + kHexEof, DATAS_IN_FILE_ARE_CORRUPTED},
      {"one-character records are skipped", ":\r\n:0\r\n" + data + kHexEof, TASK_IS_DONE},
  };
  for (const auto& c : cases) {
    Loaded l = load(c.text);
    EXPECT_EQ(l.load.status, c.status) << c.name;
    if (c.status != TASK_IS_DONE) {
      EXPECT_EQ(l.load.lastPage, 0) << c.name;
    }
  }
}

TEST(FirmwareImage, AChecksumFaultAnywhereLeavesTheImageUntouched) {
  Loaded l = load(hex_data(0x0000, 16) + kHexEof + ":00000001FE\r\n");
  EXPECT_EQ(l.load.status, CHECK_SUM_ARE_CORRUPTED);
  EXPECT_EQ(l.image.bytes[0], 0xFF);
}

TEST(FirmwareImage, RecordLimitIs98CharactersBeforeTheCarriageReturn) {
  // Padding zeros add nothing to the checksum.
  const std::string eof98 = ":00000001FF" + std::string(88, '0') + "\r\n";
  const std::string eof99 = ":00000001FF" + std::string(89, '0') + "\r\n";
  EXPECT_EQ(load(hex_data(0, 1) + eof98).load.status, TASK_IS_DONE);
  EXPECT_EQ(load(hex_data(0, 1) + eof99).load.status, DATAS_IN_FILE_ARE_CORRUPTED);
}

TEST(FirmwareImage, SegmentRecordsMoveTheBaseOtherTypesDoNot) {
  Loaded l = load(hex_segment(0x1000) + hex_data(0x1000, 16, 0x40) + kHexEof);
  EXPECT_EQ(l.load.status, TASK_IS_DONE);
  EXPECT_EQ(l.image.bytes[0x11000], 0x40);
  EXPECT_EQ(l.image.bytes[0x1100F], 0x4F);
  EXPECT_EQ(l.load.imageEnd, 0x11010);
  EXPECT_EQ(l.load.lastPage, 0x1100F / 512);

  // A linear base (type 4) and start addresses (3, 5) are ignored.
  l = load(hex_record(4, 0, {0x00, 0x01}) + hex_record(3, 0, {0, 0, 0, 0}) + hex_record(5, 0, {0, 0, 0, 0}) + hex_data(0x0020, 2, 7) +
           kHexEof);
  EXPECT_EQ(l.load.status, TASK_IS_DONE);
  EXPECT_EQ(l.image.bytes[0x20], 7);
  EXPECT_EQ(l.load.imageEnd, 0x22);
}

TEST(FirmwareImage, TheLastFlashByteIsNotOurs) {
  // 0x3000 * 16 + 0xEBFE = 257022
  Loaded l = load(hex_segment(0x3000) + hex_record(0, 0xEBFE, {0x5A}) + kHexEof);
  EXPECT_EQ(l.load.status, TASK_IS_DONE);
  EXPECT_EQ(l.load.imageEnd, 257023);
  EXPECT_EQ(l.load.lastPage, 501);
  EXPECT_EQ(l.image.bytes[257022], 0x5A);

  l = load(hex_segment(0x3000) + hex_record(0, 0xEBFF, {0x5A}) + kHexEof);
  EXPECT_EQ(l.load.status, ADDRESS_TO_WRITE_TO_FLASH_TOO_BIG);
  // A record that would cross the limit stores none of its bytes.
  l = load(hex_segment(0x3000) + hex_record(0, 0xEBFE, {0x5A, 0x5B}) + kHexEof);
  EXPECT_EQ(l.load.status, ADDRESS_TO_WRITE_TO_FLASH_TOO_BIG);
  EXPECT_EQ(l.image.bytes[257022], 0xFF);
}

TEST(FirmwareImage, RecordsOutOfOrderStillCoverEveryLoadedPage) {
  Loaded l = load(hex_data(0x0600, 16) + hex_data(0x0000, 16) + kHexEof);
  EXPECT_EQ(l.load.status, TASK_IS_DONE);
  EXPECT_EQ(l.load.imageEnd, 0x0610);
  EXPECT_EQ(l.load.lastPage, 3);
}

}  // namespace
}  // namespace kor
