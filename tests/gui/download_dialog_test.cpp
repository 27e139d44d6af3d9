// The program-download dialog: slot, title, and the main window moved aside.
#include <cstring>
#include <fstream>

#include "app/app_state.h"
#include "gui_fixture.h"
#include "support/temp_dir.h"

namespace kor::test {
namespace {

class Download : public MainWindowTest {
 protected:
  // Tab 1 with this program text chosen as prog.txt.
  void Choose(const std::string& content, int kind = IDC_KIND_PROGRAM) {
    Start();
    selectTab(1);
    command(kind);
    path = dir.file("prog.txt");
    std::ofstream(path, std::ios::binary) << content;
    drop({path});
  }
  TempDir dir;
  std::string path;
};

struct Seen {
  std::string caption, title, counter, slot;
  int slots = 0;
};

Seen look(HWND dlg) {
  Seen s;
  char buf[200] = {};
  GetWindowTextA(dlg, buf, sizeof buf);
  s.caption = buf;
  GetDlgItemTextA(dlg, IDC_DL_TITLE, buf, sizeof buf);
  s.title = buf;
  GetDlgItemTextA(dlg, IDC_DL_COUNTER, buf, sizeof buf);
  s.counter = buf;
  s.slots = int(SendDlgItemMessageA(dlg, IDC_DL_SLOT, CB_GETCOUNT, 0, 0));
  buf[0] = 0;
  SendDlgItemMessageA(dlg, IDC_DL_SLOT, CB_GETLBTEXT, WPARAM(SendDlgItemMessageA(dlg, IDC_DL_SLOT, CB_GETCURSEL, 0, 0)),
                      LPARAM(buf));
  s.slot = buf;
  return s;
}

TEST_F(Download, TitleLineOfTheFileIsProposed) {
  Choose("%PART 12\r\nG01 X1\r\n");
  Seen s;
  gui::SetDialogHook([&](HWND dlg, int id) {
    EXPECT_EQ(id, IDD_DOWNLOAD);
    s = look(dlg);
    EndDialog(dlg, 0);
  });
  EXPECT_EQ(gui::DownloadDialog(main(), DataKind::Program), 0);
  EXPECT_EQ(s.caption, "Загрузка prog.txt");
  EXPECT_EQ(s.title, "PART 12");
  EXPECT_EQ(s.counter, "Заголовок (макс. 07/33 символа):");
  EXPECT_EQ(s.slots, 20);
  EXPECT_EQ(s.slot, "Программа 001");
}

TEST_F(Download, WithoutATitleLineTheFileNameIsProposed) {
  Choose("G01 X1\r\n%\r\n", IDC_KIND_SUBPROGRAM);
  Seen s;
  gui::SetDialogHook([&](HWND dlg, int) {
    s = look(dlg);
    EndDialog(dlg, 0);
  });
  gui::DownloadDialog(main(), DataKind::Subprogram);
  EXPECT_EQ(s.title, "prog.txt");
  EXPECT_EQ(s.slots, 50);
  EXPECT_EQ(s.slot, "Подпрограмма 001");
}

TEST_F(Download, ALongTitleIsCountedAndCutTo33) {
  Choose("%T\r\n");
  const std::string typed = "0123456789012345678901234567890123456789";  // 40
  std::string counter;
  gui::SetDialogHook([&](HWND dlg, int) {
    SetDlgItemTextA(dlg, IDC_DL_TITLE, typed.c_str());
    counter = look(dlg).counter;
    SendDlgItemMessageA(dlg, IDC_DL_SLOT, CB_SETCURSEL, 6, 0);
    SendMessageA(dlg, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(gui::DownloadDialog(main(), DataKind::Program), 1);
  EXPECT_EQ(counter, "Заголовок (макс. 40/33 символа):");
  EXPECT_EQ(std::string(app().title), typed.substr(0, 33));
  EXPECT_EQ(app().slotIndex, 6);
}

TEST_F(Download, CancelKeepsTheChoiceAndTheWindowComesBack) {
  Choose("%NEW\r\n");
  app().slotIndex = 3;
  std::strcpy(app().title, "OLD");
  RECT before, during = {};
  GetWindowRect(main(), &before);
  gui::SetDialogHook([&](HWND dlg, int) {
    GetWindowRect(main(), &during);
    SendMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  command(IDC_LOAD);  // the write command opens the dialog first
  EXPECT_EQ(during.left, before.left + 100);
  RECT after;
  GetWindowRect(main(), &after);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
  EXPECT_EQ(app().slotIndex, 3);
  EXPECT_STREQ(app().title, "OLD");
  EXPECT_TRUE(boxes.empty());
}

}  // namespace
}  // namespace kor::test
