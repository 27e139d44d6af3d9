#include "cli/cli_operator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/cp1251.h"

namespace kor {
namespace {

std::string run_and_capture(const std::function<void(CliOperator&)>& f, bool open, bool* failed = nullptr) {
  std::FILE* tmp = std::tmpfile();
  {
    CliOperator o(open, true, tmp);
    f(o);
    if (failed) *failed = o.failed();
  }
  std::rewind(tmp);
  std::string out;
  char buf[512];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, tmp)) > 0) out.append(buf, n);
  std::fclose(tmp);
  return out;
}

TEST(FoldLines, BreaksBecomeOneSpace) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"Выберите в меню 'Режим обмена с ПК' \nи проверьте", "Выберите в меню 'Режим обмена с ПК' и проверьте"},
      {"Файл сохранен: a.txt.\nОткрыть папку?", "Файл сохранен: a.txt. Открыть папку?"},
      {"a\r\n\r\nb", "a b"},
      {" 3 count_error\n", " 3 count_error"},
      {"no  break", "no  break"},
  };
  for (const auto& c : cases) EXPECT_EQ(fold_lines(c.in), c.out) << c.in;
}

TEST(CliOperator, PrefixesByIconInUtf8AndFailsOnErrorsAndWarnings) {
  struct Case {
    Icon icon;
    const char* line;
    bool failed;
  } cases[] = {
      {Icon::Error, "ошибка: Com порт занят\n", true},
      {Icon::Warning, "предупреждение: Com порт занят\n", true},
      {Icon::Information, "сообщение: Com порт занят\n", false},
  };
  for (const auto& c : cases) {
    bool failed = false;
    std::string out = run_and_capture([&](CliOperator& o) { o.Message("Com порт занят", "Korsync", c.icon, nullptr); },
                                      false, &failed);
    EXPECT_EQ(out, cp1251_to_utf8(c.line));
    EXPECT_EQ(failed, c.failed);
  }
}

TEST(CliOperator, SavePromptIsAnsweredFromTheCommandLine) {
  bool answer = true;
  std::string out = run_and_capture(
      [&](CliOperator& o) { answer = o.AskYesNo("Файл сохранен: x.txt.\nОткрыть папку?", "KorSync"); }, false);
  EXPECT_FALSE(answer);
  EXPECT_EQ(out, cp1251_to_utf8("сообщение: Файл сохранен: x.txt. Открыть папку? нет\n"));
  out = run_and_capture([&](CliOperator& o) { answer = o.AskYesNo("Открыть папку?", "KorSync"); }, true);
  EXPECT_TRUE(answer);
}

TEST(Cp1251, RoundTripsRussianText) {
  const std::string cp = "Ёё АБВ абв №";
  std::string u = cp1251_to_utf8(cp);
  EXPECT_EQ(u, "\xD0\x81\xD1\x91 \xD0\x90\xD0\x91\xD0\x92 \xD0\xB0\xD0\xB1\xD0\xB2 \xE2\x84\x96");
  EXPECT_EQ(utf8_to_cp1251(u), cp);
  EXPECT_EQ(utf8_to_cp1251("\xE2\x82\xAC\xF0\x9F\x98\x80"), "\x88?");  // euro fits, an emoji does not
}

#ifndef _WIN32
// POSIX paths are UTF-8 inside 1251 messages: each part must come out as it was.
TEST(TextToUtf8, PathsInsideMessagesPassUnchanged) {
  const std::string folder = "/tmp/\xD0\x94\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB5";  // "Данные" in UTF-8
  struct Case {
    std::string text, utf8;
  } cases[] = {
      {"Файл сохранен: " + folder + "/a.txt.", cp1251_to_utf8("Файл сохранен: ") + folder + "/a.txt."},
      {"Ёё №" + folder, cp1251_to_utf8("Ёё №") + folder},
      // Not UTF-8: an overlong form, a lone lead byte, a cut sequence are 1251 letters.
      {"\xC0\x80", cp1251_to_utf8("\xC0\x80")},
      {"\xD0 x", cp1251_to_utf8("\xD0 x")},
      {"x\xE2\x84", cp1251_to_utf8("x\xE2\x84")},
      {"\xED\xA0\x80", cp1251_to_utf8("\xED\xA0\x80")},  // a surrogate
  };
  for (const Case& c : cases) EXPECT_EQ(text_to_utf8(c.text), c.utf8) << c.utf8;
}
#endif

}  // namespace
}  // namespace kor
