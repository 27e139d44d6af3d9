// Start-up, the command line and the message loop.
#include <windows.h>

#include <commctrl.h>

#include "app/settings.h"
#include "gui/resource.h"
#include "gui/window.h"
#include "params/param_file.h"
#include "params/params_host.h"

namespace kor::gui {

namespace {

HACCEL g_accel = nullptr;

// What the parameter files ask of the main window when the program is started
// with one; the editor's own parts arrive with the editor.
class MainWindowHost : public ParamsHost {
 public:
  void OpenEditorForCommandLineFile() override {
    PostMessageA(MainWindow(), WM_COMMAND, IDM_PARAMS_EDITOR, kCommandLineMarker);
  }
  void BroadcastCloseOthers() override {
    PostMessageA(HWND_BROADCAST, app().closeMessage, WPARAM(MainWindow()), 0);
  }
};

MainWindowHost g_host;

}  // namespace

HWND MainWindow() { return static_cast<HWND>(app().mainWindow); }

RECT RememberMainPlace() {
  AppState& a = app();
  RECT r;
  GetWindowRect(MainWindow(), &r);
  a.rectLeft = r.left;
  a.rectTop = r.top;
  a.rectRight = r.right;
  a.rectBottom = r.bottom;
  return r;
}

void MoveWindowTo(HWND w, int left, int top) {
  SetWindowPos(w, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
}
HACCEL Accelerators() { return g_accel; }
void SetAccelerators(HACCEL a) { g_accel = a; }

bool StartUp(HINSTANCE instance) {
  AppState& a = app();
  a.instance = instance;
  InitCommonControls();
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  set_operator(&window_operator());
  set_params_host(&g_host);

  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  SettingsStartUp(program);

  g_accel = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCEL));
  HWND w = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainWindowProc, 0);
  a.closeMessage = RegisterWindowMessageA("CloseKorSync");
  return w != nullptr;
}

void TakeCommandLine(const char* commandLine) { TakeCommandLineFile(commandLine); }

int MessageLoop() {
  AppState& a = app();
  static_assert(sizeof(MSG) <= sizeof a.message, "the message record fits AppState");
  MSG& m = *reinterpret_cast<MSG*>(a.message);
  // -1 is a failure of the call itself, not a message: end rather than spin.
  while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    HWND main = MainWindow();
    if (main && TranslateAcceleratorA(main, g_accel, &m)) continue;
    if (main && IsDialogMessageA(main, &m)) continue;
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  return int(m.wParam);
}

int RunKorSync(HINSTANCE instance, const char* commandLine) {
  if (!StartUp(instance)) return 1;
  TakeCommandLine(commandLine);
  return MessageLoop();
}

void ShutDown() {
  if (HWND w = MainWindow()) DestroyWindow(w);
  set_operator(nullptr);
  set_params_host(nullptr);
  SetMessageBoxHook(nullptr);
  SetDialogHook(nullptr);
  reset_app_state();
}

}  // namespace kor::gui
