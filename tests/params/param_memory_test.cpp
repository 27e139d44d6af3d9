#include "params/param_memory.h"

#include <gtest/gtest.h>

#include <cstring>

#include "app/file_system.h"
#include "link/rs232.h"
#include "protocol/frames.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

namespace kor {
namespace {

using test::hex;
using test::to_hex;

const char kModeWarning[] = "Выберите в меню 'Режим обмена с ПК' \nи проверьте скорость передачи";

class ParamMemory : public test::SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    std::strcpy(app().dataFolder, dir.path().c_str());
    app().kind = DataKind::Parameters;
    // A memory whose every block differs, so a misplaced block shows.
    for (size_t i = 0; i < unit.paramMemory.size(); ++i) unit.paramMemory[i] = uint8_t(i * 7 + i / 256);
    memory = unit.paramMemory;
  }

  std::string sub(const char* folder, const char* name) const { return std::string(folder) + fsys::kSep + name; }
  void select(const std::string& name, const std::string& bytes) {
    dir.write(name, bytes);
    std::strcpy(app().selectedFile, dir.file(name).c_str());
  }
  std::vector<std::vector<uint8_t>> param_frames() const {
    std::vector<std::vector<uint8_t>> out;
    for (const auto& f : frames())
      if (f.size() == kParamFrameSize) out.push_back(f);
    return out;
  }

  test::TempDir dir;
  std::vector<uint8_t> memory;
};

TEST_F(ParamMemory, ReadStoresTheWholeMemoryFollowedByTheVersionText) {
  unit.config().versionText = "461 V2.15";
  ReadParameterMemory();
  EXPECT_EQ(to_hex(frames()[1]), "00 08 01 04 04 04 04 04");
  const std::string file = dir.read(sub("kor_parameters", "kor_eeprom.koreep"));
  EXPECT_EQ(file, std::string(memory.begin(), memory.end()) + "461 V2.15");
  ASSERT_EQ(rec.prompts.size(), 1u);
  EXPECT_EQ(rec.prompts[0].text.substr(rec.prompts[0].text.size() - 10), "\n4096/4096");
  EXPECT_TRUE(rec.messages.empty());
  EXPECT_EQ(rec.positions.back(), 0);

  // A second read makes a second file beside the first.
  ReadParameterMemory();
  EXPECT_TRUE(dir.exists(sub("kor_parameters", "kor_eeprom(1).koreep")));
}

TEST_F(ParamMemory, ShortReadIsPaddedWithFFAndSaysHowMuchArrived) {
  unit.paramServe = 3000;
  unit.config().model = 0;  // no version answer
  ReadParameterMemory();
  const std::string file = dir.read(sub("kor_parameters", "kor_eeprom.koreep"));
  ASSERT_EQ(file.size(), 4096u + std::strlen("версия не определена"));
  EXPECT_EQ(file.substr(0, 3000), std::string(memory.begin(), memory.begin() + 3000));
  EXPECT_EQ(file.substr(3000, 1096), std::string(1096, '\xFF'));
  EXPECT_EQ(file.substr(4096), "версия не определена");
  ASSERT_EQ(rec.prompts.size(), 1u);
  const std::string& p = rec.prompts[0].text;
  EXPECT_EQ(p.substr(p.size() - 10), "\n3000/4096");
}

TEST_F(ParamMemory, ReadOfOneByteWarnsAndMakesNoFile) {
  unit.paramServe = 1;
  ReadParameterMemory();
  ASSERT_EQ(rec.MessageTexts(), std::vector<std::string>{kModeWarning});
  EXPECT_EQ(rec.messages[0].icon, Icon::Warning);
  EXPECT_FALSE(dir.exists("kor_parameters"));
  EXPECT_EQ(clock.slept_ms(), 18u + 550u);
}

TEST_F(ParamMemory, BackupNeedsAtLeast4072Bytes) {
  unit.paramServe = 4071;
  EXPECT_EQ(BackupParameterMemory(), 0);
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{kModeWarning});
  EXPECT_FALSE(dir.exists("kor_backup"));
  EXPECT_EQ(rec.texts.front(), "резервирование...");
  EXPECT_EQ(rec.texts.back(), " ");

  rec.messages.clear();
  unit.paramServe = 4072;
  EXPECT_EQ(BackupParameterMemory(), 1);
  EXPECT_TRUE(rec.messages.empty());
  EXPECT_TRUE(rec.prompts.empty());  // a backup asks nothing
  EXPECT_EQ(dir.read(sub("kor_backup", "kor_backup_eeprom.koreep")), std::string(memory.begin(), memory.begin() + 4072));

  // The next backup replaces it.
  unit.paramServe = 4096;
  EXPECT_EQ(BackupParameterMemory(), 1);
  EXPECT_EQ(dir.read(sub("kor_backup", "kor_backup_eeprom.koreep")).size(), 4096u);
}

TEST_F(ParamMemory, BackupThatCannotBeStoredStopsTheWrite) {
  dir.write("kor_backup", "a file where the folder should be");
  select("p.koreep", std::string(186, '\x01'));
  WriteParametersCommand();
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Не удалось создать файл"});
  EXPECT_TRUE(param_frames().empty());
  EXPECT_EQ(unit.paramMemory, memory);
}

TEST_F(ParamMemory, WriteSendsTheFileIn128Blocks65msApart) {
  std::string source(186, '\0');
  for (size_t i = 0; i < source.size(); ++i) source[i] = char(i + 1);
  select("small.bin", source);
  std::vector<uint64_t> pumpedAt;
  rec.onPump = [&] { pumpedAt.push_back(clock.NowUs()); };

  WriteParameterMemory();

  const auto blocks = param_frames();
  ASSERT_EQ(blocks.size(), 128u);
  EXPECT_EQ(frames().size(), 128u);  // no link check, nothing else
  EXPECT_EQ(to_hex({blocks[0].begin(), blocks[0].begin() + 8}), "00 28 02 05 05 00 00 04");
  EXPECT_EQ(to_hex({blocks[127].begin(), blocks[127].begin() + 8}), "00 28 02 05 05 7F 7F 12");
  // 186 bytes of the file, then 3910 bytes of 0xFF.
  std::vector<uint8_t> want(source.begin(), source.end());
  want.resize(4096, 0xFF);
  EXPECT_EQ(unit.paramMemory, want);
  ASSERT_EQ(pumpedAt.size(), 128u);
  for (size_t k = 1; k < pumpedAt.size(); ++k) EXPECT_EQ(pumpedAt[k] - pumpedAt[k - 1], 65000u) << k;
  EXPECT_EQ(clock.slept_ms(), 128u * 65u);
  EXPECT_EQ(rec.ranges.back(), std::make_pair(0, 127));
  EXPECT_EQ(rec.texts[0], "32/4096");
  EXPECT_EQ(rec.texts[127], "4096/4096");
  EXPECT_EQ(rec.texts.back(), " ");
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Параметры загружены"});
  EXPECT_EQ(rec.messages[0].icon, Icon::Information);
}

TEST_F(ParamMemory, FileMadeByAReadGoesBackWithoutItsVersionText) {
  std::vector<uint8_t> saved = memory;
  ReadParameterMemory();
  const std::string file = dir.read(sub("kor_parameters", "kor_eeprom.koreep"));
  ASSERT_GT(file.size(), 4096u);
  std::fill(unit.paramMemory.begin(), unit.paramMemory.end(), 0);
  select("back.koreep", file);
  unit.ClearFrames();
  rec.messages.clear();

  WriteParametersCommand();

  EXPECT_EQ(unit.paramMemory, saved);
  // The backup holds what the unit had before the write.
  EXPECT_EQ(dir.read(sub("kor_backup", "kor_backup_eeprom.koreep")), std::string(4096, '\0'));
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Параметры загружены"});
}

TEST_F(ParamMemory, WriteRunsOnlyAfterAGoodBackup) {
  select("p.koreep", std::string(4096, '\x11'));
  unit.paramServe = 4071;
  WriteParametersCommand();
  EXPECT_TRUE(param_frames().empty());
  EXPECT_EQ(unit.paramMemory, memory);
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{kModeWarning});
}

// An empty or unreadable source padded with 0xFF would wipe the unit: nothing
// is sent, not even the backup's request.
TEST_F(ParamMemory, EmptyOrMissingSourceIsRefusedBeforeAnythingIsSent) {
  select("empty.koreep", "");
  WriteParametersCommand();
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Файл параметров пуст, в КОР ничего не отправлено"});
  EXPECT_EQ(rec.messages[0].icon, Icon::Error);

  rec.messages.clear();
  std::strcpy(app().selectedFile, dir.file("gone.koreep").c_str());
  WriteParametersCommand();
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Не удалось открыть файл"});

  rec.messages.clear();
  select("empty.bin", "");
  WriteParameterMemory();  // called alone, it refuses too
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Файл параметров пуст, в КОР ничего не отправлено"});

  EXPECT_TRUE(frames().empty());
  EXPECT_EQ(unit.paramMemory, memory);
  EXPECT_FALSE(dir.exists("kor_backup"));
}

TEST_F(ParamMemory, LostLinkStopsTheWriteAtTheFailedBlock) {
  select("p.koreep", std::string(4096, '\x22'));
  rec.onPump = [&] {
    if (rec.pumps == 10) driver.faults.writeFails = true;
  };
  WriteParameterMemory();
  EXPECT_EQ(param_frames().size(), 10u);
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Связь потеряна, переподключите кабель"});
  EXPECT_EQ(rec.positions.back(), 0);
  EXPECT_EQ(rec.texts.back(), " ");
  EXPECT_EQ(driver.abandoned, 1);
}

TEST_F(ParamMemory, BusyPortRefusesAllThree) {
  CRs232 other;
  ASSERT_EQ(OpenAppPort(other), 0);
  select("p.koreep", std::string(4096, '\x22'));
  ReadParameterMemory();
  EXPECT_EQ(BackupParameterMemory(), 0);
  WriteParameterMemory();
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>(3, "Com порт занят"));
  other.Close();
  EXPECT_TRUE(frames().empty());
}

TEST(ParameterImage, IsPaddedWithFFOrCut) {
  EXPECT_EQ(make_parameter_image({1, 2})[2], 0xFF);
  std::vector<uint8_t> big(5000, 0x33);
  big[4095] = 0x44;
  const ParameterImage img = make_parameter_image(big);
  EXPECT_EQ(img[4095], 0x44);
}

}  // namespace
}  // namespace kor
