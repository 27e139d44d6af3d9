#include "app/settings.h"

#include <gtest/gtest.h>

#include <cstring>

#include "app/app_state.h"
#include "app/file_system.h"
#include "support/temp_dir.h"

namespace kor {
namespace {

class IniSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_app_state();
    file = dir.file("cfg/settings.ini");
    set_settings_file(file);
  }
  void TearDown() override {
    set_settings_file("");
    reset_app_state();
  }
  test::TempDir dir;
  std::string file;
};

TEST_F(IniSettings, OnlyEverydaySpeedsAreRestored) {
  struct Case {
    int stored;
    int used;
  } cases[] = {{115200, 115200}, {200000, 200000}, {2000000, 200000}, {9600, 200000}};
  for (const Case& c : cases) {
    app().speed = 200000;
    WriteSpeedSetting(c.stored);
    ReadSpeedSetting();
    EXPECT_EQ(app().speed, c.used) << c.stored;
  }
}

TEST_F(IniSettings, DataFolderRoundTripAndDefaults) {
  std::strcpy(app().dataFolder, "/start");
  ReadDataFolderSetting();  // no file yet
  EXPECT_STREQ(app().dataFolder, "/start");
  ReadSpeedSetting();
  EXPECT_EQ(app().speed, 200000);

  WriteDataFolderSetting("/data/kor files");
  WriteSpeedSetting(115200);
  ReadDataFolderSetting();
  EXPECT_STREQ(app().dataFolder, "/data/kor files");
  EXPECT_EQ(dir.read("cfg/settings.ini"),
            "[Korsync]\nm_path=/data/kor files\nm_path size in bytes=16\nbdrate=115200\n");
}

TEST_F(IniSettings, HandWrittenFileIsReadAndKeptOnWrite) {
  dir.write("hand.ini",
            "; mine\n[Other]\nbdrate=115200\n\n[Korsync]\n  bdrate = 115200 \nm_path=\n\n[Tail]\nx=1\n");
  set_settings_file(dir.file("hand.ini"));
  std::strcpy(app().dataFolder, "/start");
  ReadSpeedSetting();
  EXPECT_EQ(app().speed, 115200);
  ReadDataFolderSetting();  // an empty m_path names no folder
  EXPECT_STREQ(app().dataFolder, "/start");
  WriteSpeedSetting(200000);
  WriteDataFolderSetting("/d");
  EXPECT_EQ(dir.read("hand.ini"),
            "; mine\n[Other]\nbdrate=115200\n\n[Korsync]\nbdrate=200000\nm_path=/d\nm_path size in bytes=3\n\n"
            "[Tail]\nx=1\n");
}

TEST_F(IniSettings, GarbledNumbersAndLongPathsAreIgnored) {
  dir.write("bad.ini", "[Korsync]\nbdrate=115200x\nm_path=" + std::string(300, 'a') + "\n");
  set_settings_file(dir.file("bad.ini"));
  std::strcpy(app().dataFolder, "/start");
  ReadSpeedSetting();
  ReadDataFolderSetting();
  EXPECT_EQ(app().speed, 200000);
  EXPECT_STREQ(app().dataFolder, "/start");
}

TEST_F(IniSettings, StartUpTakesTheCurrentDirectoryAndRegistersNothingHere) {
  SettingsStartUp("/opt/korsync/korsync");
  EXPECT_EQ(std::string(app().dataFolder), fsys::current_dir());
  EXPECT_FALSE(app().registeredDefault);
  EXPECT_FALSE(dir.exists("cfg/settings.ini"));
}

}  // namespace
}  // namespace kor
