// The three tabs, the kind buttons, and choosing the file to send.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "gui/resource.h"
#include "gui/window.h"

namespace kor::gui {

namespace {

struct Kind {
  int id;
  const char* text;
  int row;  // y of the file box beside it
  const char* hint;
};
const Kind kKinds[] = {
    {IDC_KIND_PROGRAM, "Программа", 45, "файл программы..."},
    {IDC_KIND_SUBPROGRAM, "Подпрограмма", 70, "файл подпрограммы..."},
    {IDC_KIND_PARAMETERS, "Параметры", 95, "файл параметров..."},
    {IDC_KIND_CORRECTION, "Коррекция", 120, "выберите файл..."},
    {IDC_KIND_FIRMWARE, "Прошивка", 145, "файл прошивки..."},
};

const Kind* FindKind(int id) {
  for (const Kind& k : kKinds)
    if (k.id == id) return &k;
  return nullptr;
}

void DestroyKindButtons() {
  for (const Kind& k : kKinds)
    if (HWND h = GetDlgItem(MainWindow(), k.id)) DestroyWindow(h);
}

void CreateKindButtons(int tab) {
  HWND w = MainWindow();
  int y = 42;
  for (const Kind& k : kKinds) {
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON;
    if (k.id == IDC_KIND_PROGRAM) style |= WS_GROUP;
    HWND b = CreateWindowExA(0, "BUTTON", k.text, style, 25, y, 95, 20, w, reinterpret_cast<HMENU>(INT_PTR(k.id)),
                             GetModuleHandleA(nullptr), nullptr);
    SendMessageA(b, WM_SETFONT, WPARAM(ShellFont(false)), TRUE);
    y += 25;
  }
  CheckDlgButton(w, IDC_KIND_PROGRAM, BST_CHECKED);
  SendMessageA(w, WM_COMMAND, IDC_KIND_PROGRAM, 0);
  EnableWindow(GetDlgItem(w, IDC_KIND_CORRECTION), FALSE);
  if (tab == 0)
    DestroyWindow(GetDlgItem(w, IDC_KIND_FIRMWARE));
  else
    EnableWindow(GetDlgItem(w, IDC_KIND_CORRECTION), FALSE);
}

void SetFileTooltip(const char* text) {
  TOOLINFOA ti = {};
  ti.cbSize = sizeof ti;
  ti.uFlags = TTF_IDISHWND;
  ti.hwnd = MainWindow();
  ti.uId = UINT_PTR(app().fileBox);
  ti.lpszText = const_cast<char*>(text);
  SendMessageA(static_cast<HWND>(app().fileTooltip), TTM_UPDATETIPTEXTA, 0, LPARAM(&ti));
}

void FileBoxFont(bool italic) {
  SendMessageA(static_cast<HWND>(app().fileBox), WM_SETFONT, WPARAM(ShellFont(italic)), TRUE);
}

const char* BareName(const char* path) {
  const char* slash = std::strrchr(path, '\\');
  return slash ? slash + 1 : path;
}

struct BrowseKind {
  DataKind kind;
  const char* title;
  const char* filter;  // pairs, each part ended by a zero
  bool inDataFolder;
};
const BrowseKind kBrowse[] = {
    {DataKind::Program, "Программы",
     "Файл программы КОР *.txt\0*.txt\0Файл программы КОР *.bin\0*.bin\0", true},
    {DataKind::Subprogram, "Подпрограммы",
     "Файл Подпрограммы КОР *.txt\0*.txt\0Файл подпрограммы КОР *.bin\0*.bin\0", true},
    {DataKind::Parameters, "Параметры",
     "Файл параметров КОР *.koreep\0*.koreep\0Файл параметров КОР *.bin\0*.bin\0Все файлы *.*\0*.*\0", true},
    {DataKind::Firmware, "Прошивка", "Файл прошивки *.hex\0*.hex\0Все файлы *.*\0*.*\0", false},
};

}  // namespace

void SelectFile(const char* path, const char* shown) {
  AppState& a = app();
  FileBoxFont(false);
  SetWindowTextA(static_cast<HWND>(a.fileBox), shown);
  std::memset(a.selectedFile, 0, sizeof a.selectedFile);
  std::snprintf(a.selectedFile, sizeof a.selectedFile, "%s", path);
  ShowItem(IDC_LOAD, true);
  SetFileTooltip(a.selectedFile);
}

void SwitchTab(int tab) {
  AppState& a = app();
  a.tab = tab;
  DestroyKindButtons();
  InvalidateRect(MainWindow(), nullptr, TRUE);
  for (int id : {IDC_DIRECTION, IDC_DIRECTION_LABEL, IDC_PROGRAM_NO, IDC_SUBPROGRAM_NO}) ShowItem(id, false);
  switch (tab) {
    case 0:
      CreateKindButtons(0);
      ShowItem(IDC_PROGRESS, true);
      ShowItem(IDC_SAVE, true);
      for (int id : {IDC_FILE_BOX, IDC_LOAD, IDC_BROWSE, IDC_SET_CLOCK}) ShowItem(id, false);
      ShowItem(IDC_PROGRESS_TEXT, true);
      break;
    case 1:
      CreateKindButtons(1);
      FileBoxFont(true);
      ShowItem(IDC_PROGRESS, true);
      ShowItem(IDC_BROWSE, true);
      for (int id : {IDC_SAVE, IDC_SET_CLOCK, IDC_DIRECTION, IDC_DIRECTION_LABEL}) ShowItem(id, false);
      ShowItem(IDC_PROGRESS_TEXT, true);
      break;
    default:
      for (int id : {IDC_PROGRESS, IDC_BROWSE, IDC_SAVE, IDC_LOAD, IDC_FILE_BOX, IDC_DIRECTION, IDC_DIRECTION_LABEL,
                     IDC_PROGRESS_TEXT})
        ShowItem(id, false);
      ShowItem(IDC_SET_CLOCK, true);
      break;
  }
}

void SelectKind(int id) {
  AppState& a = app();
  a.kind = static_cast<DataKind>(id);
  const Kind* k = FindKind(id);
  if (a.tab == 1) {
    HWND box = static_cast<HWND>(a.fileBox);
    MoveWindow(box, 125, k ? k->row : 45, 121, 16, TRUE);
    ShowWindow(box, SW_SHOW);
    FileBoxFont(true);
    SetWindowTextA(box, k ? k->hint : "выберите файл...");
    ShowItem(IDC_LOAD, false);
    std::memset(a.selectedFile, 0, sizeof a.selectedFile);
    SetFileTooltip(a.selectedFile);
  } else if (a.tab == 0) {
    for (int c : {IDC_DIRECTION, IDC_DIRECTION_LABEL, IDC_PROGRAM_NO, IDC_SUBPROGRAM_NO}) ShowItem(c, false);
    if (a.kind == DataKind::Program) ShowItem(IDC_PROGRAM_NO, true);
    if (a.kind == DataKind::Subprogram) ShowItem(IDC_SUBPROGRAM_NO, true);
    if (a.kind == DataKind::Correction) {
      ShowItem(IDC_DIRECTION, true);
      ShowItem(IDC_DIRECTION_LABEL, true);
    }
  }
}

void Browse() {
  const AppState& a = app();
  const BrowseKind* b = nullptr;
  for (const BrowseKind& k : kBrowse)
    if (k.kind == a.kind) b = &k;
  if (!b) return;
  char file[260] = {}, title[260] = {};
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  ofn.hwndOwner = MainWindow();
  ofn.lpstrFilter = b->filter;
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpstrFileTitle = title;
  ofn.nMaxFileTitle = sizeof title;
  ofn.lpstrInitialDir = b->inDataFolder ? a.dataFolder : nullptr;
  ofn.lpstrTitle = b->title;
  if (!GetOpenFileNameA(&ofn)) return;
  if (FileAccepted(a.kind, file))
    SelectFile(file, title);
  else
    Box(MainWindow(), "Неизвестный формат файла", a.appName, MB_OK | MB_ICONERROR);
}

void DropFiles(HDROP drop) {
  const AppState& a = app();
  char name[260] = {};
  UINT count = 0;
  if (a.tab == 1) {
    count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) DragQueryFileA(drop, i, name, sizeof name);
  }
  DragFinish(drop);
  if (count == 0) return;
  switch (a.kind) {
    case DataKind::Program:
    case DataKind::Subprogram:
    case DataKind::Parameters:
    case DataKind::Firmware: break;
    default: return;
  }
  if (!FileAccepted(a.kind, name)) {
    Box(MainWindow(), "Неверный формат файла", a.appName, MB_OK | MB_ICONERROR);
    return;
  }
  SelectFile(name, BareName(name));
}

void SelectCommandLineFile() {
  AppState& a = app();
  HWND w = MainWindow();
  SendMessageA(static_cast<HWND>(a.tabControl), TCM_SETCURSEL, 1, 0);
  SwitchTab(1);
  SendMessageA(w, WM_COMMAND, IDC_KIND_PARAMETERS, 0);
  CheckDlgButton(w, IDC_KIND_PROGRAM, BST_UNCHECKED);
  CheckDlgButton(w, IDC_KIND_PARAMETERS, BST_CHECKED);
  char path[260];
  std::memcpy(path, a.commandLineFile, sizeof path);
  path[259] = 0;
  SelectFile(path, BareName(path));
}

void CreateTabTooltips(HWND main) {
  HWND tab = GetDlgItem(main, IDC_TAB);
  HWND tip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, main, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  RECT r;
  GetClientRect(tab, &r);
  const char* texts[3] = {"сохранить на ПК", "загрузка в КОР", "настроить КОР"};
  for (int i = 0; i < 3; ++i) {
    TOOLINFOA ti = {};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_SUBCLASS;
    ti.hwnd = tab;
    ti.uId = UINT_PTR(i);
    ti.rect = {75 * i, 0, 75 * i + 75, r.bottom};
    ti.lpszText = const_cast<char*>(texts[i]);
    SendMessageA(tip, TTM_ADDTOOLA, 0, LPARAM(&ti));
  }
}

void CreateFileBoxTooltip(HWND main) {
  AppState& a = app();
  HWND tip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, main, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  TOOLINFOA ti = {};
  ti.cbSize = sizeof ti;
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = main;
  ti.uId = UINT_PTR(a.fileBox);
  ti.lpszText = const_cast<char*>("");
  SendMessageA(tip, TTM_ADDTOOLA, 0, LPARAM(&ti));
  a.fileTooltip = tip;
}

}  // namespace kor::gui
