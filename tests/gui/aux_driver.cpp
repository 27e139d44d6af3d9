// Runs the auxiliary windows outside the test programs.
//   aux_driver show STATE SECONDS   holds a window in STATE for a screenshot
//                                   (scripts/render-gui.sh); "list" names them
// Looks at, and drives, a running KorSync.exe (tests/e2e/wine_params_session.sh);
// a copy is found by the title of its parameters editor:
//   aux_driver editor TITLE SECONDS waits for that editor; prints the copy's
//                                   selected tab and file box; 0 when found
//   aux_driver hold-port TITLE      starts the connection test in that copy
//   aux_driver release TITLE        stops it and closes the test window
//   aux_driver quit TITLE           closes that copy
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "gui/aux_resource.h"
#include "gui/aux_windows.h"
#include "tree_select.h"
#include "gui/gui.h"
#include "gui/resource.h"
#include "link/serial_device.h"
#include "params/param_view.h"
#include "protocol/link_test.h"
#include "sim/sim_port.h"
#include "sim/unit.h"

namespace {

using namespace kor;

HWND Main() { return gui::MainWindow(); }
HWND Editor() { return static_cast<HWND>(app().paramsWindow); }

// Handles messages for a while.
void PumpFor(DWORD ms) {
  const DWORD until = GetTickCount() + ms;
  while (GetTickCount() < until) {
    gui::PumpPendingMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

// A parameter file with something in every group.
std::string SampleFile() {
  std::vector<uint8_t> m = sim::sample_parameter_memory();
  m[8] = 0x01;                     // P2.0: X, linear, format 0, diameter
  m[8 + 12] = 0x01 | (2 << 3);     // P2.1: Y, linear, format 2
  m[8 + 24] = 0x00 | (8 << 3);     // P2.2 measures C: circular, degrees
  m[2] = 11;
  m[6] = 11;
  m[8 + 8] = 0x41;                 // reference zone <P1.2
  m[8 + 9] = 0x80;                 // no external zeroing
  const int32_t offsets[3] = {12500, -3000, 324000};
  for (int c = 0; c < 3; ++c) std::memcpy(&m[76 + 16 + 4 * c], &offsets[c], 4);  // G54
  m[172] = 0;
  m[173] = 2;
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string path = std::string(temp) + "render.koreep";
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(m.data(), 1, m.size(), f);
    std::fclose(f);
  }
  return path;
}

void SelectGroup(const char* wanted) { test::SelectTreeItem(GetDlgItem(Editor(), IDC_PARAM_TREE), wanted); }

void ClickRow(int row) {
  HWND label = GetDlgItem(Editor(), kValueRowControls[row]);
  SendMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  SendMessageA(label, WM_LBUTTONUP, 0, 0);
}

struct EditorState {
  const char* name;
  const char* group;  // null: no file loaded
  int inputRow;       // -1: no input dialog
};

const EditorState kEditorStates[] = {
    {"editor-empty", nullptr, -1},
    {"editor-channels", "Оси - Измерительные каналы", -1},
    {"editor-display", "Оси - Экран", -1},
    {"editor-extras", "доп. настройки", -1},
    {"editor-channel", "Канал P2.0", -1},
    {"editor-channel-circular", "Канал P2.2", -1},
    {"editor-channel-none", "Канал P2.3", -1},
    {"editor-offsets", "G54", -1},
    {"editor-settings", "Настройки", -1},
    {"input-coeff", "Канал P2.0", 4},
    {"input-luft", "Канал P2.0", 5},
    {"input-zrm", "Канал P2.0", 9},
    {"input-erst", "Канал P2.0", 10},
    {"input-offset", "G54", 0},
    {"input-contrast", "Настройки", 0},
};
const char* const kOtherStates[] = {"linktest", "control", "about"};

int g_seconds = 4;
HWND g_dialog = nullptr;  // the modal dialog on show

void CALLBACK EndShow(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  request_link_test_stop();
  if (g_dialog && IsWindow(g_dialog)) EndDialog(g_dialog, 2);
  PostQuitMessage(0);
}

int ShowEditor(const EditorState& s) {
  gui::ParamsEditor(Main(), false);
  if (s.group) {
    const std::string file = SampleFile();
    gui::SetOpenFileHook([file](OPENFILENAMEA& ofn) {
      std::strncpy(ofn.lpstrFile, file.c_str(), ofn.nMaxFile - 1);
      return true;
    });
    SendMessageA(Editor(), WM_COMMAND, MAKEWPARAM(IDC_PARAM_OPEN, BN_CLICKED), 0);
    SelectGroup(s.group);
  }
  SetTimer(nullptr, 0, UINT(g_seconds * 1000), EndShow);
  if (s.inputRow >= 0) ClickRow(s.inputRow);  // the input dialog runs until the timer ends it
  return gui::MessageLoop();
}

// Wine under a bare X server stacks a dialog under the main window that owns
// it: the picture would show a black hole. Beside the main window it shows.
void PlaceBesideMain(HWND dlg) {
  g_dialog = dlg;
  RECT m, d;
  GetWindowRect(Main(), &m);
  GetWindowRect(dlg, &d);
  SetWindowPos(dlg, nullptr, m.left - (d.right - d.left) - 10, m.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

int ShowOther(const std::string& state) {
  sim::Unit unit;
  sim::SimPortDriver driver{unit};
  SetTimer(nullptr, 0, UINT(g_seconds * 1000), EndShow);
  if (state == "linktest") {
    set_port_driver(&driver);
    app().comPort = 5;
    gui::SetDialogHook([](HWND dlg, int) {
      PlaceBesideMain(dlg);
      SendMessageA(dlg, WM_COMMAND, IDC_TEST_START, 0);
    });
    gui::LinkTestDialog(Main());
    while (link_test_running()) PumpFor(50);
    set_port_driver(nullptr);
  } else if (state == "control") {
    gui::SetDialogHook([](HWND dlg, int) {
      PlaceBesideMain(dlg);
      SetDlgItemTextA(dlg, IDC_CONTROL_TEXT, "G54 X0");
    });
    gui::ControlDialog(Main());
  } else {
    gui::SetDialogHook([](HWND dlg, int) { PlaceBesideMain(dlg); });
    gui::AboutDialog(Main());
  }
  return 0;
}

int Show(const std::string& state) {
  if (state == "list") {
    for (const EditorState& s : kEditorStates) std::printf("%s\n", s.name);
    for (const char* s : kOtherStates) std::printf("%s\n", s);
    return 0;
  }
  gui::SetMessageBoxHook([](HWND, const char*, const char*, UINT) { return IDOK; });
  if (!gui::StartUp(GetModuleHandleA(nullptr))) return 2;
  gui::PumpPendingMessages();
  gui::SetDialogHook([](HWND dlg, int) { g_dialog = dlg; });
  for (const EditorState& s : kEditorStates)
    if (state == s.name) return ShowEditor(s);
  for (const char* s : kOtherStates)
    if (state == s) return ShowOther(state);
  std::fprintf(stderr, "unknown state %s\n", state.c_str());
  return 2;
}

// Another running copy, found by its editor's title.
struct Copy {
  HWND main = nullptr;
  HWND editor = nullptr;
};

std::string WindowText(HWND w) {
  char buf[300] = {};
  // Sent, not read from the window record: the control belongs to another process.
  SendMessageTimeoutA(w, WM_GETTEXT, sizeof buf, LPARAM(buf), SMTO_ABORTIFHUNG, 2000, nullptr);
  return buf;
}

HWND FindOwned(HWND owner, const std::function<bool(HWND)>& wanted) {
  struct Search {
    HWND owner;
    const std::function<bool(HWND)>* wanted;
    HWND found;
  } s = {owner, &wanted, nullptr};
  EnumWindows(
      [](HWND w, LPARAM lp) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lp);
        if ((!s->owner || GetWindow(w, GW_OWNER) == s->owner) && (*s->wanted)(w)) {
          s->found = w;
          return FALSE;
        }
        return TRUE;
      },
      LPARAM(&s));
  return s.found;
}

Copy FindCopy(const std::string& title, DWORD waitMs) {
  const DWORD until = GetTickCount() + waitMs;
  for (;;) {
    Copy c;
    c.editor = FindOwned(nullptr, [&](HWND w) {
      char buf[300] = {};
      GetWindowTextA(w, buf, sizeof buf);
      return title == buf && GetDlgItem(w, IDC_PARAM_TREE) != nullptr;
    });
    if (c.editor) c.main = GetWindow(c.editor, GW_OWNER);
    if (c.main || GetTickCount() >= until) return c;
    Sleep(100);
  }
}

HWND TestWindowOf(HWND main, DWORD waitMs) {
  const DWORD until = GetTickCount() + waitMs;
  for (;;) {
    HWND w = FindOwned(main, [](HWND w) { return GetDlgItem(w, IDC_TEST_START) != nullptr; });
    if (w || GetTickCount() >= until) return w;
    Sleep(100);
  }
}

bool WaitFor(const std::function<bool()>& done, DWORD waitMs) {
  const DWORD until = GetTickCount() + waitMs;
  while (!done()) {
    if (GetTickCount() >= until) return false;
    Sleep(100);
  }
  return true;
}

int Probe(const std::string& what, const std::string& title, int seconds) {
  const Copy c = FindCopy(title, DWORD(seconds) * 1000);
  if (!c.main) {
    std::printf("no editor %s\n", title.c_str());
    return 1;
  }
  if (what == "editor") {
    std::printf("editor: %s\n", title.c_str());
    std::printf("tab: %d\n", int(SendMessageA(GetDlgItem(c.main, IDC_TAB), TCM_GETCURSEL, 0, 0)));
    std::printf("file box: %s\n", WindowText(GetDlgItem(c.main, IDC_FILE_BOX)).c_str());
    std::printf("group: %s\n", WindowText(GetDlgItem(c.editor, IDC_PARAM_GROUP)).c_str());
    return 0;
  }
  if (what == "hold-port") {
    PostMessageA(c.main, WM_COMMAND, IDM_LINK_TEST, 0);
    HWND test = TestWindowOf(c.main, 10000);
    if (!test) return 1;
    PostMessageA(test, WM_COMMAND, MAKEWPARAM(IDC_TEST_START, BN_CLICKED), 0);
    // The first row written means the test has the port.
    const bool held = WaitFor([&] { return WindowText(GetDlgItem(test, IDC_TEST_TX)).rfind(" 0", 0) == 0; }, 20000);
    std::printf(held ? "port held\n" : "port not held\n");
    return held ? 0 : 1;
  }
  if (what == "release") {
    HWND test = TestWindowOf(c.main, 2000);
    if (!test) return 1;
    PostMessageA(test, WM_COMMAND, MAKEWPARAM(IDC_TEST_START, BN_CLICKED), 0);
    if (!WaitFor([&] { return WindowText(GetDlgItem(test, IDC_TEST_START)) == "Тест"; }, 10000)) return 1;
    PostMessageA(test, WM_COMMAND, MAKEWPARAM(IDC_TEST_EXIT, BN_CLICKED), 0);
    const bool closed = WaitFor([&] { return !IsWindow(test); }, 10000);
    std::printf(closed ? "port released\n" : "test window still open\n");
    return closed ? 0 : 1;
  }
  if (what == "quit") {
    PostMessageA(c.main, WM_CLOSE, 0, 0);
    return 0;
  }
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "show") == 0) {
    if (argc > 3) g_seconds = std::atoi(argv[3]);
    return Show(argv[2]);
  }
  if (argc >= 3) return Probe(argv[1], argv[2], argc > 3 ? std::atoi(argv[3]) : 5);
  std::fprintf(stderr,
               "usage: aux_driver show STATE SECONDS | editor TITLE SECONDS | hold-port TITLE | release TITLE | "
               "quit TITLE\n");
  return 2;
}
