#include "params/param_file.h"

#include <gtest/gtest.h>

#include <cstring>

#include "params_fixture.h"

namespace kor {
namespace {

using test::ParamsTest;

class ParamFile : public ParamsTest {};

// Where the fields sit in the file: one field of each kind, set in a set and
// found at its offset.
TEST(ParameterSetLayout, FieldsSitAtTheirOffsets) {
  ParameterSet s;
  s.channelAxis[3] = 0xA3;
  s.displayAxis[0] = 0xB0;
  s.channelRecord[1].kindFormat = 0x49;
  s.channelRecord[1].backlash = 0x01020304;
  s.channelRecord[3].kept10[1] = 0xCC;
  s.coefficient[2] = {-2, 7};
  s.workOffset[5][3] = 0x11223344;
  s.workOffset[1][2] = -1;
  s.displayExtra[3] = 0xDD;
  s.brightnessCode = 0xE1;
  s.timeDisplay = 0xE2;
  s.usbSpeed = 0xE3;
  s.reserved[5] = 0xE4;
  s.settingsFlags = 0xE5;
  uint8_t b[kParameterSetSize];
  encode_parameter_set(s, b);
  EXPECT_EQ(b[3], 0xA3);
  EXPECT_EQ(b[4], 0xB0);
  EXPECT_EQ(b[8 + 12], 0x49);
  EXPECT_EQ(b[8 + 12 + 4], 0x04);
  EXPECT_EQ(b[8 + 12 + 7], 0x01);
  EXPECT_EQ(b[8 + 36 + 11], 0xCC);
  EXPECT_EQ(b[56 + 10], 0xFE);  // mantissa -2, little-endian
  EXPECT_EQ(b[56 + 13], 0xFF);
  EXPECT_EQ(b[56 + 14], 7);
  EXPECT_EQ(b[76 + 4 * (5 * 4 + 3)], 0x44);
  EXPECT_EQ(b[76 + 4 * (1 * 4 + 2) + 3], 0xFF);
  EXPECT_EQ(b[175], 0xDD);
  EXPECT_EQ(b[176], 0xE1);
  EXPECT_EQ(b[177], 0xE2);
  EXPECT_EQ(b[178], 0xE3);
  EXPECT_EQ(b[184], 0xE4);
  EXPECT_EQ(b[185], 0xE5);
  const ParameterSet back = decode_parameter_set(b);
  EXPECT_EQ(back.coefficient[2].mantissa, -2);
  EXPECT_EQ(back.workOffset[5][3], 0x11223344);
  EXPECT_EQ(back.channelRecord[1].format(), 9);
}

TEST_F(ParamFile, RepairsAreWrittenIntoTheFileBeforeItLoads) {
  struct Case {
    uint8_t brightness, time, usb;
    uint8_t wantBrightness, wantTime, wantUsb;
  } cases[] = {
      {0, 0, 1, 25, 0, 1},
      {51, 1, 2, 25, 1, 2},
      {26, 2, 0, 26, 0, 1},
      {1, 1, 3, 1, 1, 1},
  };
  const std::string tail = std::string(3910, '\x5A') + "461 V2.15";
  for (const Case& c : cases) {
    ParameterSet s = configured();
    s.brightnessCode = c.brightness;
    s.timeDisplay = c.time;
    s.usbSpeed = c.usb;
    dir.write("p.koreep", file_bytes(s, tail));
    ASSERT_EQ(LoadParameterFile(dir.file("p.koreep").c_str()), 1);
    const std::string after = dir.read("p.koreep");
    ASSERT_EQ(after.size(), 186u + tail.size());
    EXPECT_EQ(uint8_t(after[176]), c.wantBrightness);
    EXPECT_EQ(uint8_t(after[177]), c.wantTime);
    EXPECT_EQ(uint8_t(after[178]), c.wantUsb);
    EXPECT_EQ(after.substr(0, 176), file_bytes(s).substr(0, 176));
    EXPECT_EQ(after.substr(186), tail);
    EXPECT_EQ(param_set().brightnessCode, c.wantBrightness);
  }
  EXPECT_TRUE(rec.messages.empty());
}

TEST_F(ParamFile, AxisCodeAbove13IsRefusedAndTheOpenSetStays) {
  ParameterSet open = configured();
  open.workOffset[0][0] = 777;
  param_set() = open;
  ParameterSet bad = configured();
  bad.channelAxis[3] = 14;
  dir.write("bad.koreep", file_bytes(bad));
  EXPECT_EQ(OpenParameterFile(dir.file("bad.koreep").c_str()), 0);
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"неверный файл"});
  EXPECT_EQ(rec.messages[0].icon, Icon::Error);
  EXPECT_EQ(file_bytes(param_set()), file_bytes(open));

  bad.channelAxis[3] = kNoAxis;
  bad.displayAxis[3] = 14;
  dir.write("bad.koreep", file_bytes(bad));
  EXPECT_EQ(CheckParameterFile(dir.file("bad.koreep").c_str()), 0);

  bad.displayAxis[3] = kNoAxis;
  dir.write("ok.koreep", file_bytes(bad));
  EXPECT_EQ(CheckParameterFile(dir.file("ok.koreep").c_str()), 1);
}

TEST_F(ParamFile, SaveChangesOnlyTheFirst186Bytes) {
  const std::string tail = std::string(3910, '\xFF') + "версия не определена";
  dir.write("p.koreep", file_bytes(configured(), tail));
  ASSERT_EQ(OpenParameterFile(dir.file("p.koreep").c_str()), 1);
  param_set().workOffset[2][1] = -123456;
  param_set().settingsFlags = 0x05;
  EXPECT_EQ(SaveRememberedParameterFile(), 1);
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Файл сохранен"});
  EXPECT_EQ(dir.read("p.koreep"), file_bytes(param_set(), tail));
}

TEST_F(ParamFile, SaveIntoAVanishedPathMakesA186ByteFile) {
  param_set() = configured();
  EXPECT_EQ(SaveParameterFile(dir.file("new.koreep").c_str()), 1);
  EXPECT_EQ(dir.read("new.koreep"), file_bytes(configured()));

  EXPECT_EQ(SaveParameterFile(dir.file("no-folder/x.koreep").c_str()), 0);
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Не удалось открыть файл для записи"});
}

// A file too short for the layout must not become one by being opened: zeros in
// place of the missing bytes would pass the check and the repair would write them.
TEST_F(ParamFile, FileShorterThanTheLayoutIsRefusedAndLeftAsItIs) {
  const std::string whole = file_bytes(configured());
  ParameterSet open = configured();
  open.workOffset[0][0] = 777;
  for (size_t size : {size_t(0), size_t(4), size_t(100), kParameterSetSize - 1}) {
    SCOPED_TRACE(size);
    const std::string content = whole.substr(0, size);
    dir.write("short.koreep", content);
    param_set() = open;
    rec.messages.clear();
    host.saveButton.clear();
    std::strcpy(remembered_param_file().path, dir.file("short.koreep").c_str());

    EXPECT_EQ(OpenParameterFile(dir.file("short.koreep").c_str()), 0);
    EXPECT_EQ(CheckParameterFile(dir.file("short.koreep").c_str()), 0);
    DropParameterFile({dir.file("short.koreep")});
    ReloadParameterFile();  // the program's command line takes this way

    ASSERT_EQ(rec.MessageTexts(), std::vector<std::string>(4, "неверный файл"));
    EXPECT_EQ(rec.messages[0].icon, Icon::Error);
    EXPECT_EQ(dir.read("short.koreep"), content);
    EXPECT_EQ(file_bytes(param_set()), file_bytes(open));
    EXPECT_EQ(host.saveButton, (std::vector<bool>{false, false}));
    EXPECT_FALSE(remembered_param_file().loaded);
  }
  dir.write("whole.koreep", whole);
  EXPECT_EQ(OpenParameterFile(dir.file("whole.koreep").c_str()), 1);
}

TEST_F(ParamFile, OpenChecksTheNameAndReportsAMissingFile) {
  EXPECT_EQ(OpenParameterFile(dir.file("p.txt").c_str()), 0);
  EXPECT_EQ(OpenParameterFile(dir.file("gone.koreep").c_str()), 0);
  EXPECT_EQ(rec.MessageTexts(),
            (std::vector<std::string>{"Неизвестный формат файла", "Не удалось открыть файл :INVALID_HANDLE_VALUE"}));
  EXPECT_FALSE(remembered_param_file().loaded);

  dir.write("a.b.koreep", file_bytes(configured()));
  EXPECT_EQ(OpenParameterFile(dir.file("a.b.koreep").c_str()), 1);
  EXPECT_TRUE(remembered_param_file().loaded);
  EXPECT_STREQ(remembered_param_file().path, dir.file("a.b.koreep").c_str());
  EXPECT_EQ(host.titles, std::vector<std::string>{"a.b.koreep"});
  EXPECT_EQ(host.saveButton, std::vector<bool>{true});
  EXPECT_EQ(host.treeBuilds, 1);
}

TEST(ParameterFileName, ExtensionIsTheTextAfterTheLastDot) {
  EXPECT_TRUE(is_parameter_file_name("C:\\data\\kor_eeprom(1).koreep"));
  EXPECT_TRUE(is_parameter_file_name("image.bin\""));
  EXPECT_FALSE(is_parameter_file_name("image.BIN"));
  EXPECT_FALSE(is_parameter_file_name("image.koreep.txt"));
  EXPECT_FALSE(is_parameter_file_name("koreep"));
}

TEST_F(ParamFile, DropLoadsOnlyTheLastFile) {
  ParameterSet first = configured(), last = configured();
  last.workOffset[0][0] = 42;
  dir.write("first.koreep", file_bytes(first));
  dir.write("last.bin", file_bytes(last));
  DropParameterFile({dir.file("first.koreep"), dir.file("bad.koreep"), dir.file("last.bin")});
  EXPECT_TRUE(rec.messages.empty());
  EXPECT_EQ(param_set().workOffset[0][0], 42);
  EXPECT_STREQ(remembered_param_file().path, dir.file("last.bin").c_str());
  EXPECT_EQ(host.titles, std::vector<std::string>{"last.bin"});

  DropParameterFile({dir.file("last.bin"), dir.file("notes.txt")});
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Неверный формат файла"});
  EXPECT_STREQ(remembered_param_file().path, dir.file("last.bin").c_str());

  DropParameterFile({dir.file("gone.koreep")});
  EXPECT_EQ(host.saveButton.back(), false);
}

TEST_F(ParamFile, CommandLineFileOpensTheEditorAndClosesOtherCopies) {
  ParameterSet s = configured();
  s.workOffset[3][1] = 5;
  dir.write("cmd.koreep", file_bytes(s));
  const std::string quoted = "\"" + dir.file("cmd.koreep") + "\"";
  TakeCommandLineFile(quoted.c_str());
  EXPECT_EQ(host.editorPosts, 1);
  EXPECT_EQ(host.broadcasts, 1);
  EXPECT_STREQ(app().commandLineFile, dir.file("cmd.koreep").c_str());

  // The editor, once open, loads it.
  ReloadParameterFile();
  EXPECT_TRUE(remembered_param_file().loaded);
  EXPECT_EQ(param_set().workOffset[3][1], 5);
  EXPECT_EQ(host.titles, std::vector<std::string>{"cmd.koreep"});

  // Other texts are no parameter file.
  // The name outlives the list: a temporary's c_str() would dangle in the loop.
  const std::string bin = dir.file("cmd.bin");
  for (const char* text : {"", "\"", bin.c_str(), "-embedding"}) TakeCommandLineFile(text);
  EXPECT_EQ(host.editorPosts, 1);
  EXPECT_EQ(host.broadcasts, 1);
}

TEST_F(ParamFile, ReloadOfAVanishedFileForgetsIt) {
  std::strcpy(remembered_param_file().path, dir.file("gone.koreep").c_str());
  ReloadParameterFile();
  EXPECT_EQ(remembered_param_file().path[0], 0);
  EXPECT_FALSE(remembered_param_file().loaded);
  EXPECT_EQ(host.saveButton, std::vector<bool>{false});
}

}  // namespace
}  // namespace kor
