#include "firmware/firmware_image.h"

#include <gtest/gtest.h>

#include <algorithm>
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

std::string without_cr(std::string text) {
  for (size_t p; (p = text.find('\r')) != std::string::npos;) text.erase(p, 1);
  return text;
}

TEST(FirmwareImage, RefusalsNameTheLineAndWhy) {
  const std::string a = hex_data(0x0000, 4, 1);
  const std::string b = hex_data(0x0004, 4, 5);
  struct Case {
    const char* name;
    std::string text;
    StatusCode status;
    HexFault fault;
    int line;
  } cases[] = {
      {"line feeds only", without_cr(a + kHexEof), DATAS_IN_FILE_ARE_CORRUPTED, HexFault::LineEnd, 1},
      // The LF-only line would swallow the next record, checksum and all.
      {"one line ends in LF alone", a + without_cr(a) + b + kHexEof, DATAS_IN_FILE_ARE_CORRUPTED, HexFault::LineEnd, 2},
      {"last line without CR", a + ":00000001FF", DATAS_IN_FILE_ARE_CORRUPTED, HexFault::LineEnd, 2},
      {"no CR for 99 characters", a + ":00000001FF" + std::string(89, '0') + "\r\n", DATAS_IN_FILE_ARE_CORRUPTED,
       HexFault::LongRecord, 2},
      {"checksum", a + "\r\n" + b + ":00000001FE\r\n", CHECK_SUM_ARE_CORRUPTED, HexFault::Checksum, 4},
      {"short record", a + ":0000FF01\r\n" + kHexEof, DATAS_IN_FILE_ARE_CORRUPTED, HexFault::ShortRecord, 2},
      {"32 data bytes", a + b + hex_data(0x100, 32) + kHexEof, STRING_IS_TOO_LONG, HexFault::TooManyBytes, 3},
      {"past the flash", a + hex_segment(0x3EBF) + hex_data(0xF, 1) + kHexEof, ADDRESS_TO_WRITE_TO_FLASH_TOO_BIG,
       HexFault::PastFlashEnd, 3},
      {"end of file first", kHexEof + a + kHexEof, NOTHING, HexFault::EndBeforeData, 1},
      {"no end of file", a + b, NOTHING, HexFault::NoEndOfFile, 0},
      {"lines counted at CR alone too", a + "\r" + ":00000001FE\r", CHECK_SUM_ARE_CORRUPTED, HexFault::Checksum, 3},
  };
  for (const auto& c : cases) {
    Loaded l = load(c.text);
    EXPECT_EQ(l.load.status, c.status) << c.name;
    EXPECT_EQ(l.load.fault, c.fault) << c.name;
    EXPECT_EQ(l.load.line, c.line) << c.name;
    if (c.fault == HexFault::LineEnd || c.fault == HexFault::LongRecord || c.fault == HexFault::Checksum) {
      EXPECT_EQ(l.image.bytes[0], 0xFF) << c.name;  // refused before anything is placed
    }
  }
}

TEST(FirmwareImage, LineEndsThatLoseNothingStillLoad) {
  std::string lfcr = hex_data(0, 4, 1);
  lfcr.replace(lfcr.size() - 2, 2, "\n\r");
  const std::string crOnly = without_cr(hex_data(0, 4, 1));
  for (const std::string& first : {lfcr, crOnly.substr(0, crOnly.size() - 1) + "\r"}) {
    Loaded l = load(first + hex_data(4, 4, 5) + kHexEof);
    EXPECT_EQ(l.load.status, TASK_IS_DONE);
    EXPECT_EQ(l.load.imageEnd, 8);
    EXPECT_EQ(l.image.bytes[7], 8);
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

TEST(FirmwareImage, SegmentRecordsMoveTheBase) {
  Loaded l = load(hex_segment(0x1000) + hex_data(0x1000, 16, 0x40) + kHexEof);
  EXPECT_EQ(l.load.status, TASK_IS_DONE);
  EXPECT_EQ(l.image.bytes[0x11000], 0x40);
  EXPECT_EQ(l.image.bytes[0x1100F], 0x4F);
  EXPECT_EQ(l.load.imageEnd, 0x11010);
  EXPECT_EQ(l.load.lastPage, 0x1100F / 512);
}

std::string hex_linear(int value) { return hex_record(4, 0, {value >> 8, value & 0xFF}); }

TEST(FirmwareImage, LinearAddressRecordsPlaceDataAbove64KiB) {
  // 1000 bytes at 0x10000 in 25-byte records, as a toolchain writes them.
  std::string text = hex_linear(0x0001);
  for (int at = 0; at < 1000; at += 25) text += hex_data(at, 25, at);
  Loaded l = load(text + kHexEof);
  ASSERT_EQ(l.load.status, TASK_IS_DONE);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(l.image.bytes[size_t(0x10000 + i)], i & 0xFF) << i;
  EXPECT_EQ(l.image.bytes[0], 0xFF);  // not at the bottom of the flash
  EXPECT_EQ(l.image.bytes[999], 0xFF);
  EXPECT_EQ(l.load.imageEnd, 0x10000 + 1000);
  EXPECT_EQ(l.load.lastPage, (0x10000 + 999) / 512);

  // Each base keeps its value and both apply; a later record of a kind replaces
  // only that kind's base.
  struct Case {
    const char* name;
    std::string records;
    int address;
  } cases[] = {
      {"linear then segment", hex_linear(1) + hex_segment(0x0100), 0x11000 + 0x20},
      {"segment then linear", hex_segment(0x0100) + hex_linear(1), 0x11000 + 0x20},
      {"linear set back to 0", hex_linear(2) + hex_linear(0), 0x20},
      {"segment set back to 0", hex_segment(0x2000) + hex_linear(1) + hex_segment(0), 0x10020},
      {"start addresses move nothing",
       hex_record(3, 0, {0x12, 0x34, 0x56, 0x78}) + hex_record(5, 0, {0, 1, 0, 0}), 0x20},
  };
  for (const auto& c : cases) {
    l = load(c.records + hex_data(0x0020, 2, 7) + kHexEof);
    ASSERT_EQ(l.load.status, TASK_IS_DONE) << c.name;
    EXPECT_EQ(l.image.bytes[size_t(c.address)], 7) << c.name;
    EXPECT_EQ(l.load.imageEnd, c.address + 2) << c.name;
  }
}

TEST(FirmwareImage, LinearBasesPastTheFlashAreRefused) {
  struct Case {
    std::string records;
    int address;
    StatusCode status;
  } cases[] = {
      {hex_linear(3) + hex_segment(0xEBF), 0x000E, TASK_IS_DONE},  // 257022, the last byte ours
      {hex_linear(3) + hex_segment(0xEBF), 0x000F, ADDRESS_TO_WRITE_TO_FLASH_TOO_BIG},
      {hex_linear(4), 0, ADDRESS_TO_WRITE_TO_FLASH_TOO_BIG},
      {hex_linear(0xFFFF) + hex_segment(0xFFFF), 0xFFFF, ADDRESS_TO_WRITE_TO_FLASH_TOO_BIG},
  };
  for (const auto& c : cases) {
    Loaded l = load(c.records + hex_record(0, c.address, {0x5A}) + kHexEof);
    EXPECT_EQ(l.load.status, c.status) << c.address;
  }
  Loaded l = load(hex_linear(4) + hex_data(0, 16) + kHexEof);
  EXPECT_EQ(l.image.bytes[0], 0xFF);  // nothing wrapped around to the bottom
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

TEST(FirmwareReport, SaysWhatLandsWhere) {
  // line 1: 16 bytes at 0x0000; 2: 16 at 0x0020 (gap 0x10-0x1F); 3: 8 over line 2;
  // 4: linear base 1; 5: 4 bytes at 0x10000; 6: a start address; 7: end; 8: after it.
  const std::string text = hex_data(0x0000, 16) + hex_data(0x0020, 16) + hex_data(0x0028, 8, 0xA0) +
                           hex_linear(1) + hex_data(0x0000, 4) + hex_record(5, 0, {0, 0, 0, 0}) + kHexEof +
                           hex_data(0x0100, 1);
  FirmwareImage image;
  FirmwareReport report;
  const FirmwareLoad l = LoadFirmwareImage(text.data(), text.size(), image, &report);
  ASSERT_EQ(l.status, TASK_IS_DONE);
  EXPECT_EQ(l.imageEnd, 0x10004);

  auto ranges = [](const std::vector<AddressRange>& v) {
    std::vector<std::pair<int64_t, int64_t>> out;
    for (const auto& r : v) out.push_back({r.begin, r.end});
    return out;
  };
  using R = std::vector<std::pair<int64_t, int64_t>>;
  EXPECT_EQ(ranges(report.ranges), (R{{0x0000, 0x0010}, {0x0020, 0x0030}, {0x10000, 0x10004}}));
  EXPECT_EQ(ranges(firmware_gaps(report)), (R{{0x0010, 0x0020}, {0x0030, 0x10000}}));
  ASSERT_EQ(report.overlaps.size(), 1u);
  const HexOverlap& o = report.overlaps[0];
  EXPECT_EQ(ranges({o.at}), (R{{0x0028, 0x0030}}));
  EXPECT_EQ(o.firstLine, 3);
  EXPECT_EQ(o.firstEarlier, 2);
  EXPECT_EQ(image.bytes[0x28], 0xA0);  // the later record's byte

  EXPECT_EQ(report.records[0], 4);
  EXPECT_EQ(report.records[1], 1);
  EXPECT_EQ(report.records[4], 1);
  EXPECT_EQ(report.records[5], 1);
  EXPECT_EQ(report.afterEnd, 1);

  // The same load without a report.
  FirmwareImage plain;
  const FirmwareLoad p = LoadFirmwareImage(text.data(), text.size(), plain);
  EXPECT_EQ(p.imageEnd, l.imageEnd);
  EXPECT_EQ(plain.bytes, image.bytes);
}

TEST(FirmwareReport, OverlapsMergeIntoRangesWithTheirLines) {
  // A file that holds its image twice, and a record that starts below the first
  // one ends.
  std::vector<int> data(64, 0x11);
  const std::string twice = test::hex_file(data);
  std::string text = twice.substr(0, twice.size() - kHexEof.size());
  text += text + hex_data(0x003C, 8) + kHexEof;  // lines 1-4, 5-8, 9
  FirmwareImage image;
  FirmwareReport report;
  ASSERT_EQ(LoadFirmwareImage(text.data(), text.size(), image, &report).status, TASK_IS_DONE);
  ASSERT_EQ(report.overlaps.size(), 1u);
  const HexOverlap& o = report.overlaps[0];
  EXPECT_EQ(o.at.begin, 0);
  EXPECT_EQ(o.at.end, 0x40);
  EXPECT_EQ(o.firstLine, 5);
  EXPECT_EQ(o.lastLine, 9);
  EXPECT_EQ(o.firstEarlier, 1);
  EXPECT_EQ(o.lastEarlier, 8);
  ASSERT_EQ(report.ranges.size(), 1u);
  EXPECT_EQ(report.ranges[0].end, 0x44);
}

TEST(FirmwareImage, SegmentOnlyFilesLoadAsTheyAlwaysDid) {
  // 100 000 bytes the way GNU objcopy writes a binary: 16-byte records and a
  // segment record at 64 KiB.
  std::vector<int> data(100000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = int((i * 7 + i / 256) & 0xFF);
  const std::string text = test::hex_file(data);
  ASSERT_NE(text.find(":020000021000EC\r\n"), std::string::npos);
  Loaded l = load(text);
  ASSERT_EQ(l.load.status, TASK_IS_DONE);
  EXPECT_EQ(l.load.imageEnd, 100000);
  EXPECT_EQ(l.load.lastPage, 195);
  for (size_t i = 0; i < data.size(); ++i) ASSERT_EQ(l.image.bytes[i], data[i]) << i;
  EXPECT_TRUE(std::all_of(l.image.bytes.begin() + 100000, l.image.bytes.end(), [](uint8_t b) { return b == 0xFF; }));
}

}  // namespace
}  // namespace kor
