#include "transfer/correction.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>

#include "app/file_system.h"
#include "link/overlapped.h"
#include "link/rs232.h"
#include "sim/correction.h"
#include "sim/sim_overlapped.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"
#include "transfer/text_frame.h"

namespace kor {
namespace {

using test::hex;
using test::SimTest;
using test::TempDir;
using test::to_hex;

const char kPlusFile[] = "kor_correction/kor_correction+.txt";
const char kMinusFile[] = "kor_correction/kor_correction-.txt";

class Correction : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    std::strcpy(app().dataFolder, dir.path().c_str());
    app().kind = DataKind::Correction;
    set_overlapped_driver(&ov);
    corr = unit.Find<sim::CorrectionService>();
  }
  void TearDown() override {
    EXPECT_FALSE(ov.open);  // the channel is closed on every path
    set_overlapped_driver(nullptr);
    SimTest::TearDown();
  }
  void Table(uint8_t code, uint16_t coefficient, int points, std::vector<int32_t> values) {
    sim::CorrectionTable& t = corr->table(code);
    t.coefficient = coefficient;
    t.points = int16_t(points);
    t.values = std::move(values);
  }
  // The point lines of a file, without header, column line and terminator.
  static std::vector<std::string> PointLines(const std::string& file) {
    std::vector<std::string> lines;
    size_t at = 0;
    for (int skip = 0; skip < 3; ++skip) at = file.find("\r\n", at) + 2;
    while (at < file.size() - 1) {
      size_t end = file.find("\r\n", at);
      lines.push_back(file.substr(at, end - at));
      at = end + 2;
    }
    return lines;
  }

  TempDir dir;
  sim::SimOverlappedDriver ov{unit, &driver};
  sim::CorrectionService* corr = nullptr;
};

TEST_F(Correction, PlusTableBecomesTheExactFile) {
  Table(0x0A, 10, 3, {12, 19, 25});
  EXPECT_TRUE(ReadCorrectionTable(kCorrectionPlus));

  const std::string expected =
      "коэффициент_деления:00010|||||||||||\r\n"
      "кол-во_точек +:00003|||||||||||||||||\r\n"
      "точки|||рабочий||||эталон||||дельта|\r\n"
      "00001.|000000010|000000012|-00000002|\r\n"
      "00002.|000000020|000000019|000000001|\r\n"
      "00003.|000000030|000000025|000000005|\r\n";
  EXPECT_EQ(dir.read(kPlusFile), expected + std::string(1, '\0'));
  ASSERT_EQ(frames().size(), 2u);
  EXPECT_EQ(to_hex(frames()[0]), "00 08 01 08 08 00 0A 04");
  EXPECT_EQ(to_hex(frames()[1]), "00 08 01 08 08 01 0A 05");
  EXPECT_EQ(clock.slept_ms(), 100u + 417u);
  EXPECT_TRUE(rec.messages.empty());
  ASSERT_EQ(rec.prompts.size(), 1u);
  EXPECT_EQ(rec.prompts[0].text, "Файл сохранен: " + dir.file(std::string("kor_correction") + fsys::kSep +
                                                                  "kor_correction+.txt") + ".\nОткрыть папку?");
  EXPECT_EQ(rec.ranges, (std::vector<std::pair<int, int>>{{0, 1}}));
  EXPECT_EQ(rec.positions, (std::vector<int>{1, 0}));
  EXPECT_EQ(rec.pumps, 1);
}

TEST_F(Correction, MinusTableKeepsTheSignOfCoefficientAndValues) {
  Table(0x0B, uint16_t(-7), 2, {-5, -20});
  EXPECT_TRUE(ReadCorrectionTable(kCorrectionMinus));
  EXPECT_EQ(dir.read(kMinusFile),
            std::string("коэффициент_деления:-0007|||||||||||\r\n"
                        "кол-во_точек -:00002|||||||||||||||||\r\n"
                        "точки|||рабочий||||эталон||||дельта|\r\n"
                        "00001.|-00000007|-00000005|-00000002|\r\n"
                        "00002.|-00000014|-00000020|000000006|\r\n") +
                std::string(1, '\0'));
  EXPECT_EQ(to_hex(frames()[0]), "00 08 01 08 08 00 0B 05");
}

TEST(CorrectionCoefficient, TopBitMeansMagnitudeForPlusAndSignForMinus) {
  EXPECT_EQ(correction_coefficient(kCorrectionPlus, 0x8005), 32763);
  EXPECT_EQ(correction_coefficient(kCorrectionMinus, 0x8005), -32763);
  EXPECT_EQ(correction_coefficient(kCorrectionPlus, 0x7FFF), 32767);
  EXPECT_EQ(correction_coefficient(kCorrectionMinus, 0x7FFF), 32767);
  EXPECT_EQ(correction_coefficient(kCorrectionPlus, 0x8000), 32768);
}

TEST(CorrectionPointLine, FixedWidthsAndAnUnwrappedDifference) {
  EXPECT_EQ(correction_point_line(3, 10, 25), "00003.|000000030|000000025|000000005|\r\n");
  EXPECT_EQ(correction_point_line(16000, 32768, 0), "16000.|524288000|000000000|524288000|\r\n");
  // 10 - INT32_MIN does not fit 32 bits; it must not come out as a small negative.
  EXPECT_EQ(correction_point_line(1, 10, INT32_MIN), "00001.|000000010|-2147483648|2147483658|\r\n");
}

TEST_F(Correction, PointsComeInBlocksOfAThousand) {
  struct Case {
    int points;
    int blocks;
  } cases[] = {{999, 1}, {1000, 1}, {1001, 2}, {16000, 16}};
  for (const auto& c : cases) {
    unit.ClearFrames();
    corr->SetTable(0x0A, 3, c.points);
    ASSERT_TRUE(ReadCorrectionTable(kCorrectionPlus)) << c.points;
    const std::string file = dir.read(kPlusFile);
    std::filesystem::remove(dir.file(kPlusFile));
    ASSERT_EQ(frames().size(), size_t(c.blocks) + 1) << c.points;
    EXPECT_EQ(frames().back()[5], c.blocks) << c.points;
    const std::vector<std::string> lines = PointLines(file);
    ASSERT_EQ(lines.size(), size_t(c.points)) << c.points;
    // Every line belongs to its point, across the block boundaries too.
    const auto values = sim::sample_reference_values(3, c.points);
    for (int p : {1, 1000, 1001, c.points}) {
      if (p <= c.points) {
        EXPECT_EQ(lines[size_t(p - 1)] + "\r\n", correction_point_line(p, 3, values[size_t(p - 1)])) << c.points;
      }
    }
  }
  EXPECT_TRUE(rec.messages.empty());
}

TEST_F(Correction, BadSummariesEndWithoutAFile) {
  struct Case {
    int points;
    const char* text;
  } cases[] = {
      {0, "set_point == 0 (нет точек)"},
      {16001, "n > 15"},
      {32767, "n > 15"},
      {-999, "n < 0"},
      {-5, "n < 0"},  // no table has a negative number of points
  };
  for (const auto& c : cases) {
    rec.messages.clear();
    unit.ClearFrames();
    corr->table(0x0A).points = int16_t(c.points);
    EXPECT_FALSE(ReadCorrectionTable(kCorrectionPlus));
    ASSERT_EQ(rec.messages.size(), 1u) << c.points;
    EXPECT_EQ(rec.messages[0].text, c.text);
    EXPECT_EQ(rec.messages[0].caption, "Korsync");
    EXPECT_EQ(rec.messages[0].icon, Icon::Error);
    EXPECT_EQ(frames().size(), 1u) << c.points;  // the summary request only
  }
  EXPECT_FALSE(dir.exists("kor_correction"));
  EXPECT_TRUE(rec.prompts.empty());
}

TEST_F(Correction, SummaryOfOtherThanFourBytesIsTheSpeedWarning) {
  unit.Inject({sim::FaultKind::Cut, 0x08, 0, 1, 3});
  unit.Inject({sim::FaultKind::NoAnswer, 0x08});
  for (int i = 0; i < 2; ++i) EXPECT_FALSE(ReadCorrectionTable(kCorrectionPlus));
  ASSERT_EQ(rec.messages.size(), 2u);
  for (const auto& m : rec.messages) {
    EXPECT_EQ(m.text, "Выберите в меню 'Режим обмена с ПК' \nи проверьте скорость передачи");
    EXPECT_EQ(m.icon, Icon::Warning);
  }
  EXPECT_FALSE(dir.exists("kor_correction"));
}

TEST_F(Correction, LateBlockIsWaitedForAndComplete) {
  corr->SetTable(0x0A, 10, 1500);
  corr->blockDelayUs = 1200000;  // well after the 417 ms wait
  EXPECT_TRUE(ReadCorrectionTable(kCorrectionPlus));
  std::vector<std::string> lines = PointLines(dir.read(kPlusFile));
  ASSERT_EQ(lines.size(), 1500u);
  const auto values = sim::sample_reference_values(10, 1500);
  for (int p : {1, 1000, 1001, 1500})
    EXPECT_EQ(lines[size_t(p - 1)] + "\r\n", correction_point_line(p, 10, values[size_t(p - 1)])) << p;
  EXPECT_TRUE(rec.messages.empty());
}

TEST_F(Correction, UnitThatStopsMidTableLeavesNoFile) {
  corr->SetTable(0x0A, 10, 1500);
  unit.Inject({sim::FaultKind::Cut, 0x08, 1, 1, 2001});  // block 1: 500 values and a byte
  EXPECT_FALSE(ReadCorrectionTable(kCorrectionPlus));
  ASSERT_EQ(rec.messages.size(), 1u);
  EXPECT_EQ(rec.messages[0].text, "count_data == 0");
  EXPECT_EQ(rec.messages[0].icon, Icon::Error);
  EXPECT_FALSE(dir.exists(kPlusFile));
  EXPECT_EQ(frames().size(), 2u);  // block 2 is never asked for
  EXPECT_LT(clock.slept_ms(), 100u + 417u + 2100u);  // the wait for the missing value is bounded
  EXPECT_EQ(rec.positions.back(), 0);
}

TEST_F(Correction, SecondReadGetsANumberedFileAndKeepsTheFirst) {
  Table(0x0B, 5, 1, {4});
  ASSERT_TRUE(ReadCorrectionTable(kCorrectionMinus));
  const std::string first = dir.read(kMinusFile);
  Table(0x0B, 6, 1, {4});
  ASSERT_TRUE(ReadCorrectionTable(kCorrectionMinus));
  EXPECT_EQ(dir.read(kMinusFile), first);
  EXPECT_NE(dir.read("kor_correction/kor_correction-(1).txt").find("коэффициент_деления:00006|"), std::string::npos);
}

TEST_F(Correction, PortHeldElsewhereCannotBeOpened) {
  CRs232 rs;
  ASSERT_EQ(rs.OpenComport(5, 200000, nullptr), 0);
  EXPECT_FALSE(ReadCorrectionTable(kCorrectionPlus));
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Не удалось открыть порт"});
  EXPECT_EQ(rec.messages[0].icon, Icon::Error);
  EXPECT_TRUE(frames().empty());
  EXPECT_EQ(rec.positions, std::vector<int>{0});
}

class ControlText : public SimTest {};

TEST_F(ControlText, FrameCarriesNineCharactersAtMost) {
  uint8_t f[kTextFrameSize];
  build_text_frame(f, "AB");
  EXPECT_EQ(to_hex({f, f + kTextFrameSize}), "00 08 01 0C 0C 0C 0C 08 41 42 00 00 00 00 00 00 00 00");
  build_text_frame(f, "ABCDEFGHIJKL");
  EXPECT_EQ(to_hex({f + 8, f + kTextFrameSize}), "41 42 43 44 45 46 47 48 49 00");
  build_text_frame(f, "Пуск");
  EXPECT_EQ(to_hex({f + 8, f + 13}), "CF F3 F1 EA 00");
}

TEST_F(ControlText, PuskSendsOneFrameAndClosesThePort) {
  EXPECT_TRUE(SendControlText("AB", nullptr));
  auto* corr = unit.Find<sim::CorrectionService>();
  ASSERT_EQ(corr->textFrames.size(), 1u);
  EXPECT_EQ(to_hex(corr->textFrames[0]), "00 08 01 0C 0C 0C 0C 08 41 42 00 00 00 00 00 00 00 00");
  EXPECT_EQ(driver.opens, 1);
  EXPECT_EQ(driver.closes, 1);
  EXPECT_EQ(clock.slept_ms(), 0u);
  EXPECT_TRUE(rec.messages.empty());
}

TEST_F(ControlText, PortAndWriteFailuresAreReported) {
  {
    CRs232 held;
    ASSERT_EQ(held.OpenComport(5, 200000, nullptr), 0);
    EXPECT_FALSE(SendControlText("AB", nullptr));
  }
  driver.faults.writeFails = true;
  EXPECT_FALSE(SendControlText("AB", nullptr));
  EXPECT_EQ(rec.MessageTexts(),
            (std::vector<std::string>{"ComPort is busy", "Связь потеряна, переподключите кабель"}));
  EXPECT_EQ(driver.abandoned, 1);
  EXPECT_TRUE(unit.Find<sim::CorrectionService>()->textFrames.empty());
}

TEST_F(Correction, FastModeWritesTheSameFileSooner) {
  std::vector<int32_t> values(1500);
  for (size_t i = 0; i < values.size(); ++i) values[i] = int32_t(i * 3 - 700);
  Table(0x0A, 12, 1500, values);
  std::string files[2];
  uint64_t took[2];
  for (int fast = 0; fast < 2; ++fast) {
    TempDir folder;
    std::strcpy(app().dataFolder, folder.path().c_str());
    app().fastMode = fast;
    const uint64_t start = clock.NowUs();
    EXPECT_TRUE(ReadCorrectionTable(kCorrectionPlus));
    took[fast] = clock.NowUs() - start;
    files[fast] = folder.read(kPlusFile);
  }
  EXPECT_FALSE(files[0].empty());
  EXPECT_EQ(files[1], files[0]);
  EXPECT_LT(took[1], took[0]);
}

}  // namespace
}  // namespace kor
