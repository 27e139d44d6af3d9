#include "firmware/flashing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "hex_text.h"
#include "protocol/frames.h"
#include "sim/firmware.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

namespace kor {
namespace {

using test::SimTest;
using test::to_hex;

std::vector<uint8_t> head(const std::vector<uint8_t>& frame, size_t n = 8) {
  return {frame.begin(), frame.begin() + long(std::min(n, frame.size()))};
}

TEST(PagePacket, HeaderCarriesAddressAndCounter) {
  struct Case {
    int page, counter;
    const char* header;
  } cases[] = {
      {0, 1, "02 0A 03 03 00 00 01 03"},
      {5, 6, "02 0A 03 03 00 0A 06 06"},
      {299, 300, "02 0A 03 83 02 56 2C 0B"},
      {255, 256, "02 0A 03 83 01 FE 00 0B"},
      {501, 512, "02 0A 03 43 03 EA 00 0A"},
  };
  uint8_t page[kFlashPageSize] = {};
  uint8_t packet[kPagePacketSize];
  for (const auto& c : cases) {
    build_page_packet(packet, page, c.page, c.counter);
    EXPECT_EQ(to_hex(head({packet, packet + kPagePacketSize})), c.header) << c.page;
  }
}

TEST(PagePacket, CarriesThePageItsOneBitCountAndCrc) {
  std::vector<uint8_t> page(kFlashPageSize, 0xFF);
  uint8_t packet[kPagePacketSize];
  build_page_packet(packet, page.data(), 0, 1);
  EXPECT_EQ(to_hex({packet + 520, packet + 522}), "00 10");  // 4096 ones, low byte first
  EXPECT_EQ(std::memcmp(packet + 8, page.data(), kFlashPageSize), 0);

  page[0] = 0x01;
  page[511] = 0x80;
  for (int i = 1; i < 511; ++i) page[size_t(i)] = 0;
  build_page_packet(packet, page.data(), 0, 1);
  EXPECT_EQ(to_hex({packet + 520, packet + 522}), "02 00");
  // The CRC covers bytes 0..519 (not the count) and goes high byte first.
  const uint16_t crc = block_crc(packet, 520);
  EXPECT_EQ(packet[522], crc >> 8);
  EXPECT_EQ(packet[523], crc & 0xFF);
}

class PageWrite : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    fw = unit.Find<sim::FirmwareService>();
    ASSERT_EQ(OpenAppPort(rs), 0);
    page.assign(kFlashPageSize, 0x5A);
  }
  void TearDown() override {
    rs.Close();
    SimTest::TearDown();
  }
  StatusCode Write(int index = 0) {
    testing::internal::CaptureStdout();
    StatusCode s = WriteFirmwarePage(rs, page.data(), index, counter, 80);
    out = testing::internal::GetCapturedStdout();
    return s;
  }

  CRs232 rs;
  sim::FirmwareService* fw = nullptr;
  std::vector<uint8_t> page;
  int counter = 1;
  std::string out;
};

TEST_F(PageWrite, WrittenPageMovesTheCounter) {
  EXPECT_EQ(Write(3), FLASH_IS_WRITTEN);
  EXPECT_EQ(counter, 2);
  EXPECT_EQ(fw->badPackets, 0);
  EXPECT_EQ(fw->pagesWritten, std::vector<int>{3});
  EXPECT_EQ(fw->flash[3 * 512], 0x5A);
  EXPECT_EQ(clock.slept_ms(), 80u);
  EXPECT_EQ(out, "");
}

TEST_F(PageWrite, RepeatRequestsAreNotCountedAgainstTheAttempts) {
  fw->repeatRequests = 10;
  EXPECT_EQ(Write(), FLASH_IS_WRITTEN);
  EXPECT_EQ(out, "");
  ASSERT_EQ(frames().size(), 11u);
  for (const auto& f : frames()) EXPECT_EQ(f, frames()[0]);  // the same packet every time
  EXPECT_EQ(counter, 2);
}

TEST_F(PageWrite, EndlessRepeatRequestsAreBounded) {
  fw->repeatRequests = -1;
  EXPECT_EQ(Write(), FLASH_IS_BUSY_KOR_730);
  EXPECT_EQ(frames().size(), size_t(kPageRepeatLimit));
  EXPECT_EQ(counter, 1);
}

TEST_F(PageWrite, SixCountedFailuresEndThePage) {
  const std::string sixLines = " 1 count_error\n 2 count_error\n 3 count_error\n 4 count_error\n 5 count_error\n"
                               " 6 count_error\n";
  unit.Inject({sim::FaultKind::BadCrc, 0x00, 0, 6});  // the answer's checksum byte
  EXPECT_EQ(Write(), MAY_BE_LINK_ERROR);
  EXPECT_EQ(out, sixLines);
  EXPECT_EQ(frames().size(), 6u);

  unit.ClearFrames();
  unit.Inject({sim::FaultKind::NoAnswer, 0x00, 0, 6});
  EXPECT_EQ(Write(), KOR730_DOES_NOT_ANSWER);
  EXPECT_EQ(out, sixLines);

  // Five failures and then the page goes in.
  unit.Inject({sim::FaultKind::NoAnswer, 0x00, 0, 5});
  EXPECT_EQ(Write(), FLASH_IS_WRITTEN);
  EXPECT_EQ(out, " 1 count_error\n 2 count_error\n 3 count_error\n 4 count_error\n 5 count_error\n");
}

TEST_F(PageWrite, TheLastFailureDetailNamesTheFault) {
  struct Case {
    int detail;
    StatusCode status;
  } cases[] = {{0, TIMEOUT_ERASE_ERROR},
               {1, ADDRESS_TO_WRITE_TO_FLASH_TOO_BIG},
               {2, PAGE_FLASH_BUFFER_IS_NOT_READY},
               {3, TIMEOUT_PAGE_FLASH_WRITE},
               {4, UNKNOWN_ERROR},
               {6, CHECK_ONES_ERROR_WHEN_PAGE_FLASH_IS_WRITTEN},
               {0x80, UNKNOWN_ERROR}};
  for (const auto& c : cases) {
    fw->failDetail = c.detail;
    fw->failTimes = 6;
    EXPECT_EQ(Write(), c.status) << c.detail;
  }
  EXPECT_EQ(counter, 1);
}

TEST_F(PageWrite, NoRoomEndsAtOnce) {
  fw->roomPages = 2;
  EXPECT_EQ(Write(2), ADDRESS_TO_WRITE_TO_FLASH_TOO_BIG);
  EXPECT_EQ(frames().size(), 1u);
  EXPECT_EQ(out, "");
}

TEST_F(PageWrite, WriteFailure) {
  driver.faults.writeFails = true;
  EXPECT_EQ(Write(), COM_USB_SENDING_PROBLEM);
  EXPECT_TRUE(rec.messages.empty());  // the caller reports it
}

// The whole update against the simulated unit in programming mode.
class Flashing : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    fw = unit.Find<sim::FirmwareService>();
  }
  void Select(const std::string& text) {
    dir.write("fw.hex", text);
    std::strcpy(app().selectedFile, dir.file("fw.hex").c_str());
  }
  void Flash() {
    testing::internal::CaptureStdout();
    FlashFirmware();
    out = testing::internal::GetCapturedStdout();
  }
  // Frames the unit received after the speed probe's link check.
  std::vector<std::vector<uint8_t>> AfterProbe() const {
    auto f = frames();
    EXPECT_FALSE(f.empty());
    if (!f.empty()) f.erase(f.begin());
    return f;
  }

  test::TempDir dir;
  sim::FirmwareService* fw = nullptr;
  std::string out;
};

TEST_F(Flashing, WritesEveryPageThenSetsTheClockAndCloses) {
  std::vector<int> image(1300);
  for (size_t i = 0; i < image.size(); ++i) image[i] = int((i * 7 + i / 256) & 0xFF);
  Select(test::hex_file(image));
  Flash();

  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Прошивка завершена"});
  EXPECT_EQ(rec.messages[0].icon, Icon::Information);
  for (size_t i = 0; i < image.size(); ++i) ASSERT_EQ(fw->flash[i], image[i]) << i;
  EXPECT_EQ(fw->flash[image.size()], 0xFF);
  EXPECT_EQ(fw->pagesWritten, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(fw->counters, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(fw->badPackets, 0);

  auto f = AfterProbe();
  ASSERT_EQ(f.size(), 5u);
  EXPECT_EQ(to_hex(head(f[3])), "00 10 01 07 07 07 07 0C");
  EXPECT_EQ(fw->clockFrames, 1);
  EXPECT_EQ(to_hex(f[4]), "00 08 01 3C 3C 3C 3C 10");
  EXPECT_EQ(fw->closings, 1);

  EXPECT_EQ(rec.ranges, (std::vector<std::pair<int, int>>{{0, 2}}));
  EXPECT_EQ(rec.texts, (std::vector<std::string>{"0/1300", "512/1300", "1300/1300", " "}));
  EXPECT_EQ(rec.positions, (std::vector<int>{1, 2, 3, 0}));
  EXPECT_EQ(rec.fonts.size(), 1u);
  EXPECT_EQ(rec.pumps, 3);
  EXPECT_EQ(out, "");
  EXPECT_FALSE(CRs232::PortInUse());
}

TEST_F(Flashing, OnePageImageShowsItsEndAtOnce) {
  Select(test::hex_data(0, 20) + test::kHexEof);
  Flash();
  EXPECT_EQ(rec.texts.front(), "20/20");
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Прошивка завершена"});
}

TEST_F(Flashing, FindsAUnitThatAnswersOnlyAt115200) {
  unit.config().speed = 115200;
  Select(test::hex_data(0, 16) + test::kHexEof);
  Flash();
  EXPECT_EQ(driver.lastSpeed, 115200);
  EXPECT_EQ(app().pageAnswerDelay, 30);
  EXPECT_EQ(fw->pagesWritten, std::vector<int>{0});
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Прошивка завершена"});
}

TEST_F(Flashing, RefusedFilesSendNoPage) {
  const std::string data = test::hex_data(0, 16);
  struct Case {
    std::string text;
    const char* message;
  } cases[] = {
      {test::hex_segment(0x3000) + test::hex_record(0, 0xEBFF, {1}) + test::kHexEof, "Прошивка > 257023 байт"},
      {data + ":00000001FE\r\n", "Файл поврежден"},
      {"garbage without records", "NOTHING"},
      {test::kHexEof + data + test::kHexEof, "NOTHING"},
      {test::hex_data(0, 32) + test::kHexEof, "STRING_IS_TOO_LONG"},
      {":0100000041BE\n:00000001FF\n", "Файл поврежден: строки должны заканчиваться CR LF"},
  };
  for (const auto& c : cases) {
    rec.messages.clear();
    unit.ClearFrames();
    Select(c.text);
    Flash();
    EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{c.message});
    EXPECT_EQ(rec.messages[0].icon, Icon::Error);
    EXPECT_TRUE(AfterProbe().empty()) << c.message;
  }
}

TEST_F(Flashing, LinearAddressedDataLandsAbove64KiB) {
  std::string text = test::hex_record(4, 0, {0x00, 0x01});
  for (int at = 0; at < 1000; at += 20) text += test::hex_data(at, 20, at);
  Select(text + test::kHexEof);
  Flash();
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Прошивка завершена"});
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(fw->flash[size_t(0x10000 + i)], i & 0xFF) << i;
  EXPECT_EQ(fw->flash[0], 0xFF);
  EXPECT_EQ(fw->pagesWritten.size(), size_t((0x10000 + 999) / 512 + 1));
}

TEST_F(Flashing, TellsWhatTheFileHoldsBeforeAnyPage) {
  int calls = 0;
  size_t framesBefore = 0;
  FirmwareLoad told;
  FirmwareReport report;
  auto loaded = [&](const FirmwareLoad& l, const FirmwareReport& r) {
    ++calls;
    told = l;
    report = r;
    framesBefore = frames().size();
  };
  Select(test::hex_data(0x0200, 16) + test::kHexEof);
  testing::internal::CaptureStdout();
  FlashFirmware(loaded);
  out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(framesBefore, 1u);  // the speed probe's link check only
  EXPECT_EQ(told.status, TASK_IS_DONE);
  EXPECT_EQ(told.lastPage, 1);
  ASSERT_EQ(report.ranges.size(), 1u);
  EXPECT_EQ(report.ranges[0].begin, 0x200);
  EXPECT_EQ(fw->pagesWritten, (std::vector<int>{0, 1}));

  // A refused file is told too, and still refused with its message.
  rec.messages.clear();
  unit.ClearFrames();
  Select(test::hex_data(0, 16) + ":00000001FE\r\n");
  calls = 0;
  testing::internal::CaptureStdout();
  FlashFirmware(loaded);
  out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(told.status, CHECK_SUM_ARE_CORRUPTED);
  EXPECT_EQ(told.line, 2);
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Файл поврежден"});
  EXPECT_TRUE(AfterProbe().empty());
}

TEST_F(Flashing, UnreadableFileSendsNothing) {
  std::strcpy(app().selectedFile, dir.file("missing.hex").c_str());
  Flash();
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Не удалось открыть файл"});
  EXPECT_TRUE(AfterProbe().empty());
}

TEST_F(Flashing, UnitOutsideProgrammingModeGetsTheWarning) {
  fw->programmingMode = false;
  Select(test::hex_data(0, 16) + test::kHexEof);
  Flash();
  ASSERT_EQ(rec.MessageTexts(), std::vector<std::string>{"Войдите в режим: ПРОГРАММИРОВАНИЕ ЧЕРЕЗ ПК"});
  EXPECT_EQ(rec.messages[0].icon, Icon::Warning);
  EXPECT_EQ(AfterProbe().size(), 6u);  // no clock frame, no closing command
  EXPECT_EQ(rec.positions.back(), 0);
  EXPECT_EQ(rec.texts.back(), " ");
}

TEST_F(Flashing, PageFailuresAndTheirMessages) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    const char* message;
  } cases[] = {
      {"no room", [&] { fw->roomPages = 1; }, "нет места"},
      {"erase failed", [&] { fw->failDetail = 0, fw->failTimes = 6; }, "TIMEOUT_ERASE_ERROR"},
      {"repeats without end", [&] { fw->repeatRequests = -1; },
       "КОР без конца просит повторить страницу, прошивка прервана"},
  };
  for (const auto& c : cases) {
    fw->roomPages = 502;
    fw->repeatRequests = 0;
    rec.messages.clear();
    c.arrange();
    Select(test::hex_data(0x0200, 16) + test::kHexEof);  // page 1: page 0 goes in first
    Flash();
    EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{c.message}) << c.name;
    EXPECT_EQ(rec.messages.back().icon, Icon::Error) << c.name;
  }
  EXPECT_EQ(fw->closings, 0);
}

TEST_F(Flashing, LostLinkDuringPages) {
  rec.onPump = [&] { driver.faults.writeFails = true; };
  Select(test::hex_data(0, 16) + test::kHexEof);
  Flash();
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Связь потеряна, переподключите кабель"});
  EXPECT_EQ(driver.abandoned, 1);
}

TEST_F(Flashing, LostLinkAfterTheLastPageIsNotAFinishedUpdate) {
  fw->onPage = [&](int) { driver.faults.writeFails = true; };
  Select(test::hex_data(0, 16) + test::kHexEof);
  Flash();
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Связь потеряна, переподключите кабель"});
  EXPECT_EQ(driver.abandoned, 1);
}

TEST_F(Flashing, NoUnitAtAnySpeed) {
  unit.config().speed = 9600;
  Select(test::hex_data(0, 16) + test::kHexEof);
  Flash();
  EXPECT_EQ(rec.MessageTexts(),
            std::vector<std::string>{"Выберите в меню 'Режим обмена с ПК' \nи проверьте скорость передачи"});
  EXPECT_EQ(rec.messages[0].icon, Icon::Warning);
}

TEST_F(Flashing, RefusesWhilePortIsInUse) {
  CRs232 other;
  ASSERT_EQ(OpenAppPort(other), 0);
  Flash();
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Com порт занят"});
  EXPECT_TRUE(frames().empty());
}

TEST_F(Flashing, FastModeFlashesTheSameImageSooner) {
  unit.config().emulateWire = true;
  std::vector<int> image(1300);
  for (size_t i = 0; i < image.size(); ++i) image[i] = int((i * 5 + 3) & 0xFF);
  Select(test::hex_file(image));
  uint64_t took[2];
  for (int fast = 0; fast < 2; ++fast) {
    std::fill(fw->flash.begin(), fw->flash.end(), 0xFF);
    rec.messages.clear();
    app().fastMode = fast;
    const uint64_t start = clock.NowUs();
    Flash();
    took[fast] = clock.NowUs() - start;
    EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Прошивка завершена"});
    for (size_t i = 0; i < image.size(); ++i) ASSERT_EQ(fw->flash[i], image[i]) << i;
  }
  EXPECT_LT(took[1], took[0]);
  // A unit outside programming mode gets the same warning after the same six tries.
  fw->programmingMode = false;
  for (int fast = 0; fast < 2; ++fast) {
    rec.messages.clear();
    app().fastMode = fast;
    Flash();
    EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Войдите в режим: ПРОГРАММИРОВАНИЕ ЧЕРЕЗ ПК"}) << fast;
  }
}

}  // namespace
}  // namespace kor
