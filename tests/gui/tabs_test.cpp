// Tabs, kind buttons and the choice of the file to send.
#include <windows.h>

#include <commctrl.h>

#include <cstring>

#include "app/app_state.h"
#include "gui_fixture.h"

namespace kor::test {
namespace {

using Tabs = MainWindowTest;

std::string tooltipText(HWND owner, HWND tool) {
  char buf[600] = {};
  TOOLINFOA ti = {};
  ti.cbSize = sizeof ti;
  ti.hwnd = owner;
  ti.uId = UINT_PTR(tool);
  ti.lpszText = buf;
  SendMessageA(static_cast<HWND>(app().fileTooltip), TTM_GETTEXTA, sizeof buf, LPARAM(&ti));
  return buf;
}

TEST_F(Tabs, SendingTabOffersTheFileBoxBesideTheKind) {
  Start();
  selectTab(1);
  ASSERT_TRUE(visible(IDC_FILE_BOX));
  EXPECT_EQ(place(IDC_FILE_BOX).left, 125);
  EXPECT_EQ(place(IDC_FILE_BOX).top, 45);
  EXPECT_EQ(text(IDC_FILE_BOX), "файл программы...");
  EXPECT_TRUE(italic(item(IDC_FILE_BOX)));
  EXPECT_FALSE(visible(IDC_LOAD));
  EXPECT_TRUE(visible(IDC_BROWSE));
  EXPECT_FALSE(visible(IDC_SAVE));

  drop({"C:\\data\\kor_programs\\part 1.txt"});
  EXPECT_EQ(text(IDC_FILE_BOX), "part 1.txt");
  EXPECT_FALSE(italic(item(IDC_FILE_BOX)));
  EXPECT_TRUE(visible(IDC_LOAD));
  EXPECT_STREQ(app().selectedFile, "C:\\data\\kor_programs\\part 1.txt");
  EXPECT_EQ(tooltipText(main(), item(IDC_FILE_BOX)), "C:\\data\\kor_programs\\part 1.txt");

  command(IDC_KIND_PARAMETERS);
  EXPECT_EQ(app().kind, DataKind::Parameters);
  EXPECT_EQ(place(IDC_FILE_BOX).top, 95);
  EXPECT_EQ(text(IDC_FILE_BOX), "файл параметров...");
  EXPECT_TRUE(italic(item(IDC_FILE_BOX)));
  EXPECT_FALSE(visible(IDC_LOAD));
  EXPECT_STREQ(app().selectedFile, "");
  EXPECT_EQ(tooltipText(main(), item(IDC_FILE_BOX)), "");
  EXPECT_TRUE(boxes.empty());
}

TEST(FileNames, ExtensionsAreComparedExactly) {
  struct Case {
    DataKind kind;
    const char* path;
    bool accepted;
  } cases[] = {
      {DataKind::Program, "C:\\d\\prog.txt", true},
      {DataKind::Program, "C:\\d\\prog.bin", true},
      {DataKind::Program, "C:\\d\\PROG.TXT", false},
      {DataKind::Program, "C:\\d\\prog", false},
      {DataKind::Program, "C:\\d\\prog.", false},
      {DataKind::Program, "C:\\d.txt\\prog", false},
      {DataKind::Subprogram, "C:\\d\\sub.txt", true},
      {DataKind::Subprogram, "C:\\d\\sub.koreep", false},
      {DataKind::Parameters, "C:\\d\\a.b.koreep", true},
      {DataKind::Parameters, "C:\\d\\eeprom.bin", true},
      {DataKind::Parameters, "C:\\d\\a.koreep.txt", false},
      {DataKind::Firmware, "C:\\d\\fw.hex", true},
      {DataKind::Firmware, "C:\\d\\fw.HEX", false},
      {DataKind::Correction, "C:\\d\\corr.txt", false},
  };
  for (const Case& c : cases) EXPECT_EQ(gui::FileAccepted(c.kind, c.path), c.accepted) << c.path;
}

TEST_F(Tabs, DropCountsOnlyOnTheSendingTabAndTakesTheLastFile) {
  Start();
  drop({"C:\\d\\a.txt"});  // tab 0
  EXPECT_STREQ(app().selectedFile, "");
  selectTab(2);
  drop({"C:\\d\\a.txt"});
  EXPECT_STREQ(app().selectedFile, "");

  selectTab(1);
  drop({"C:\\d\\one.txt", "C:\\d\\two.bin", "C:\\d\\three.txt"});
  EXPECT_STREQ(app().selectedFile, "C:\\d\\three.txt");
  EXPECT_EQ(text(IDC_FILE_BOX), "three.txt");
  EXPECT_TRUE(boxes.empty());

  // A wrong extension keeps the previous choice.
  drop({"C:\\d\\good.txt", "C:\\d\\PROG.TXT"});
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Неверный формат файла");
  EXPECT_EQ(boxes[0].caption, "Korsync");
  EXPECT_EQ(boxes[0].type, UINT(MB_OK | MB_ICONERROR));
  EXPECT_STREQ(app().selectedFile, "C:\\d\\three.txt");
  EXPECT_EQ(text(IDC_FILE_BOX), "three.txt");
}

TEST_F(Tabs, KindButtonsPerTab) {
  Start();
  // Tab 0: no "Прошивка", "Коррекция" there but not selectable.
  ASSERT_TRUE(item(IDC_KIND_CORRECTION));
  EXPECT_FALSE(IsWindowEnabled(item(IDC_KIND_CORRECTION)));
  EXPECT_EQ(item(IDC_KIND_FIRMWARE), nullptr);
  EXPECT_EQ(IsDlgButtonChecked(main(), IDC_KIND_PROGRAM), UINT(BST_CHECKED));
  EXPECT_TRUE(visible(IDC_PROGRAM_NO));
  EXPECT_FALSE(visible(IDC_SUBPROGRAM_NO));
  EXPECT_TRUE(visible(IDC_SAVE));
  EXPECT_EQ(text(IDC_SAVE), " Сохранить");

  command(IDC_KIND_SUBPROGRAM);
  EXPECT_FALSE(visible(IDC_PROGRAM_NO));
  EXPECT_TRUE(visible(IDC_SUBPROGRAM_NO));
  command(IDC_KIND_CORRECTION);  // what the list does if it is ever enabled
  EXPECT_TRUE(visible(IDC_DIRECTION));
  EXPECT_TRUE(visible(IDC_DIRECTION_LABEL));

  // Tab 1: both, "Коррекция" disabled; the kind is back to Program.
  selectTab(1);
  ASSERT_TRUE(item(IDC_KIND_FIRMWARE));
  EXPECT_TRUE(IsWindowEnabled(item(IDC_KIND_FIRMWARE)));
  EXPECT_FALSE(IsWindowEnabled(item(IDC_KIND_CORRECTION)));
  EXPECT_EQ(app().kind, DataKind::Program);
  EXPECT_FALSE(visible(IDC_DIRECTION));
  command(IDC_KIND_FIRMWARE);
  EXPECT_EQ(text(IDC_FILE_BOX), "файл прошивки...");
  EXPECT_EQ(place(IDC_FILE_BOX).top, 145);

  // Tab 2: the clock button alone.
  selectTab(2);
  EXPECT_TRUE(visible(IDC_SET_CLOCK));
  for (int id : {IDC_PROGRESS, IDC_BROWSE, IDC_SAVE, IDC_LOAD, IDC_FILE_BOX, IDC_PROGRESS_TEXT})
    EXPECT_FALSE(visible(id)) << id;
  EXPECT_EQ(item(IDC_KIND_PROGRAM), nullptr);
}

TEST_F(Tabs, ReturningToTheSendingTabForgetsTheFile) {
  Start();
  selectTab(1);
  drop({"C:\\d\\a.txt"});
  selectTab(0);
  EXPECT_STREQ(app().selectedFile, "C:\\d\\a.txt");
  selectTab(1);
  EXPECT_STREQ(app().selectedFile, "");
  EXPECT_FALSE(visible(IDC_LOAD));
}

TEST_F(Tabs, CommandLineParameterFileIsSelectedForSending) {
  Start();
  std::strcpy(app().commandLineFile, "C:\\my files\\unit.koreep");
  gui::SelectCommandLineFile();
  EXPECT_EQ(SendMessageA(item(IDC_TAB), TCM_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(app().tab, 1);
  EXPECT_EQ(app().kind, DataKind::Parameters);
  EXPECT_EQ(IsDlgButtonChecked(main(), IDC_KIND_PARAMETERS), UINT(BST_CHECKED));
  EXPECT_EQ(IsDlgButtonChecked(main(), IDC_KIND_PROGRAM), UINT(BST_UNCHECKED));
  EXPECT_EQ(text(IDC_FILE_BOX), "unit.koreep");
  EXPECT_FALSE(italic(item(IDC_FILE_BOX)));
  EXPECT_TRUE(visible(IDC_LOAD));
  EXPECT_STREQ(app().selectedFile, "C:\\my files\\unit.koreep");
}

}  // namespace
}  // namespace kor::test
