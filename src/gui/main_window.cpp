// The main window (dialog 100): its initialisation, its commands and the
// messages it answers itself.
#include <windows.h>

#include <commctrl.h>
#include <dbt.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/file_ls.h"
#include "app/settings.h"
#include "app/version.h"
#include "firmware/flashing.h"
#include "gui/aux_windows.h"
#include "gui/resource.h"
#include "gui/window.h"
#include "link/logged_port.h"
#include "link/rs232.h"
#include "params/param_memory.h"
#include "protocol/clock.h"
#include "transfer/correction.h"
#include "transfer/program_read.h"
#include "transfer/program_write.h"

namespace kor::gui {

namespace {

int ComboSelection(int id) { return int(SendDlgItemMessageA(MainWindow(), id, CB_GETCURSEL, 0, 0)); }

void FillNumberList(HWND w, int id, int count) {
  for (int n = 1; n <= count; ++n) {
    char text[8];
    std::snprintf(text, sizeof text, "%03d", n);
    SendDlgItemMessageA(w, id, CB_ADDSTRING, 0, LPARAM(text));
  }
  SendDlgItemMessageA(w, id, CB_ADDSTRING, 0, LPARAM("Всё"));
  SendDlgItemMessageA(w, id, CB_SETCURSEL, 0, 0);
}

HIMAGELIST MaskedImages(int cx, int cy, const int* bitmaps, int n, COLORREF mask) {
  HIMAGELIST list = ImageList_Create(cx, cy, ILC_COLOR32 | ILC_MASK, n, 0);
  for (int i = 0; i < n; ++i) {
    HBITMAP b = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(bitmaps[i]));
    ImageList_AddMasked(list, b, mask);
    DeleteObject(b);
  }
  return list;
}

HWND MakeTooltip(HWND owner) {
  return CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

void AddWindowTool(HWND tip, HWND owner, HWND tool, const char* text) {
  TOOLINFOA ti = {};
  ti.cbSize = sizeof ti;
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = owner;
  ti.uId = UINT_PTR(tool);
  ti.lpszText = const_cast<char*>(text);
  SendMessageA(tip, TTM_ADDTOOLA, 0, LPARAM(&ti));
}

void ButtonIcon(HWND w, int id, const char* text, int bitmap) {
  SetDlgItemTextA(w, id, text);
  HIMAGELIST list = MaskedImages(15, 15, &bitmap, 1, RGB(0, 0, 0));
  BUTTON_IMAGELIST bi = {};
  bi.himl = list;
  bi.uAlign = BUTTON_IMAGELIST_ALIGN_LEFT;
  SendDlgItemMessageA(w, id, BCM_SETIMAGELIST, 0, LPARAM(&bi));
}

void ToggleTopmost() {
  AppState& a = app();
  HMENU menu = GetMenu(MainWindow());
  if (!a.topmost) {
    CheckMenuItem(menu, IDM_TOPMOST, MF_BYCOMMAND | MF_CHECKED);
    SetWindowPos(MainWindow(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  } else {
    CheckMenuItem(menu, IDM_TOPMOST, MF_BYCOMMAND | MF_UNCHECKED);
    SetWindowPos(MainWindow(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }
  a.topmost = !a.topmost;
}

void ShowFastMode() {
  CheckMenuItem(GetMenu(MainWindow()), IDM_FAST, MF_BYCOMMAND | (app().fastMode ? MF_CHECKED : MF_UNCHECKED));
}

// Stored at once, like the other settings: the next start keeps it.
void ToggleFastMode() {
  app().fastMode = !app().fastMode;
  WriteFastSetting(app().fastMode);
  ShowFastMode();
}

void OpenDataSubFolder(const char* sub) {
  const AppState& a = app();
  char path[520];
  std::snprintf(path, sizeof path, "%s\\%s", a.dataFolder, sub);
  if (INT_PTR(ShellExecuteA(nullptr, nullptr, path, nullptr, nullptr, SW_SHOWNORMAL)) <= 32)
    ShellExecuteA(nullptr, nullptr, a.dataFolder, nullptr, nullptr, SW_SHOWNORMAL);
}

void InitMainWindow(HWND w) {
  AppState& a = app();
  a.mainWindow = w;
  DWORD v = GetVersion();
  a.windowsVersion = HIBYTE(LOWORD(v)) + 10 * LOBYTE(LOWORD(v));

  a.tabControl = GetDlgItem(w, IDC_TAB);
  a.progressBar = GetDlgItem(w, IDC_PROGRESS);
  a.fileBox = GetDlgItem(w, IDC_FILE_BOX);
  CheckMenuItem(GetMenu(w), IDM_TOPMOST, MF_BYCOMMAND | MF_CHECKED);
  SendDlgItemMessageA(w, IDC_DIRECTION, CB_ADDSTRING, 0, LPARAM("+"));
  SendDlgItemMessageA(w, IDC_DIRECTION, CB_ADDSTRING, 0, LPARAM("-"));
  SendDlgItemMessageA(w, IDC_DIRECTION, CB_SETCURSEL, 0, 0);
  FillNumberList(w, IDC_PROGRAM_NO, 20);
  FillNumberList(w, IDC_SUBPROGRAM_NO, 50);

  BuildStatusImages();
  ReadSpeedSetting();
  ReadFastSetting();
  ShowFastMode();
  RefreshConnection();

  HWND tab = GetDlgItem(w, IDC_TAB);
  // Three equal strips, as the tooltips and the painted frame expect them.
  RECT r;
  GetClientRect(tab, &r);
  SendMessageA(tab, TCM_SETITEMSIZE, 0, MAKELPARAM(75, r.bottom > 4 ? r.bottom : 18));
  for (int i = 0; i < 3; ++i) {
    TCITEMA item = {};
    item.mask = TCIF_IMAGE;
    item.iImage = i;
    SendMessageA(tab, TCM_INSERTITEMA, WPARAM(i), LPARAM(&item));
  }
  SendMessageA(tab, TCM_SETCURSEL, 0, 0);
  SwitchTab(0);
  const int tabImages[3] = {IDB_TAB_READ, IDB_TAB_SEND, IDB_TAB_SETUP};
  SendMessageA(tab, TCM_SETIMAGELIST, 0, LPARAM(MaskedImages(56, 13, tabImages, 3, RGB(0, 0, 0))));

  CreateTabTooltips(w);
  CreateFileBoxTooltip(w);
  HWND tip = MakeTooltip(w);
  AddWindowTool(tip, w, GetDlgItem(w, IDC_SAVE), "сохранить данные на ПК");
  AddWindowTool(tip, w, GetDlgItem(w, IDC_BROWSE), "выбрать файл для загрузки в КОР");
  AddWindowTool(tip, w, GetDlgItem(w, IDC_LOAD), "загрузить выбранный файл в КОР");

  ButtonIcon(w, IDC_SAVE, " Сохранить", IDB_SAVE_ICON);
  ButtonIcon(w, IDC_LOAD, " Загрузить", IDB_LOAD_ICON);

  SetWindowTextA(w, "KorSync");
  init_program_version();
  ToggleTopmost();
  ReadDataFolderSetting();
  DragAcceptFiles(w, TRUE);
  if (a.registeredDefault) PostMessageA(w, kDefaultNotice, kDefaultNoticeParam, 0);
}

// " Сохранить": read from the unit by kind.
void ReadByKind() {
  switch (app().kind) {
    case DataKind::Program: ReadPrograms(ComboSelection(IDC_PROGRAM_NO)); break;
    case DataKind::Subprogram: ReadSubprograms(ComboSelection(IDC_SUBPROGRAM_NO)); break;
    case DataKind::Parameters: ReadParameterMemory(); break;
    case DataKind::Correction: ReadCorrectionTable(ComboSelection(IDC_DIRECTION)); break;
    case DataKind::Firmware: break;
  }
}

void WriteProgramKind(DataKind kind) {
  if (!ProgramWriteMayStart()) return;
  INT_PTR r = DownloadDialog(MainWindow(), kind);
  // The dialog moved the window aside; back by as much.
  RECT now;
  GetWindowRect(MainWindow(), &now);
  MoveWindowTo(MainWindow(), now.left - 100, now.top);
  if (r != 1) return;
  if (kind == DataKind::Program)
    WriteProgram();
  else
    WriteSubprogram();
}

// " Загрузить": send the selected file by kind.
void SendByKind() {
  switch (app().kind) {
    case DataKind::Program:
    case DataKind::Subprogram: WriteProgramKind(app().kind); break;
    case DataKind::Parameters: WriteParametersCommand(); break;
    case DataKind::Firmware: FlashFirmware(); break;
    case DataKind::Correction: break;
  }
}

std::string ItemText(HWND w, int id) {
  char text[64] = {};
  GetDlgItemTextA(w, id, text, sizeof text);
  return text[0] == ' ' ? text + 1 : text;
}

// How the exchange log names a command that may talk to the unit; empty for the rest.
std::string UnitCommandName(HWND w, int id) {
  char text[64] = {};
  switch (id) {
    case IDM_SETTINGS:
    case IDM_LINK_TEST:
    case IDM_PARAMS_EDITOR:
    case IDM_UNIT_BACKUP:
    case IDM_UNIT_COMPARE: GetMenuStringA(GetMenu(w), UINT(id), text, sizeof text, MF_BYCOMMAND); return text;
    case IDC_PORT_LABEL: return "Настройки";
    case IDK_CONTROL: return "Управление";
    case IDC_SET_CLOCK: return ItemText(w, id);
    case IDC_SAVE:
    case IDC_LOAD: {
      const DataKind kind = app().kind;
      std::string name = ItemText(w, id) + ", " + ItemText(w, int(kind));
      if (id == IDC_SAVE && kind == DataKind::Program) name += " " + ItemText(w, IDC_PROGRAM_NO);
      if (id == IDC_SAVE && kind == DataKind::Subprogram) name += " " + ItemText(w, IDC_SUBPROGRAM_NO);
      if (id == IDC_LOAD) name += ": " + std::string(app().selectedFile);
      return name;
    }
    default: return "";
  }
}

void Dispatch(HWND w, int id, LPARAM lp);

// A command that may talk to the unit is logged when the registry value "log"
// names a file (read each time, so a change needs no restart). One already
// being logged logs what the message pump runs meanwhile.
void Command(HWND w, int id, int code, LPARAM lp) {
  // Menus, accelerators and clicks; other notifications of the controls are not commands.
  if (code != 0 && code != 1) return;
  const std::string name = exchange_log() ? "" : UnitCommandName(w, id);
  const std::string file = name.empty() ? "" : LogSetting();
  if (file.empty()) {
    Dispatch(w, id, lp);
    return;
  }
  const AppState& a = app();
  char port[16] = {};
  if (a.comPort) std::snprintf(port, sizeof port, "COM%d", a.comPort);
  LoggedRun log;
  // A file that cannot be opened must not keep the operator from the unit.
  const bool logged = log.Start(file, "KorSync " + name, port, a.speed);
  Dispatch(w, id, lp);
  if (logged) log.End(log.failed() ? 1 : 0);
}

void Dispatch(HWND w, int id, LPARAM lp) {
  AppState& a = app();
  switch (id) {
    case IDM_SETTINGS: SettingsDialog(w, false); break;
    case IDC_PORT_LABEL:
      if (a.adapterConnected) SettingsDialog(w, true);
      break;
    case IDM_LINK_TEST: LinkTestDialog(w); break;
    // With 0xAFFF the editor also takes the command-line file.
    case IDM_PARAMS_EDITOR: ParamsEditor(w, lp == kCommandLineMarker); break;
    case IDM_ABOUT:
    case IDK_ABOUT: AboutDialog(w); break;
    case IDK_CONTROL: ControlDialog(w); break;
    case IDM_TOPMOST: ToggleTopmost(); break;
    case IDM_FAST: ToggleFastMode(); break;
    case IDM_OPEN_PARAMS: OpenDataSubFolder(kParametersFolder); break;
    case IDM_OPEN_PROGRAMS: OpenDataSubFolder(kProgramsFolder); break;
    case IDM_OPEN_SUBPROGRAMS: OpenDataSubFolder(kSubprogramsFolder); break;
    case IDM_UNIT_BACKUP: UnitBackupCommand(w); break;
    case IDM_UNIT_COMPARE: UnitCompareCommand(w); break;
    case IDK_OPEN_DATA: ShellExecuteA(nullptr, nullptr, a.dataFolder, nullptr, nullptr, SW_SHOWNORMAL); break;
    case IDM_EXIT: PostQuitMessage(0); break;
    case IDM_INDICATION:
    case IDK_NOTHING: break;
    case IDC_KIND_PROGRAM:
    case IDC_KIND_SUBPROGRAM:
    case IDC_KIND_PARAMETERS:
    case IDC_KIND_CORRECTION:
    case IDC_KIND_FIRMWARE: SelectKind(id); break;
    case IDC_SET_CLOCK: SetUnitClock(); break;
    case IDC_SAVE: ReadByKind(); break;
    case IDC_LOAD: SendByKind(); break;
    case IDC_BROWSE: Browse(); break;
    case IDC_STOP:
      SetDlgItemTextA(w, IDC_STOP, "Завершаю...");
      a.stopRequested = true;
      break;
    default: break;
  }
}

void Paint(HWND w) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w, &ps);
  RECT panel = {8, 31, 260, 235};
  FillRect(dc, &panel, GetSysColorBrush(COLOR_WINDOW));
  HPEN frame = CreatePen(PS_SOLID, 1, app().windowsVersion == 100 ? RGB(217, 217, 217) : RGB(145, 156, 156));
  HGDIOBJ old = SelectObject(dc, frame);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, panel.left, panel.top, panel.right, panel.bottom);
  SelectObject(dc, oldBrush);
  // Opens the frame under the selected tab.
  const int x = app().tab == 0 ? 9 : app().tab == 1 ? 83 : 157;
  HPEN white = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
  SelectObject(dc, white);
  MoveToEx(dc, x, 31, nullptr);
  LineTo(dc, x + 76, 31);
  SelectObject(dc, old);
  DeleteObject(white);
  DeleteObject(frame);
  EndPaint(w, &ps);
}

INT_PTR StaticColours(HDC dc, HWND control) {
  static HBRUSH windowBrush = GetSysColorBrush(COLOR_WINDOW);
  const int id = GetDlgCtrlID(control);
  if ((id >= IDC_KIND_PROGRAM && id <= IDC_KIND_FIRMWARE) || id == IDC_DIRECTION_LABEL || id == IDC_PROGRESS_TEXT) {
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return INT_PTR(windowBrush);
  }
  if (id == IDC_PORT_LABEL) {
    SetTextColor(dc, RGB(0, 0, 130));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return INT_PTR(GetSysColorBrush(COLOR_BTNFACE));
  }
  return FALSE;
}

}  // namespace

INT_PTR CALLBACK MainWindowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  AppState& a = app();
  switch (msg) {
    case WM_INITDIALOG: InitMainWindow(w); return TRUE;
    case WM_COMMAND: Command(w, LOWORD(wp), HIWORD(wp), lp); return TRUE;
    case WM_NOTIFY: {
      const NMHDR* h = reinterpret_cast<const NMHDR*>(lp);
      if (h->idFrom == IDC_TAB && h->code == UINT(TCN_SELCHANGE))
        SwitchTab(int(SendMessageA(h->hwndFrom, TCM_GETCURSEL, 0, 0)));
      return FALSE;
    }
    case WM_DROPFILES: DropFiles(reinterpret_cast<HDROP>(wp)); return TRUE;
    case WM_CLOSE: PostQuitMessage(0); return TRUE;
    case WM_DEVICECHANGE:
      if (wp == DBT_DEVICEARRIVAL || wp == DBT_DEVICEREMOVECOMPLETE) RefreshConnection();
      return TRUE;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wp) == GetDlgItem(w, IDC_PORT_LABEL)) {
        PortLabelCursor();
        SetWindowLongPtrA(w, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    case kDefaultNotice:
      if (wp == kDefaultNoticeParam && a.registeredDefault) {
        Box(w, "Приложение установлено по умолчанию", a.appName, MB_OK | MB_ICONINFORMATION);
        a.registeredDefault = false;
      }
      return TRUE;
    case WM_PAINT: Paint(w); return TRUE;
    case WM_CTLCOLORSTATIC: return StaticColours(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    default: break;
  }
  if (a.closeMessage && msg == a.closeMessage) {
    // Another copy was started with a parameter file; give way unless the port is ours.
    if (reinterpret_cast<HWND>(wp) != w && !CRs232::PortInUse()) PostQuitMessage(0);
    return TRUE;
  }
  return FALSE;
}

}  // namespace kor::gui
