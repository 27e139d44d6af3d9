// The real main window, made in the test's own process (under Wine), with every
// message box recorded and answered at once, and a private registry state that
// is wiped before and after each test.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/gui.h"
#include "gui/resource.h"

namespace kor::test {

struct BoxShown {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
};

// Registry keys the program reads and writes.
void WipeRegistry();
void SetUserValue(const char* name, const std::string& text);
void SetUserValue(const char* name, DWORD value);
bool UserText(const char* name, std::string& out);
bool UserNumber(const char* name, DWORD& out);
std::string ClassesDefault(const char* key);  // "" when missing
bool ClassesKeyExists(const char* key);
// The FTDI driver's enumeration: entry n with its instance id and port.
void AddAdapter(int n, const std::string& serial, const char* port);
void SetAdapterCount(DWORD count);
void RemoveAdapters();

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Start-up up to the message loop, then the posted messages are handled.
  void Start();
  void Stop();

  HWND main() const { return gui::MainWindow(); }
  HWND item(int id) const { return GetDlgItem(main(), id); }
  bool visible(int id) const { return item(id) && IsWindowVisible(item(id)); }
  std::string text(HWND h) const;
  std::string text(int id) const { return text(item(id)); }
  bool italic(HWND h) const;
  RECT place(int id) const;  // in the main window's client coordinates
  void command(int id, int code = 0);
  void selectTab(int tab);
  void drop(const std::vector<std::string>& files);
  std::vector<std::string> boxTexts() const;

  std::vector<BoxShown> boxes;
  int answer = IDNO;  // to Yes/No questions
  bool started = false;
};

}  // namespace kor::test
