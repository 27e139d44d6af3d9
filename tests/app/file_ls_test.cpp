#include "app/file_ls.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "app/file_system.h"
#include "support/recorder.h"
#include "support/temp_dir.h"

namespace kor {
namespace {

using test::Recorder;
using test::TempDir;

class FileLs : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_app_state();
    std::strcpy(app().dataFolder, dir.path().c_str());
    set_operator(&rec);
  }
  void TearDown() override {
    set_operator(nullptr);
    reset_app_state();
  }
  std::string sub(const char* name) const { return std::string("kor_programs") + fsys::kSep + name; }

  TempDir dir;
  Recorder rec;
};

TEST_F(FileLs, SecondSaveGetsANumberedNameAndLeavesTheFirst) {
  EXPECT_TRUE(SaveNewFile("kor_programs", "kor_program_001", "txt", "one", 3));
  EXPECT_TRUE(SaveNewFile("kor_programs", "kor_program_001", "txt", "two", 3));
  EXPECT_EQ(dir.read("kor_programs/kor_program_001.txt"), "one");
  EXPECT_EQ(dir.read("kor_programs/kor_program_001(1).txt"), "two");
  ASSERT_EQ(rec.prompts.size(), 2u);
  EXPECT_EQ(rec.prompts[1].text, "Файл сохранен: " + dir.file(sub("kor_program_001(1).txt")) + ".\nОткрыть папку?");
  EXPECT_EQ(rec.prompts[1].caption, "KorSync");
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(dir.path()));
}

TEST_F(FileLs, AllNumberedNamesTakenFailsAndChangesNothing) {
  std::filesystem::create_directories(dir.path() + "/kor_programs");
  dir.write("kor_programs/kor_program_001.txt", "orig");
  for (int n = 1; n <= 255; ++n) dir.write("kor_programs/kor_program_001(" + std::to_string(n) + ").txt", "x");
  EXPECT_FALSE(SaveNewFile("kor_programs", "kor_program_001", "txt", "new", 3));
  ASSERT_EQ(rec.messages.size(), 1u);
  EXPECT_EQ(rec.messages[0].text, "Не удалось создать файл");
  EXPECT_EQ(rec.messages[0].caption, "File_ls::CreateNewFile");
  EXPECT_TRUE(rec.prompts.empty());  // nothing was saved, so nothing is announced
  EXPECT_EQ(dir.read("kor_programs/kor_program_001.txt"), "orig");
  EXPECT_EQ(dir.read("kor_programs/kor_program_001(255).txt"), "x");
  EXPECT_FALSE(dir.exists("kor_programs/kor_program_001(256).txt"));
}

TEST_F(FileLs, BackupDispositionReplacesWithoutPrompt) {
  for (const char* content : {"first backup", "2nd"}) {
    File_ls f;
    ASSERT_EQ(f.CreateNewFile("kor_backup", "kor_backup_eeprom", "koreep", app().dataFolder, nullptr,
                              Disposition::CreateOrTruncate), 1);
    EXPECT_EQ(f.WriteAll(content, std::strlen(content)), 0);
  }
  EXPECT_EQ(dir.read("kor_backup/kor_backup_eeprom.koreep"), "2nd");
  EXPECT_FALSE(dir.exists("kor_backup/kor_backup_eeprom(1).koreep"));
}

TEST_F(FileLs, SubFolderThatCannotBeMadeIsReportedAsCreateFailure) {
  dir.write("kor_programs", "a file where the folder should be");
  EXPECT_FALSE(SaveNewFile("kor_programs", "kor_program_001", "txt", "x", 1));
  ASSERT_EQ(rec.messages.size(), 1u);
  EXPECT_EQ(rec.messages[0].text, "Не удалось создать файл");
  EXPECT_TRUE(rec.prompts.empty());
}

TEST_F(FileLs, MissingDataFolderFailsInsteadOfSavingElsewhere) {
  const std::string gone = dir.file("gone");
  std::strcpy(app().dataFolder, gone.c_str());
  const auto cwd = std::filesystem::current_path();
  EXPECT_FALSE(SaveNewFile("kor_programs", "kor_program_001", "txt", "x", 1));
  ASSERT_EQ(rec.messages.size(), 1u);
  EXPECT_EQ(rec.messages[0].text, "Не удалось создать файл");
  EXPECT_TRUE(rec.prompts.empty());
  EXPECT_FALSE(std::filesystem::exists(cwd / "kor_programs"));
}

TEST_F(FileLs, OverlongPathIsRefusedNotCut) {
  std::string deep = dir.path() + "/" + std::string(120, 'd') + "/" + std::string(120, 'e');
  std::filesystem::create_directories(deep);
  std::strcpy(app().dataFolder, deep.c_str());
  EXPECT_FALSE(SaveNewFile("kor_programs", "kor_program_001", "txt", "x", 1));
  ASSERT_EQ(rec.messages.size(), 1u);
  EXPECT_NE(rec.messages[0].text.find("слишком длинный путь"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(deep + "/kor_programs"));
}

TEST_F(FileLs, ReadAllGivesTheWholeFileOrSaysItCannot) {
  dir.write("empty.txt", "");
  dir.write("prog.txt", std::string("%T\r\nG1\x00\xFF", 9));
  File_ls empty(dir.file("empty.txt").c_str());
  EXPECT_EQ(empty.ReadAll(), 0);
  EXPECT_TRUE(empty.data().empty());
  File_ls prog(dir.file("prog.txt").c_str());
  EXPECT_EQ(prog.ReadAll(), 0);
  EXPECT_EQ(std::string(prog.data().begin(), prog.data().end()), std::string("%T\r\nG1\x00\xFF", 9));
  EXPECT_TRUE(rec.messages.empty());

  File_ls gone(dir.file("gone.txt").c_str());
  EXPECT_EQ(gone.ReadAll(), -1);
  EXPECT_TRUE(gone.data().empty());
  ASSERT_EQ(rec.messages.size(), 1u);
  EXPECT_EQ(rec.messages[0].text, "Не удалось открыть файл");
}

TEST_F(FileLs, PromptCarriesTheCallersSuffixAfterTheQuestion) {
  app().kind = DataKind::Parameters;
  EXPECT_TRUE(SaveNewFile("kor_parameters", "kor_eeprom", "koreep", "p", 1, "\n3000/4096"));
  ASSERT_EQ(rec.prompts.size(), 1u);
  std::string want = "Файл сохранен: " + dir.file(std::string("kor_parameters") + fsys::kSep + "kor_eeprom.koreep") +
                     ".\nОткрыть папку?\n3000/4096";
  EXPECT_EQ(rec.prompts[0].text, want);
}

TEST_F(FileLs, OpeningAMissingKindFolderSaysSo) {
  fsys::set_current_dir(dir.path().c_str());
  OpenDataKindFolder(DataKind::Correction);
  ASSERT_EQ(rec.messages.size(), 1u);
  EXPECT_EQ(rec.messages[0].text, "нет папки");
  EXPECT_EQ(rec.messages[0].caption, "KorSync");
  rec.messages.clear();
  OpenDataKindFolder(DataKind::Firmware);  // no folder of its own: nothing at all
  EXPECT_TRUE(rec.messages.empty());
}

}  // namespace
}  // namespace kor
