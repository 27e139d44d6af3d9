#include "transfer/program_write.h"

#include <gtest/gtest.h>

#include <sstream>

#include "program/line_normalize.h"
#include "program_fixture.h"
#include "protocol/frames.h"
#include "transfer/download_title.h"

namespace kor {
namespace {

using test::to_hex;

class WriteTest : public test::ProgramTest {
 protected:
  // The file the operator chose, and the dialog's answer.
  void Choose(const std::string& text, int slot, const char* title = "") {
    dir.write("in.txt", text);
    std::strcpy(app().selectedFile, dir.file("in.txt").c_str());
    StoreDownloadChoice(slot, title);
  }
  // Frames the unit got after the opening (link check, version query).
  std::vector<std::vector<uint8_t>> sent() const { return {frames().begin() + 2, frames().end()}; }
};

std::string lines_of(int n) {
  std::string text;
  char buf[32];
  for (int i = 1; i <= n; ++i) {
    std::snprintf(buf, sizeof buf, "%03d:G90\r\n", i % 1000);
    text += buf;
  }
  return text;
}

TEST(CountProgramLines, CountsAsTheUnitWill) {
  const std::string nine = lines_of(9);
  struct Case {
    std::string text;
    int count;
    const char* message;
  } cases[] = {
      {"001:G90\r\n002:G0\r\n", 2, nullptr},
      {"%ТИТУЛ\r\n001:G90\r\n%\r\n002:G0", 2, nullptr},      // "%" lines are not program lines
      {"001:G90\r\n\r\n002:G0\r\n\r\n \t\r\n", 3, nullptr},  // blanks at the end are not counted
      {"001:G90\n\n002:G91\n003:G17\n", 4, nullptr},        // a blank LF-only line is a line
      {"001:G90\n\n002:G0\n\n\n", 3, nullptr},               // ... and not counted at the end
      {"001:G90\n\r\n002:G0", 3, nullptr},                    // mixed endings, no final one
      {"", 0, nullptr},
      {nine + std::string(70, 'X') + "\r\n001:G90\r\n", 0, "ошибка №4 при чтении 10 кадра"},
      {std::string(62, 'X') + "\r\n", 1, nullptr},  // 63 characters with the CR
      {std::string(63, 'X') + "\r\n", 0, "ошибка №4 при чтении 1 кадра"},
      {"%" + std::string(70, 'T') + "\r\n001:G90\r\n", 0, "ошибка №4 при чтении 0 кадра"},
  };
  for (const auto& c : cases) {
    test::Recorder rec;
    set_operator(&rec);
    std::istringstream in(c.text, std::ios::binary);
    EXPECT_EQ(CountProgramLines(in), c.count) << c.text;
    if (c.message)
      EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{c.message});
    else
      EXPECT_TRUE(rec.messages.empty()) << c.text;
    set_operator(nullptr);
  }
}

class WriteBlock : public WriteTest {
 protected:
  void SetUp() override {
    WriteTest::SetUp();
    BlockUnit();
  }
};

TEST_F(WriteBlock, SevenLinesGoAsHeaderAndFourBlocks) {
  Choose("%ВАЛ\r\n017:G1X10.5F100\r\n//003:G90\r\n\r\nG1 X5\r\n12G0\r\n005:M30\r\n006:M02\r\n\r\n", 2, "ВАЛ 7");
  WriteProgram();

  const auto out = sent();
  ASSERT_EQ(out.size(), 5u);
  uint8_t header[kHeaderFrameSize];
  build_header_frame(header, 0, 2, "ВАЛ 7", 7);
  EXPECT_EQ(to_hex(out[0]), to_hex({header, header + kHeaderFrameSize}));
  EXPECT_EQ(to_hex({out[0].begin(), out[0].begin() + 8}), "01 32 04 00 03 02 00 03");

  const char* normalized[8] = {"001:G1 X10.5 F100", "002/G90", "003:", "004:G1 X5", "005:G0",
                               "006:M30",           "007:M02", "008:"};
  for (int n = 1; n <= 4; ++n) {
    uint8_t data[kDataBlockSize] = {};
    std::strcpy(reinterpret_cast<char*>(data), normalized[2 * n - 2]);
    std::strcpy(reinterpret_cast<char*>(data) + kLineFieldSize, normalized[2 * n - 1]);
    uint8_t block[kBlockFrameSize];
    build_block_frame(block, 0, 2, uint8_t(n), data);
    EXPECT_EQ(to_hex(out[size_t(n)]), to_hex({block, block + kBlockFrameSize})) << "block " << n;
  }
  EXPECT_EQ(store->slot(0, 2).title, "ВАЛ 7");
  EXPECT_EQ(store->slot(0, 2).lines, std::vector<std::string>(normalized, normalized + 7));
  EXPECT_EQ(rec.texts, (std::vector<std::string>{"2/7", "4/7", "6/7", "7/7", " "}));
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Загрузка завершена"});
  EXPECT_EQ(rec.messages[0].icon, Icon::Information);
}

TEST_F(WriteBlock, LfOnlyBlankLinesAreSentLikeCrLfOnes) {
  Choose("001:G90\n\n002:G91\n003:G17\n", 0);
  WriteProgram();
  const auto out = sent();
  ASSERT_EQ(out.size(), 3u);
  uint8_t header[kHeaderFrameSize];
  build_header_frame(header, 0, 0, "", 4);
  EXPECT_EQ(to_hex(out[0]), to_hex({header, header + kHeaderFrameSize}));
  EXPECT_EQ(store->slot(0, 0).lines, (std::vector<std::string>{"001:G90", "002:", "003:G91", "004:G17"}));
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Загрузка завершена"});
}

TEST_F(WriteBlock, LineLimitsPerKind) {
  struct Case {
    bool subprogram;
    int lines;
    const char* refusal;
  } cases[] = {
      {false, 500, nullptr},
      {false, 501, "Превышено кол-во кадров >500"},
      {true, 100, nullptr},
      {true, 101, "Превышено кол-во кадров >100"},
  };
  for (const auto& c : cases) {
    unit.ClearFrames();
    rec.messages.clear();
    Choose(lines_of(c.lines), 0);
    c.subprogram ? WriteSubprogram() : WriteProgram();
    if (c.refusal) {
      EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{c.refusal});
      EXPECT_TRUE(sent().empty()) << c.lines;
    } else {
      EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Загрузка завершена"});
      EXPECT_EQ(sent().size(), 1u + size_t(c.lines) / 2);
      EXPECT_EQ(store->slot(c.subprogram, 0).lines.size(), size_t(c.lines));
      EXPECT_EQ(store->slot(c.subprogram, 0).lines.back(), c.subprogram ? "100:G90" : "500:G90");
    }
  }
}

TEST_F(WriteBlock, ALongLineRefusesTheFileBeforeAnythingIsSent) {
  Choose(lines_of(9) + std::string(70, 'X') + "\r\n", 0);
  WriteProgram();
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"ошибка №4 при чтении 10 кадра"});
  EXPECT_TRUE(sent().empty());
}

TEST_F(WriteBlock, AnUnacknowledgedBlockEndsTheWriteWithoutCompletion) {
  Choose(lines_of(6), 0);
  unit.Inject({sim::FaultKind::BadCrc, 0x03, 1});  // the header passes, block 1 does not
  WriteProgram();
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Ошибка CRC"});
  EXPECT_EQ(sent().size(), 2u);
  EXPECT_EQ(rec.texts.back(), " ");

  // An unacknowledged header: nothing more is sent, and the window says nothing.
  unit.ClearFrames();
  rec.messages.clear();
  unit.Inject({sim::FaultKind::NoAnswer, 0x03});
  WriteProgram();
  EXPECT_TRUE(rec.messages.empty());
  EXPECT_EQ(rec.silent.size(), 1u);
  EXPECT_EQ(sent().size(), 1u);
}

TEST_F(WriteBlock, RefusalsBeforeTheUnitHearsAnything) {
  // No slot for a program: refused before the port opens.
  Choose(lines_of(2), -1);
  WriteProgram();
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Ошибка выбора программы"});
  EXPECT_EQ(driver.opens, 0);

  // No slot for a subprogram: slot 0xFF would reach the unit otherwise.
  rec.messages.clear();
  unit.ClearFrames();
  WriteSubprogram();
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Ошибка выбора подпрограммы"});
  EXPECT_TRUE(sent().empty());

  // A file that has gone since it was chosen.
  rec.messages.clear();
  unit.ClearFrames();
  StoreDownloadChoice(0, "");
  std::strcpy(app().selectedFile, dir.file("gone.txt").c_str());
  WriteProgram();
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Не удалось открыть файл"});
  EXPECT_TRUE(sent().empty());

  // The port is taken.
  rec.messages.clear();
  CRs232 other;
  ASSERT_EQ(OpenAppPort(other), 0);
  const int opens = driver.opens;
  WriteProgram();
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Com порт занят"});
  EXPECT_EQ(driver.opens, opens);
  other.Close();

  // A 460 takes no programs.
  rec.messages.clear();
  unit.ClearFrames();
  Choose(lines_of(2), 0);
  unit.config().model = 460;
  WriteProgram();
  EXPECT_TRUE(rec.messages.empty());
  EXPECT_EQ(rec.silent.size(), 1u);
  EXPECT_TRUE(sent().empty());
}

class WritePage : public WriteTest {
 protected:
  void SetUp() override {
    WriteTest::SetUp();
    PageUnit();
  }
  // What a unit holds after storing the first pages of an image into an empty slot.
  static std::vector<uint8_t> first_pages(std::vector<uint8_t> image, int pages) {
    std::fill(image.begin() + kPagePayloadSize * pages, image.end(), uint8_t(0xFF));
    return image;
  }
  const std::string text = "001:G90\r\n002:X12.345F500.00\r\n//003:M30\r\n";
};

TEST_F(WritePage, AProgramGoesIn63PagesAndAClosingFrame) {
  Choose(text, 2, "ДИСК");
  WriteProgram();

  const auto out = sent();
  ASSERT_EQ(out.size(), 1u + 63u + 1u);
  EXPECT_EQ(to_hex(out[0]), "00 08 01 04 04 04 04 04");
  EXPECT_EQ(to_hex({out[1].begin(), out[1].begin() + 8}), "01 10 02 00 03 03 00 04");
  EXPECT_EQ(to_hex({out[63].begin(), out[63].begin() + 8}), "01 10 02 00 03 03 3E 09");
  const auto& closing = out[64];
  EXPECT_EQ(to_hex({closing.begin(), closing.begin() + 8}), "01 10 02 00 16 03 3F 0B");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(closing.data()) + 8), "ДИСК");
  EXPECT_EQ(closing.size(), size_t(kPageFrameSize));

  EXPECT_EQ(store->slot(0, 2).image, image_of(text, false, 3));
  EXPECT_EQ(store->slot(0, 2).title, "ДИСК");
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Программа 003 загружена"});
  EXPECT_EQ(rec.texts.front(), "264/16632");
  EXPECT_EQ(rec.texts[62], "16632/16632");
  EXPECT_EQ(rec.ranges.back(), std::make_pair(0, 62));
  EXPECT_EQ(app().slotIndex, 3);  // the page transfer keeps the slot number
  EXPECT_EQ(clock.slept_ms(), 18u + 30u + 750u + 63u * 105u);
}

TEST_F(WritePage, TheUnitCanEndAProgramEarly) {
  store->earlyEndPage = 9;
  Choose(text, 0, "T");
  WriteProgram();
  const auto out = sent();
  ASSERT_EQ(out.size(), 1u + 10u + 1u);
  EXPECT_EQ(out.back()[4], 0x16);
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Программа 001 загружена"});
  EXPECT_EQ(store->slot(0, 0).title, "T");
}

TEST_F(WritePage, AStatusOtherThanZeroEndsTheWriteWithoutClosing) {
  struct Case {
    uint8_t status;
    const char* message;
  } cases[] = {{0x01, "CRC_IS_WRONG_"},
               {0x02, "HARDWARE_ERROR_KOR_730_"},
               {0x03, "FLASH_IS_BUSY_KOR_730_"},
               {0x04, "MAY_BE_LINK_ERROR_"},
               {0x84, "USB_LINE_IS_NOISY_"},
               {0x85, "KOR730_DOES_NOT_ANSWER_"},
               {0x10, nullptr}};
  for (const auto& c : cases) {
    unit.ClearFrames();
    rec.messages.clear();
    rec.silent.clear();
    store->failPage = 4;
    store->failStatus = c.status;
    Choose(text, 0);
    WriteProgram();
    const auto out = sent();
    EXPECT_EQ(out.size(), 1u + 5u) << int(c.status);
    EXPECT_NE(out.back()[4], 0x16);
    if (c.message) {
      EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{c.message});
    } else {
      EXPECT_TRUE(rec.messages.empty());
      EXPECT_EQ(rec.silent.size(), 1u);
    }
    EXPECT_EQ(rec.positions.back(), 0);
    EXPECT_EQ(store->slot(0, 0).image, first_pages(image_of(text, false, 1), 4));  // no title, but pages 0..3
  }
}

TEST_F(WritePage, SilenceAfterAPageIsNotTakenForStored) {
  Choose(text, 0);
  unit.Inject({sim::FaultKind::NoAnswer, 0x03, 2});
  WriteProgram();
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"KOR730_DOES_NOT_ANSWER_"});
  EXPECT_EQ(sent().size(), 1u + 3u);
  EXPECT_EQ(store->slot(0, 0).image, first_pages(image_of(text, false, 1), 3));  // its answer was lost, not the page
}

TEST_F(WritePage, ASubprogramGoesIn13Pages) {
  Choose(text, 4, "ЦИКЛ");
  WriteSubprogram();
  const auto out = sent();
  ASSERT_EQ(out.size(), 1u + 13u + 1u);
  EXPECT_EQ(to_hex({out.back().begin(), out.back().begin() + 8}), "01 10 02 01 16 05 0D 09");
  EXPECT_EQ(store->slot(1, 4).image, image_of(text, true, 5));
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Подпрограмма 005 загружена"});
  EXPECT_EQ(rec.texts[12], "3432/3432");

  rec.messages.clear();
  unit.ClearFrames();
  StoreDownloadChoice(-1, "");
  WriteSubprogram();
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Ошибка выбора подпрограммы"});
  EXPECT_TRUE(sent().empty());
}

TEST_F(WritePage, TextTheUnitWouldGetOnlyPartOfIsNotSent) {
  struct Case {
    std::string text;
    const char* message;
  } cases[] = {
      {"%ТИТУЛ\r\n" + text, "Строка 1: недопустимый символ.\nПрограмма не загружена"},
      {text + "004:G1X5\r\n", "Строка 4: кадр не распознан.\nПрограмма не загружена"},
      {moves(505), "Превышено кол-во кадров >504"},
  };
  for (const auto& c : cases) {
    unit.ClearFrames();
    rec.messages.clear();
    Choose(c.text, 0);
    WriteProgram();
    EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{c.message});
    EXPECT_EQ(sent().size(), 1u);  // the axis table only
  }
}

TEST_F(WritePage, AFileThatCannotBeReadEndsBeforeAnyRequest) {
  StoreDownloadChoice(0, "");
  std::strcpy(app().selectedFile, dir.file("gone.txt").c_str());
  WriteProgram();
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Не удалось открыть файл"});
  EXPECT_TRUE(sent().empty());
}

}  // namespace
}  // namespace kor
