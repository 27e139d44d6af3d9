#include "unit/unit_check.h"

#include <gtest/gtest.h>

#include "params/param_memory.h"
#include "params/param_view.h"
#include "sim/parameters.h"
#include "transfer/download_title.h"
#include "transfer/program_write.h"
#include "unit_fixture.h"

namespace kor {
namespace {

TEST(TextDifference, NamesTheFirstLineWithBothVersions) {
  struct Case {
    const char* unit;
    const char* file;
    const char* want;
  } cases[] = {
      {"001:G90\r\n002:X1\r\n", "001:G90\n002:X1\n", ""},  // line ends do not count
      {"001:G90\r\n002:X1\r\n", "001:G90\r\n002:X2\r\n", "line 2: unit \"002:X1\" file \"002:X2\""},
      {"001:G90\r\n", "001:G90\r\n002:M30\r\n", "line 2: unit (none) file \"002:M30\""},
      {"%A\r\n001:G90\r\n", "001:G90\r\n", "line 1: unit \"%A\" file \"001:G90\""},
  };
  for (const Case& c : cases) EXPECT_EQ(text_difference(c.unit, c.file), c.want) << c.file;
}

TEST(MemoryDifference, NamesTheParameterOfTheFirstDifferingByte) {
  struct Case {
    size_t offset;
    uint8_t unit, file;
    const char* want;
  } cases[] = {
      {2, 2, 13, "offset 2 (0x002): unit 0x02 file 0x0D, Оси - Измерительные каналы: P2.2"},
      // Only the option bits that differ are named.
      {9, 0x00, 0x02, "offset 9 (0x009): unit 0x00 file 0x02, Канал P2.0: Направление"},
      {20, 0x01, 0x09, "offset 20 (0x014): unit 0x01 file 0x09, Канал P2.1: Формат"},
      {38, 0, 1, "offset 38 (0x026): unit 0x00 file 0x01, Канал P2.2: Люфт"},
      {62, 0, 1, "offset 62 (0x03E): unit 0x00 file 0x01, Канал P2.1: Коэффициент"},
      {76 + 16 * 5 + 4, 0, 1, "offset 160 (0x0A0): unit 0x00 file 0x01, Система координат G58: P2.1"},
      {176, 26, 5, "offset 176 (0x0B0): unit 0x1A file 0x05, Настройки: Яркость экрана"},
      {185, 0x03, 0x07, "offset 185 (0x0B9): unit 0x03 file 0x07, Настройки: Захват ошибки датчика"},
      {4000, 0xFF, 0x00, "offset 4000 (0xFA0): unit 0xFF file 0x00"},
  };
  for (const Case& c : cases) {
    std::string a(4096, '\0'), b(4096, '\0');
    a[c.offset] = char(c.unit);
    b[c.offset] = char(c.file);
    EXPECT_EQ(memory_difference(a, b, 4096), c.want);
  }
  // A short answer differs where it ends.
  EXPECT_EQ(memory_difference(std::string(10, '\0'), std::string(4096, '\0'), 4096),
            "offset 10 (0x00A): unit (none) file 0x00, Канал P2.0: байт 2");
}

TEST(MemoryDifferences, ListEveryParameterOnce) {
  std::string a(4096, '\0'), b(4096, '\0');
  b[13] = 1;                  // inside Люфт of P2.0 (bytes 12..15)
  b[176] = 5;                 // brightness
  b[300] = b[301] = 7;        // past the layout: one run
  const std::vector<std::string> want = {"offset 12, Канал P2.0: Люфт: 0x00000000 -> 0x00010000",
                                         "offset 176, Настройки: Яркость экрана: 0x00 -> 0x05",
                                         "offset 300..301: 0x0000 -> 0x0707"};
  EXPECT_EQ(memory_differences(a, b), want);
  EXPECT_TRUE(memory_differences(a, a).empty());
}

class Verify : public test::UnitTest {
 protected:
  void Write(uint8_t kind, int slot, const std::string& text, const char* title) {
    dir.write("prog.txt", text);
    std::strcpy(app().selectedFile, dir.file("prog.txt").c_str());
    StoreDownloadChoice(slot, title);
    if (kind == 0) WriteProgram();
    else WriteSubprogram();
  }
  std::vector<std::string> Errors() const {
    std::vector<std::string> out;
    for (const auto& m : rec.messages)
      if (m.icon == Icon::Error) out.push_back(m.text);
    return out;
  }
};

TEST_F(Verify, BlockSlotStoredWrongIsFoundAtItsLine) {
  unit.config().model = 461;
  const std::string text = "%ВАЛ\r\n001:G90\r\n002:X1.000F100.00\r\n003:M30\r\n";
  Write(0, 4, text, "ВАЛ");
  EXPECT_TRUE(VerifyProgramWrite(0, 4, text, "ВАЛ"));
  EXPECT_TRUE(Errors().empty());

  // Block 2 (lines 3 and 4) is acknowledged but its first line kept wrong.
  store->corruptWrite = 2;
  Write(0, 4, text, "ВАЛ");
  EXPECT_FALSE(VerifyProgramWrite(0, 4, text, "ВАЛ"));
  EXPECT_EQ(Errors(), std::vector<std::string>{
                          "Проверка после записи не прошла: program 005 differs: line 4: unit \"003:M31\" file "
                          "\"003:M30\""});
}

TEST_F(Verify, PageSlotComparesTheWritersText) {
  unit.config().model = 0;
  const std::string text = "001:G90\r\n002:X1.000F100.00\r\n";
  Write(1, 0, text, "kor_subprogram_001.txt");
  EXPECT_TRUE(VerifyProgramWrite(1, 0, text, "kor_subprogram_001.txt"));
  store->corruptWrite = 0;
  Write(1, 0, text, "kor_subprogram_001.txt");
  EXPECT_FALSE(VerifyProgramWrite(1, 0, text, "kor_subprogram_001.txt"));
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_EQ(Errors()[0], "Проверка после записи не прошла: subprogram 001 differs: line 1: unit \"002:G90\" file \"001:G90\"");
}

TEST_F(Verify, DroppedParameterFrameNamesOffsetAndParameter) {
  std::vector<uint8_t> file(unit.paramMemory.begin(), unit.paramMemory.end());
  file[32] = 0x09;  // P2.2 linear, format 1: in block 1
  dir.write("p.koreep", std::string(file.begin(), file.end()));
  std::strcpy(app().selectedFile, dir.file("p.koreep").c_str());
  unit.Find<sim::ParameterService>()->dropBlock = 1;
  WriteParametersCommand();
  EXPECT_FALSE(VerifyParameterWrite(std::string(file.begin(), file.end())));
  EXPECT_EQ(Errors(), std::vector<std::string>{"Проверка после записи не прошла: params differ: offset 32 (0x020): "
                                               "unit 0x00 file 0x09, Канал P2.2: Тип, Формат"});
  // Written again, nothing lost: the check passes.
  rec.messages.clear();
  WriteParametersCommand();
  EXPECT_TRUE(VerifyParameterWrite(std::string(file.begin(), file.end())));
  EXPECT_TRUE(Errors().empty());
}

}  // namespace
}  // namespace kor
