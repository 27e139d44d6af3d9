#include "params/param_memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <regex>

#include "app/file_system.h"
#include "link/rs232.h"
#include "protocol/clock.h"
#include "protocol/frames.h"
#include "protocol/transactions.h"
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
  int memory_requests() const {
    int n = 0;
    for (const auto& f : frames())
      if (to_hex(f) == "00 08 01 04 04 04 04 04") ++n;
    return n;
  }
  // The dated copies beside the backup, by name, with their bytes.
  std::map<std::string, std::string> dated_copies() const {
    std::map<std::string, std::string> out;
    const std::filesystem::path folder = std::filesystem::path(dir.path()) / "kor_backup";
    if (!std::filesystem::exists(folder)) return out;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
      const std::string name = e.path().filename().string();
      if (name != "kor_backup_eeprom.koreep") out[name] = dir.read(sub("kor_backup", name.c_str()));
    }
    return out;
  }
  std::string backup() const { return dir.read(sub("kor_backup", "kor_backup_eeprom.koreep")); }
  static std::string text(const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); }
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

// The answer has no checksum: one spoilt answer must not reach the file, and a
// line that spoils every answer differently must save nothing.
TEST_F(ParamMemory, ReadKeepsTheMemoryOnlyWhenTwoReadsAgree) {
  const sim::Fault wrongByte{sim::FaultKind::WrongByte, 0x04};
  const sim::Fault cut{sim::FaultKind::Cut, 0x04, 0, 1, 3000};
  const sim::Fault swap{sim::FaultKind::Swap, 0x04};
  sim::Fault secondWrong = wrongByte;
  secondWrong.skip = 1;
  struct Case {
    const char* what;
    std::vector<sim::Fault> faults;
    int requests;
    bool saved;
  } cases[] = {
      {"clean line", {}, 2, true},
      {"first answer spoilt", {wrongByte}, 3, true},
      {"second answer spoilt", {secondWrong}, 3, true},
      {"first answer cut", {cut}, 3, true},
      {"every answer different", {wrongByte, cut, swap}, 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir own;
    std::strcpy(app().dataFolder, own.path().c_str());
    unit.ClearFrames();
    rec.messages.clear();
    rec.prompts.clear();
    const uint64_t slept = clock.slept_ms();
    for (const sim::Fault& f : c.faults) unit.Inject(f);

    ReadParameterMemory();

    EXPECT_EQ(memory_requests(), c.requests);
    // Each read keeps its own wait; the version query follows a good one.
    EXPECT_EQ(clock.slept_ms() - slept, kLinkCheckWait + c.requests * kParamReadWait + (c.saved ? kVersionWait : 0));
    const std::string file = own.read(sub("kor_parameters", "kor_eeprom.koreep"));
    if (c.saved) {
      EXPECT_EQ(file.substr(0, 4096), text(memory));
      ASSERT_EQ(rec.prompts.size(), 1u);
      EXPECT_EQ(rec.prompts[0].text.substr(rec.prompts[0].text.size() - 10), "\n4096/4096");
      EXPECT_TRUE(rec.messages.empty());
    } else {
      EXPECT_FALSE(own.exists("kor_parameters"));
      EXPECT_TRUE(rec.prompts.empty());
      ASSERT_EQ(rec.messages.size(), 1u);
      EXPECT_EQ(rec.messages[0].icon, Icon::Warning);
      EXPECT_EQ(rec.positions.back(), 0);
    }
  }
}

// A backup made of a spoilt read would be restored as the unit's memory; with
// no two reads agreeing there is no backup and so no write.
TEST_F(ParamMemory, BackupAndWriteNeedTwoReadsThatAgree) {
  select("p.koreep", std::string(4096, '\x11'));
  unit.Inject({sim::FaultKind::WrongByte, 0x04});
  WriteParametersCommand();
  EXPECT_EQ(backup(), text(memory));
  EXPECT_EQ(memory_requests(), 3);
  EXPECT_EQ(unit.paramMemory, std::vector<uint8_t>(4096, 0x11));

  const std::string before = backup();
  const auto copies = dated_copies();
  unit.paramMemory = memory;
  unit.ClearFrames();
  rec.messages.clear();
  const uint64_t slept = clock.slept_ms();
  unit.Inject({sim::FaultKind::WrongByte, 0x04});
  unit.Inject({sim::FaultKind::Cut, 0x04, 0, 1, 4080});
  unit.Inject({sim::FaultKind::Swap, 0x04});
  WriteParametersCommand();
  EXPECT_EQ(memory_requests(), 3);
  EXPECT_EQ(clock.slept_ms() - slept, kLinkCheckWait + 3 * kParamBackupWait);
  EXPECT_TRUE(param_frames().empty());
  EXPECT_EQ(unit.paramMemory, memory);
  EXPECT_EQ(backup(), before);
  EXPECT_EQ(dated_copies(), copies);
  ASSERT_EQ(rec.messages.size(), 1u);
  EXPECT_EQ(rec.messages[0].icon, Icon::Warning);
  EXPECT_EQ(rec.texts.back(), " ");
}

// Restoring the unit from its own backup: the backup step must neither replace
// what is about to be sent nor lose the file it replaces.
TEST_F(ParamMemory, RestoringFromTheBackupSendsItsBytesAndKeepsItDated) {
  std::filesystem::create_directories(dir.file("kor_backup"));
  std::string saved(4096, '\0');
  for (size_t i = 0; i < saved.size(); ++i) saved[i] = char(i * 13 + 5);
  select(sub("kor_backup", "kor_backup_eeprom.koreep"), saved);

  WriteParametersCommand();

  EXPECT_EQ(text(unit.paramMemory), saved);
  EXPECT_EQ(backup(), text(memory));
  const auto copies = dated_copies();
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_TRUE(std::regex_match(copies.begin()->first, std::regex(R"(kor_backup_eeprom_\d{8}-\d{6}\.koreep)")))
      << copies.begin()->first;
  EXPECT_EQ(copies.begin()->second, saved);
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Параметры загружены"});
}

TEST_F(ParamMemory, EachBackupKeepsTheOneItReplaces) {
  // The first backup has nothing to keep.
  EXPECT_EQ(BackupParameterMemory(), 1);
  EXPECT_TRUE(dated_copies().empty());

  // A dated name already taken is never overwritten: the copy is numbered.
  const std::string taken = dated_backup_name(local_now()) + ".koreep";
  dir.write(sub("kor_backup", taken.c_str()), "taken");
  const std::vector<uint8_t> first = unit.paramMemory;
  unit.paramMemory[100] ^= 0xFF;
  EXPECT_EQ(BackupParameterMemory(), 1);
  unit.paramMemory[200] ^= 0xFF;
  EXPECT_EQ(BackupParameterMemory(), 1);

  EXPECT_EQ(backup(), text(unit.paramMemory));
  auto copies = dated_copies();
  ASSERT_EQ(copies.size(), 3u);
  EXPECT_EQ(copies[taken], "taken");
  copies.erase(taken);
  std::vector<std::string> kept;
  for (const auto& [name, bytes] : copies) {
    EXPECT_TRUE(std::regex_match(name, std::regex(R"(kor_backup_eeprom_\d{8}-\d{6}(\(\d+\))?\.koreep)"))) << name;
    kept.push_back(bytes);
  }
  std::sort(kept.begin(), kept.end());
  std::vector<uint8_t> second = first;
  second[100] ^= 0xFF;
  std::vector<std::string> want{text(first), text(second)};
  std::sort(want.begin(), want.end());
  EXPECT_EQ(kept, want);
  EXPECT_TRUE(rec.messages.empty());
}

TEST(DatedBackupName, CarriesDateAndTimeWithLeadingZeros) {
  const LocalDateTime t{2026, 3, 7, 6, 4, 5, 9, 0};
  EXPECT_EQ(dated_backup_name(t), "kor_backup_eeprom_20260307-040509");
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

// Fast mode takes the memory as soon as all 4096 bytes are in, and judges a
// short memory exactly as the default does, after the same wait.
TEST_F(ParamMemory, FastModeGivesTheSameFilesAndWarnings) {
  unit.config().emulateWire = true;
  struct Case {
    size_t served;
    bool readMuchSooner;  // the whole memory came: the wait ends early
  } cases[] = {{4096, true}, {4072, false}, {3000, false}, {1, false}};
  for (const Case& c : cases) {
    unit.paramServe = c.served;
    std::string files[2], backups[2];
    std::vector<std::string> said[2];
    uint64_t took[2];
    for (int fast = 0; fast < 2; ++fast) {
      test::TempDir folder;
      std::strcpy(app().dataFolder, folder.path().c_str());
      app().fastMode = fast;
      rec.messages.clear();
      const uint64_t start = clock.NowUs();
      ReadParameterMemory();
      took[fast] = clock.NowUs() - start;
      BackupParameterMemory();
      said[fast] = rec.MessageTexts();
      files[fast] = folder.read(sub("kor_parameters", "kor_eeprom.koreep"));
      backups[fast] = folder.read(sub("kor_backup", "kor_backup_eeprom.koreep"));
    }
    EXPECT_EQ(files[1], files[0]) << c.served;
    EXPECT_EQ(backups[1], backups[0]) << c.served;
    EXPECT_EQ(said[1], said[0]) << c.served;
    EXPECT_EQ(took[1] * 2 < took[0], c.readMuchSooner) << c.served;
  }
}

}  // namespace
}  // namespace kor
