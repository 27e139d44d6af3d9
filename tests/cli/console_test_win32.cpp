// The Windows console part against a console that only records: the UTF-16 text
// WriteConsoleW would get and the modes set, with and without escape sequences.
#include <gtest/gtest.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/cp1251.h"
#include "cli/cli_operator.h"
#include "cli/console.h"
#include "cli/console_win32.h"
#include "cli/context.h"

namespace kor::console {
namespace {

constexpr unsigned long kCooked = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;

class FakeConsole : public ConsoleCalls {
 public:
  bool GetMode(void* h, unsigned long& m) override {
    if (h != handle) return false;
    m = mode;
    return true;
  }
  bool SetMode(void* h, unsigned long m) override {
    if (h != handle) return false;
    modesSet.push_back(m);
    if (!takesEscapes && (m & ENABLE_VIRTUAL_TERMINAL_PROCESSING)) return false;
    mode = m;
    return true;
  }
  bool Write(void* h, const std::wstring& text) override {
    if (h != handle) return false;
    shown += text;
    return true;
  }
  bool ClearsLine(void* h) override { return h == handle && clearsLine; }

  void* handle = nullptr;  // the one handle that is a console
  unsigned long mode = kCooked;
  bool takesEscapes = true;
  bool clearsLine = true;
  std::vector<unsigned long> modesSet;
  std::wstring shown;
};

class Console : public ::testing::Test {
 protected:
  void SetUp() override { set_console_calls(&fake); }
  void TearDown() override {
    set_console_calls(nullptr);
    std::fclose(file);
  }
  void MakeConsole(std::FILE* f) { fake.handle = reinterpret_cast<void*>(_get_osfhandle(_fileno(f))); }
  std::string FileBytes() {
    std::fflush(file);
    std::rewind(file);
    std::string s;
    char buf[512];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, file)) > 0) s.append(buf, n);
    return s;
  }

  FakeConsole fake;
  std::FILE* file = std::tmpfile();
};

// The bar as the operator draws it: 30 cells, then the text.
std::wstring bar(int filled, const std::wstring& text) {
  return L"[" + std::wstring(size_t(filled), L'#') + std::wstring(size_t(30 - filled), L' ') + L"] " + text;
}

void show_progress(CliOperator& o) {
  o.ProgressRange(0, 10);
  o.ProgressText("Чтение программы 005");
  o.ProgressPos(5);
  o.ProgressText("Запись");
  o.Message("Загрузка завершена", "KorSync", Icon::Information, nullptr);
}

TEST_F(Console, RussianTextReachesTheConsoleAsUtf16WhateverItsCodePage) {
  MakeConsole(file);
  {
    CliOperator o(false, true, file);
    o.Message("Не удалось открыть порт COM5", "KorSync", Icon::Error, nullptr);
    o.AskYesNo("Файл сохранен: C:\\Данные\\kor_program_005.txt.\nОткрыть папку?", "KorSync");
  }
  EXPECT_EQ(fake.shown,
            L"ошибка: Не удалось открыть порт COM5\n"
            L"сообщение: Файл сохранен: C:\\Данные\\kor_program_005.txt. Открыть папку? нет\n");
  EXPECT_EQ(FileBytes(), "");
  EXPECT_TRUE(fake.modesSet.empty());  // messages need no escapes
}

TEST_F(Console, ProgressRedrawsWithEscapesOnlyWhereTheConsoleActsOnThem) {
  const std::wstring withEscapes = L"\r" + bar(0, L"") + L"\x1b[K" +
                                   L"\r" + bar(0, L"Чтение программы 005") + L"\x1b[K" +
                                   L"\r" + bar(15, L"Чтение программы 005") + L"\x1b[K" +
                                   L"\r" + bar(15, L"Запись") + L"\x1b[K" +
                                   L"\r\x1b[K" + L"сообщение: Загрузка завершена\n";
  // "Запись" is 14 characters shorter than the line it replaces.
  const std::wstring crOnly = L"\r" + bar(0, L"") +
                              L"\r" + bar(0, L"Чтение программы 005") +
                              L"\r" + bar(15, L"Чтение программы 005") +
                              L"\r" + bar(15, L"Запись") + std::wstring(14, L' ') +
                              L"\r" + std::wstring(39, L' ') + L"\r" + L"сообщение: Загрузка завершена\n";
  constexpr unsigned long kVt = kCooked | ENABLE_VIRTUAL_TERMINAL_PROCESSING;
  struct Case {
    const char* console;
    bool takesFlag, clearsLine;
    std::wstring shown;
    std::vector<unsigned long> modesSet;  // by the end, when the modes were put back
  } cases[] = {
      {"acts on escapes", true, true, withEscapes, {kVt, kCooked}},
      {"refuses the flag (before Windows 10)", false, true, crOnly, {kVt}},
      {"keeps the flag, shows the escapes (Wine)", true, false, crOnly, {kVt, kCooked}},
  };
  for (const Case& c : cases) {
    set_console_calls(&fake);
    fake = FakeConsole{};
    MakeConsole(file);
    fake.takesEscapes = c.takesFlag;
    fake.clearsLine = c.clearsLine;
    {
      CliOperator o(false, false, file);
      show_progress(o);
    }
    restore_modes();
    EXPECT_EQ(fake.shown, c.shown) << c.console;
    EXPECT_EQ(fake.modesSet, c.modesSet) << c.console;
    EXPECT_EQ(fake.mode, kCooked) << c.console;
  }
}

TEST_F(Console, AConsoleThatTakesEscapesAlreadyIsLeftAsItIs) {
  MakeConsole(file);
  fake.mode = kCooked | ENABLE_VIRTUAL_TERMINAL_PROCESSING;
  EXPECT_TRUE(takes_escapes(file));
  restore_modes();
  EXPECT_TRUE(fake.modesSet.empty());
}

TEST_F(Console, AFileOrPipeGetsUtf8BytesAndNoBar) {
  {
    CliOperator o(false, false, file);
    show_progress(o);
    o.Message("Не удалось открыть порт COM5", "KorSync", Icon::Error, nullptr);
  }
  EXPECT_EQ(FileBytes(), cp1251_to_utf8("сообщение: Загрузка завершена\nошибка: Не удалось открыть порт COM5\n"));
  EXPECT_EQ(fake.shown, L"");
  EXPECT_TRUE(fake.modesSet.empty());
}

TEST_F(Console, StandardOutputGoesThroughTheConsoleToo) {
  MakeConsole(stdout);
  cli::print_out("Посылка(Tx): 001\n");
  cli::print_json({{"version", cli::json_text("461 В2.15")}});
  EXPECT_EQ(fake.shown, L"Посылка(Tx): 001\n{\n  \"version\": \"461 В2.15\"\n}\n");
}

TEST(Arguments, TheUtf16CommandLineBecomesTheFileLayersCodePage) {
  const wchar_t* line =
      L"korsync-cli.exe write program \"C:\\Данные\\Деталь 1.txt\" --slot 2 --title=\"Ёлка №5\" "
      L"C:\\a\\\\\"b c\" Ü€";
  struct Case {
    unsigned cp;
    std::vector<std::string> args;
  } cases[] = {
      {1251,
       {"korsync-cli.exe", "write", "program", "C:\\Данные\\Деталь 1.txt", "--slot", "2", "--title=Ёлка №5",
        "C:\\a\\b c", "?\x88"}},
      // No look-alike for what the code page lacks: "Ü" is not "U", and "Д" no "D".
      {1252,
       {"korsync-cli.exe", "write", "program", "C:\\??????\\?????? 1.txt", "--slot", "2", "--title=???? ?5",
        "C:\\a\\b c", "\xDC\x80"}},
  };
  for (const Case& c : cases) EXPECT_EQ(arguments_from(line, c.cp), c.args) << c.cp;
}

TEST(Arguments, TextArgumentsAreCp1251OnARussianSystem) {
  if (GetACP() != 1251) GTEST_SKIP() << "the ANSI code page is " << GetACP();
  const std::vector<std::string> args = arguments_from(L"korsync-cli.exe send \"Д8 Ёё\"", CP_ACP);
  ASSERT_EQ(args.size(), 3u);
  EXPECT_EQ(cli::arg_text(args[2]), "Д8 Ёё");
}

}  // namespace
}  // namespace kor::console
