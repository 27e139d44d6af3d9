// Adapter discovery in the status area, and the settings dialog.
#include <windows.h>

#include <dbt.h>

#include "app/app_state.h"
#include "gui_fixture.h"

namespace kor::test {
namespace {

using PortSettings = MainWindowTest;

std::vector<std::string> listLines(HWND dlg) {
  std::vector<std::string> out;
  const int n = int(SendDlgItemMessageA(dlg, IDC_SET_DEVICES, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    char buf[100] = {};
    SendDlgItemMessageA(dlg, IDC_SET_DEVICES, LB_GETTEXT, WPARAM(i), LPARAM(buf));
    out.push_back(buf);
  }
  return out;
}

// The dialog itself may not be on screen yet when the hook runs.
bool shown(HWND dlg, int id) { return (GetWindowLongA(GetDlgItem(dlg, id), GWL_STYLE) & WS_VISIBLE) != 0; }

void choose(HWND dlg, int id, int index) {
  SendDlgItemMessageA(dlg, id, CB_SETCURSEL, WPARAM(index), 0);
  SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), LPARAM(GetDlgItem(dlg, id)));
}

HCURSOR cursorOverLabel(HWND main) {
  SetCursor(nullptr);
  SendMessageA(main, WM_SETCURSOR, WPARAM(GetDlgItem(main, IDC_PORT_LABEL)), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  return GetCursor();
}

TEST_F(PortSettings, TheLastAdapterGivesThePortAndTheListShowsAll) {
  AddAdapter(0, "A1B2C3", "COM3");
  AddAdapter(1, "FT77", "COM12");
  SetAdapterCount(2);
  Start();
  EXPECT_TRUE(app().adapterConnected);
  EXPECT_EQ(app().comPort, 12);
  EXPECT_EQ(text(IDC_ADAPTER_TEXT), "КОР подключен");
  EXPECT_EQ(text(IDC_PORT_LABEL), "COM12 200 Кбит/c");
  EXPECT_EQ(cursorOverLabel(main()), LoadCursor(nullptr, IDC_HAND));

  std::vector<std::string> lines;
  int portSelected = -1;
  gui::SetDialogHook([&](HWND dlg, int id) {
    EXPECT_EQ(id, IDD_SETTINGS);
    lines = listLines(dlg);
    portSelected = int(SendDlgItemMessageA(dlg, IDC_SET_PORT, CB_GETCURSEL, 0, 0));
    // COM3 overrides the adapter's port until the next device change.
    choose(dlg, IDC_SET_PORT, 2);
    SendMessageA(dlg, WM_COMMAND, IDC_SET_OK, 0);
  });
  command(IDM_SETTINGS);
  EXPECT_EQ(lines, (std::vector<std::string>{"0403   6001   A1B2C3   COM3", "0403   6001   FT77   COM12"}));
  EXPECT_EQ(portSelected, 11);
  EXPECT_EQ(app().comPort, 3);
  EXPECT_EQ(text(IDC_PORT_LABEL), "COM3 200 Кбит/c");
  ASSERT_EQ(boxTexts(), std::vector<std::string>{"Номер com порта изменен"});
  EXPECT_EQ(boxes[0].type, UINT(MB_OK | MB_ICONINFORMATION));
  EXPECT_NE(boxes[0].owner, main());  // the dialog's own box
  DWORD stored;
  EXPECT_FALSE(UserNumber("bdrate", stored));  // nor is the port stored

  SendMessageA(main(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
  EXPECT_EQ(app().comPort, 12);
}

TEST_F(PortSettings, UnpluggingShowsTheDisconnectedStateAndIgnoresClicks) {
  AddAdapter(0, "A1B2C3", "COM5");
  Start();
  ASSERT_TRUE(app().adapterConnected);
  RemoveAdapters();
  SendMessageA(main(), WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0);
  EXPECT_FALSE(app().adapterConnected);
  EXPECT_EQ(text(IDC_ADAPTER_TEXT), " ");
  EXPECT_EQ(text(IDC_PORT_LABEL), " ");
  EXPECT_EQ(cursorOverLabel(main()), LoadCursor(nullptr, IDC_ARROW));
  bool opened = false;
  gui::SetDialogHook([&](HWND dlg, int) {
    opened = true;
    EndDialog(dlg, 0);
  });
  command(IDC_PORT_LABEL, STN_CLICKED);
  EXPECT_FALSE(opened);
}

TEST_F(PortSettings, BoardSerialOnTheFirstEntry) {
  AddAdapter(0, "AL005JLJA", "COM4");
  Start();
  EXPECT_EQ(text(IDC_ADAPTER_TEXT), "Плата подключена");
  EXPECT_EQ(app().comPort, 4);
}

TEST_F(PortSettings, AGapInTheEnumerationStopsTheScanNotTheList) {
  AddAdapter(0, "S0", "COM3");
  AddAdapter(2, "S2", "COM9");
  SetAdapterCount(3);
  Start();
  EXPECT_EQ(app().comPort, 3);
  std::vector<std::string> lines;
  gui::SetDialogHook([&](HWND dlg, int) {
    lines = listLines(dlg);
    EndDialog(dlg, 0);
  });
  command(IDM_SETTINGS);
  EXPECT_EQ(lines, (std::vector<std::string>{"0403   6001   S0   COM3", "0403   6001   S2   COM9"}));
}

TEST_F(PortSettings, PortLabelClickOpensTheCompactForm) {
  AddAdapter(0, "A1B2C3", "COM5");
  Start();
  std::string caption;
  RECT size = {};
  bool folderShown = true, speedShown = false;
  gui::SetDialogHook([&](HWND dlg, int) {
    caption = text(dlg);
    GetWindowRect(dlg, &size);
    folderShown = shown(dlg, IDC_SET_FOLDER_GROUP) || shown(dlg, IDC_SET_CHANGE);
    speedShown = shown(dlg, IDC_SET_SPEED);
    // "2 Mбит/c", with a Latin M in the list.
    char item[20] = {};
    SendDlgItemMessageA(dlg, IDC_SET_SPEED, CB_GETLBTEXT, 2, LPARAM(item));
    EXPECT_STREQ(item, "2 Mбит/c");
    choose(dlg, IDC_SET_SPEED, 2);
    EndDialog(dlg, 0);
  });
  command(IDC_PORT_LABEL, STN_CLICKED);
  EXPECT_EQ(caption, "Настройки порта");
  EXPECT_EQ(size.right - size.left, 287);
  EXPECT_EQ(size.bottom - size.top, 215);
  EXPECT_FALSE(folderShown);
  EXPECT_TRUE(speedShown);
  EXPECT_EQ(app().speed, 2000000);
  EXPECT_EQ(text(IDC_PORT_LABEL), "COM5 2 Мбит/c");  // Cyrillic М here
  DWORD stored = 0;
  ASSERT_TRUE(UserNumber("bdrate", stored));
  EXPECT_EQ(stored, 2000000u);
  EXPECT_EQ(boxTexts(), std::vector<std::string>{"Скорость порта изменена"});

  // The next start does not take 2 Мбит/c back.
  Stop();
  Start();
  EXPECT_EQ(app().speed, 200000);
}

TEST_F(PortSettings, NormalFormShowsTheFolderAndComplainsAboutAnOddSpeed) {
  SetUserValue("m_path", std::string("D:\\KOR data"));
  Start();
  boxes.clear();
  app().speed = 9600;
  std::string caption, folder;
  int speedSelected = 0;
  gui::SetDialogHook([&](HWND dlg, int) {
    caption = text(dlg);
    folder = text(GetDlgItem(dlg, IDC_SET_FOLDER));
    speedSelected = int(SendDlgItemMessageA(dlg, IDC_SET_SPEED, CB_GETCURSEL, 0, 0));
    EXPECT_TRUE(shown(dlg, IDC_SET_CHANGE));
    SendMessageA(dlg, WM_CLOSE, 0, 0);
  });
  command(IDM_SETTINGS);
  EXPECT_EQ(caption, "Настройки");
  EXPECT_EQ(folder, "D:\\KOR data");
  EXPECT_EQ(speedSelected, CB_ERR);
  ASSERT_EQ(boxTexts(), std::vector<std::string>{"Ошибка инициализации скорости порта"});
  EXPECT_EQ(boxes[0].type, UINT(MB_OK | MB_ICONERROR));
  EXPECT_EQ(app().settingsWindow, nullptr);
}

}  // namespace
}  // namespace kor::test
