// The status area (adapter found or not, port and speed) and the settings
// dialog (187) where port, speed and data folder are chosen.
#include <windows.h>

#include <commctrl.h>
#include <dbt.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "app/adapters.h"
#include "app/settings.h"
#include "gui/resource.h"
#include "gui/window.h"

namespace kor::gui {

namespace {

HWND g_labelTip = nullptr;

void SetLabelTip(const char* text) {
  TOOLINFOA ti = {};
  ti.cbSize = sizeof ti;
  ti.uFlags = TTF_IDISHWND;
  ti.hwnd = MainWindow();
  ti.uId = UINT_PTR(GetDlgItem(MainWindow(), IDC_PORT_LABEL));
  ti.lpszText = const_cast<char*>(text);
  SendMessageA(g_labelTip, TTM_UPDATETIPTEXTA, 0, LPARAM(&ti));
}

void CreateLabelTip() {
  if (g_labelTip && IsWindow(g_labelTip)) return;
  HWND w = MainWindow();
  g_labelTip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, w, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  TOOLINFOA ti = {};
  ti.cbSize = sizeof ti;
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = w;
  ti.uId = UINT_PTR(GetDlgItem(w, IDC_PORT_LABEL));
  ti.lpszText = const_cast<char*>("");
  SendMessageA(g_labelTip, TTM_ADDTOOLA, 0, LPARAM(&ti));
}

void SetStatusIcon(int index) {
  HICON icon = ImageList_GetIcon(static_cast<HIMAGELIST>(app().statusImages), index, ILD_NORMAL);
  HICON old = reinterpret_cast<HICON>(SendDlgItemMessageA(MainWindow(), IDC_STATUS_ICON, STM_SETICON, WPARAM(icon), 0));
  if (old) DestroyIcon(old);
}

void FillAdapterList(HWND dlg) {
  SendDlgItemMessageA(dlg, IDC_SET_DEVICES, LB_RESETCONTENT, 0, 0);
  for (const std::string& line : AdapterListLines())
    SendDlgItemMessageA(dlg, IDC_SET_DEVICES, LB_ADDSTRING, 0, LPARAM(line.c_str()));
}

void SelectCurrentPort(HWND dlg) {
  SendDlgItemMessageA(dlg, IDC_SET_PORT, CB_SETCURSEL, WPARAM(app().comPort - 1), 0);
}

void InitSettings(HWND dlg, LPARAM form) {
  AppState& a = app();
  a.settingsWindow = dlg;
  for (int n = 1; n <= 256; ++n) {
    char text[12];
    std::snprintf(text, sizeof text, "COM%d", n);
    SendDlgItemMessageA(dlg, IDC_SET_PORT, CB_ADDSTRING, 0, LPARAM(text));
  }
  SelectCurrentPort(dlg);
  FillAdapterList(dlg);
  SetDlgItemTextA(dlg, IDC_SET_FOLDER, a.dataFolder);
  ShowWindow(GetDlgItem(dlg, IDC_SET_SPEED_LABEL), SW_SHOW);
  ShowWindow(GetDlgItem(dlg, IDC_SET_SPEED), SW_SHOW);
  for (const char* s : {"115,2 Кбит/c", "200 Кбит/c", "2 Mбит/c"})
    SendDlgItemMessageA(dlg, IDC_SET_SPEED, CB_ADDSTRING, 0, LPARAM(s));
  const int speedIndex = a.speed == 115200 ? 0 : a.speed == 200000 ? 1 : a.speed == 2000000 ? 2 : -1;
  if (speedIndex >= 0)
    SendDlgItemMessageA(dlg, IDC_SET_SPEED, CB_SETCURSEL, WPARAM(speedIndex), 0);
  else
    Box(dlg, "Ошибка инициализации скорости порта", a.appName, MB_OK | MB_ICONERROR);
  if (form == SETTINGS_PORT_FORM) {
    for (int id : {IDC_SET_FOLDER_GROUP, IDC_SET_FOLDER, IDC_SET_CHANGE, IDC_SET_OPEN})
      ShowWindow(GetDlgItem(dlg, id), SW_HIDE);
    MoveWindow(GetDlgItem(dlg, IDC_SET_OK), 200, 155, 64, 24, TRUE);
    RECT r;
    GetWindowRect(MainWindow(), &r);
    MoveWindow(dlg, r.left + 20, r.top + 40, 287, 215, TRUE);
    SetWindowTextA(dlg, "Настройки порта");
  }
}

void PortChosen(HWND dlg) {
  AppState& a = app();
  a.comPort = int(SendDlgItemMessageA(dlg, IDC_SET_PORT, CB_GETCURSEL, 0, 0)) + 1;
  SetPortLabel(a.comPort);
  Box(dlg, "Номер com порта изменен", a.appName, MB_OK | MB_ICONINFORMATION);
}

void SpeedChosen(HWND dlg) {
  AppState& a = app();
  const int index = int(SendDlgItemMessageA(dlg, IDC_SET_SPEED, CB_GETCURSEL, 0, 0));
  if (index < 0 || index > 2) {
    Box(dlg, "Ошибка изменения, попробуйте снова", a.appName, MB_OK | MB_ICONERROR);
    return;
  }
  const int speeds[3] = {115200, 200000, 2000000};
  a.speed = speeds[index];
  SetPortLabel(a.comPort);
  WriteSpeedSetting(a.speed);
  Box(dlg, "Скорость порта изменена", a.appName, MB_OK | MB_ICONINFORMATION);
}

void ChangeFolder(HWND dlg) {
  AppState& a = app();
  char path[MAX_PATH] = {};
  if (!PickFolder(dlg, "Выберите папку для сохранения данных", path)) return;
  std::memset(a.dataFolder, 0, sizeof a.dataFolder);
  std::snprintf(a.dataFolder, sizeof a.dataFolder, "%s", path);
  WriteDataFolderSetting(a.dataFolder);
  SetDlgItemTextA(dlg, IDC_SET_FOLDER, a.dataFolder);
}

}  // namespace

static FolderHook& folder_hook() {
  static FolderHook hook;
  return hook;
}

void SetFolderHook(FolderHook hook) { folder_hook() = std::move(hook); }

bool PickFolder(HWND owner, const char* title, char path[MAX_PATH]) {
  if (folder_hook()) {
    std::string chosen;
    if (!folder_hook()(chosen)) return false;
    std::snprintf(path, MAX_PATH, "%s", chosen.c_str());
    return true;
  }
  char display[260] = {};
  BROWSEINFOA bi = {};
  bi.hwndOwner = owner;
  bi.pszDisplayName = display;
  bi.lpszTitle = title;
  bi.ulFlags = BIF_NEWDIALOGSTYLE | BIF_EDITBOX;
  // The new-style folder browser needs COM on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  LPITEMIDLIST item = SHBrowseForFolderA(&bi);
  bool chosen = false;
  if (item) {
    path[0] = 0;
    chosen = SHGetPathFromIDListA(item, path) != 0;
    if (!chosen) Box(owner, "error: SHGetPathFromIDList", app().appName, MB_OK | MB_ICONERROR);
    CoTaskMemFree(item);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return chosen;
}

namespace {

INT_PTR CALLBACK SettingsProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  if (HandleDialogReady(dlg, msg, wp)) return TRUE;
  switch (msg) {
    case WM_INITDIALOG:
      InitSettings(dlg, lp);
      PostDialogReady(dlg, IDD_SETTINGS);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDC_SET_PORT:
          if (HIWORD(wp) == CBN_SELCHANGE) PortChosen(dlg);
          break;
        case IDC_SET_SPEED:
          if (HIWORD(wp) == CBN_SELCHANGE) SpeedChosen(dlg);
          break;
        case IDC_SET_CHANGE: ChangeFolder(dlg); break;
        case IDC_SET_OPEN:
          ShellExecuteA(nullptr, nullptr, app().dataFolder, nullptr, nullptr, SW_SHOWNORMAL);
          break;
        case IDC_SET_OK:
        case IDCANCEL: EndDialog(dlg, LOWORD(wp)); break;
        default: break;
      }
      return TRUE;
    case WM_DEVICECHANGE:
      if (wp == DBT_DEVICEARRIVAL || wp == DBT_DEVICEREMOVECOMPLETE) FillAdapterList(dlg);
      SelectCurrentPort(dlg);
      return TRUE;
    case WM_CLOSE: EndDialog(dlg, 0); return TRUE;
    case WM_DESTROY: app().settingsWindow = nullptr; return FALSE;
    default: return FALSE;
  }
}

}  // namespace

void BuildStatusImages() {
  const int bitmaps[3] = {IDB_STATUS_ON, IDB_STATUS_BUSY, IDB_STATUS_OFF};
  HIMAGELIST list = ImageList_Create(16, 15, ILC_COLOR32 | ILC_MASK, 3, 0);
  for (int id : bitmaps) {
    HBITMAP b = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
    ImageList_AddMasked(list, b, RGB(235, 235, 235));
    DeleteObject(b);
  }
  app().statusImages = list;
}

void RefreshConnection() {
  AppState& a = app();
  HWND w = MainWindow();
  const AdapterScan s = ScanAdapters();
  CreateLabelTip();
  if (!s.any) {
    a.adapterConnected = false;
    SetDlgItemTextA(w, IDC_PORT_LABEL, " ");
    SetDlgItemTextA(w, IDC_ADAPTER_TEXT, " ");
    SetStatusIcon(2);
    SetLabelTip("");
    return;
  }
  const AdapterEntry& e = s.table[s.chosen];
  a.adapterConnected = true;
  a.comPort = PortNumberOf(e.portCopy);
  SetDlgItemTextA(w, IDC_ADAPTER_TEXT, "КОР подключен");
  SetStatusIcon(0);
  SetDlgItemTextA(w, IDC_PORT_LABEL, PortLabelText(e.portName, a.speed).c_str());
  SetLabelTip("щелкните чтобы изменить настройки");
  if (std::strcmp(s.table[0].serial, kBoardSerial) == 0) SetDlgItemTextA(w, IDC_ADAPTER_TEXT, "Плата подключена");
}

void SetPortLabel(int comPort) {
  char name[16];
  std::snprintf(name, sizeof name, "COM%d", comPort);
  SetDlgItemTextA(MainWindow(), IDC_PORT_LABEL, PortLabelText(name, app().speed).c_str());
}

void PortLabelCursor() { SetCursor(LoadCursor(nullptr, app().adapterConnected ? IDC_HAND : IDC_ARROW)); }

INT_PTR SettingsDialog(HWND owner, bool portForm) {
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SETTINGS), owner, SettingsProc,
                         portForm ? SETTINGS_PORT_FORM : 0);
}

}  // namespace kor::gui
