// Runs the real main window outside the test programs:
//   gui_driver read DATA_DIR SLOT   reads program SLOT (1..20) into DATA_DIR through
//                                   " Сохранить", answering the save prompt No;
//                                   prints every message box; 0 when the file is there
//   gui_driver backup DATA_DIR [stop]
//                                   the menu's whole-unit backup into DATA_DIR's
//                                   kor_backup, Stop pressed at once when asked;
//                                   prints every message box
//   gui_driver compare DATA_DIR FOLDER
//                                   the menu's compare, FOLDER answering the folder
//                                   browser; prints every message box
//   gui_driver show STATE SECONDS [FILE]
//                                   holds the window in STATE for a screenshot
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/app_state.h"
#include "gui/gui.h"
#include "gui/resource.h"

namespace {

using namespace kor;

HWND Main() { return gui::MainWindow(); }

void SelectTab(int tab) {
  HWND t = GetDlgItem(Main(), IDC_TAB);
  SendMessageA(t, TCM_SETCURSEL, WPARAM(tab), 0);
  NMHDR h = {t, IDC_TAB, UINT(TCN_SELCHANGE)};
  SendMessageA(Main(), WM_NOTIFY, IDC_TAB, LPARAM(&h));
}

void SelectKind(int id) {
  CheckRadioButton(Main(), IDC_KIND_PROGRAM, IDC_KIND_FIRMWARE, id);
  SendMessageA(Main(), WM_COMMAND, id, 0);
}

void CALLBACK EndShow(HWND, UINT, UINT_PTR, DWORD) {
  HWND active = GetActiveWindow();
  if (active && active != Main()) EndDialog(active, 0);
  PostQuitMessage(0);
}

int Read(const char* data, int slot) {
  gui::SetMessageBoxHook([](HWND, const char* text, const char*, UINT type) {
    std::printf("box: %s\n", text);
    std::fflush(stdout);
    return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
  });
  if (!gui::StartUp(GetModuleHandleA(nullptr))) return 2;
  std::snprintf(app().dataFolder, sizeof app().dataFolder, "%s", data);
  std::printf("port: COM%d\n", app().comPort);
  SendDlgItemMessageA(Main(), IDC_PROGRAM_NO, CB_SETCURSEL, WPARAM(slot - 1), 0);
  PostMessageA(Main(), WM_COMMAND, IDC_SAVE, 0);
  PostMessageA(Main(), WM_CLOSE, 0, 0);
  gui::MessageLoop();
  char path[600];
  std::snprintf(path, sizeof path, "%s\\kor_programs\\kor_program_%03d.txt", data, slot);
  const bool there = GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
  std::printf("%s: %s\n", there ? "saved" : "missing", path);
  return there ? 0 : 1;
}

void PrintBoxes() {
  gui::SetMessageBoxHook([](HWND, const char* text, const char*, UINT type) {
    std::printf("box: %s\n", text);
    std::fflush(stdout);
    return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
  });
}

// A menu command on the running window, then the window closes.
int Menu(const char* data, int command, bool stop) {
  PrintBoxes();
  if (!gui::StartUp(GetModuleHandleA(nullptr))) return 2;
  std::snprintf(app().dataFolder, sizeof app().dataFolder, "%s", data);
  PostMessageA(Main(), WM_COMMAND, command, 0);
  // Handled while the first item is read: the run ends after it.
  if (stop) PostMessageA(Main(), WM_COMMAND, IDC_STOP, 0);
  PostMessageA(Main(), WM_CLOSE, 0, 0);
  gui::MessageLoop();
  return 0;
}

int Show(const std::string& state, int seconds, const char* file) {
  gui::SetMessageBoxHook([](HWND, const char*, const char*, UINT) { return IDOK; });
  if (!gui::StartUp(GetModuleHandleA(nullptr))) return 2;
  gui::PumpPendingMessages();
  const struct {
    const char* name;
    int tab, kind;
  } states[] = {
      {"tab0-program", 0, IDC_KIND_PROGRAM},       {"tab0-subprogram", 0, IDC_KIND_SUBPROGRAM},
      {"tab0-parameters", 0, IDC_KIND_PARAMETERS}, {"tab1-program", 1, IDC_KIND_PROGRAM},
      {"tab1-subprogram", 1, IDC_KIND_SUBPROGRAM}, {"tab1-parameters", 1, IDC_KIND_PARAMETERS},
      {"tab1-firmware", 1, IDC_KIND_FIRMWARE},     {"tab1-chosen", 1, IDC_KIND_PROGRAM},
      {"tab2", 2, 0},                              {"settings", 0, IDC_KIND_PROGRAM},
      {"settings-port", 0, IDC_KIND_PROGRAM},      {"download", 1, IDC_KIND_PROGRAM},
  };
  bool known = false;
  for (const auto& s : states) {
    if (state != s.name) continue;
    known = true;
    if (s.tab != 0) SelectTab(s.tab);
    if (s.kind) SelectKind(s.kind);
  }
  if (!known) {
    std::fprintf(stderr, "unknown state %s\n", state.c_str());
    return 2;
  }
  if ((state == "tab1-chosen" || state == "download") && file) {
    const char* slash = std::strrchr(file, '\\');
    gui::SelectFile(file, slash ? slash + 1 : file);
  }
  SetTimer(nullptr, 0, UINT(seconds * 1000), EndShow);
  if (state == "settings")
    gui::SettingsDialog(Main(), false);
  else if (state == "settings-port")
    gui::SettingsDialog(Main(), true);
  else if (state == "download")
    gui::DownloadDialog(Main(), DataKind::Program);
  else
    gui::MessageLoop();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::strcmp(argv[1], "read") == 0) return Read(argv[2], std::atoi(argv[3]));
  if (argc >= 3 && std::strcmp(argv[1], "backup") == 0)
    return Menu(argv[2], IDM_UNIT_BACKUP, argc > 3 && std::strcmp(argv[3], "stop") == 0);
  if (argc >= 4 && std::strcmp(argv[1], "compare") == 0) {
    const std::string folder = argv[3];
    gui::SetFolderHook([folder](std::string& path) {
      path = folder;
      return true;
    });
    return Menu(argv[2], IDM_UNIT_COMPARE, false);
  }
  if (argc >= 4 && std::strcmp(argv[1], "show") == 0) return Show(argv[2], std::atoi(argv[3]), argc > 4 ? argv[4] : nullptr);
  std::fprintf(stderr, "usage: gui_driver read DATA_DIR SLOT | show STATE SECONDS [FILE]\n");
  return 2;
}
