// Message boxes, the operator interface on the main window, the message pump,
// fonts, and the hooks through which tests answer boxes and dialogs.
#include <windows.h>

#include <commctrl.h>

#include "app/operator.h"
#include "gui/resource.h"
#include "gui/window.h"

namespace kor::gui {

namespace {

MessageBoxHook g_boxHook;
DialogHook g_dialogHook;

UINT IconFlags(Icon icon) {
  switch (icon) {
    case Icon::Error: return MB_ICONERROR;
    case Icon::Warning: return MB_ICONWARNING;
    case Icon::Information: return MB_ICONINFORMATION;
    case Icon::Question: return MB_ICONQUESTION;
  }
  return 0;
}

class WindowOperator : public Operator {
 public:
  void Message(const char* text, const char* caption, Icon icon, Handle owner) override {
    Box(owner ? static_cast<HWND>(owner) : MainWindow(), text, caption, MB_OK | IconFlags(icon));
  }
  bool AskYesNo(const char* text, const char* caption) override {
    return Box(MainWindow(), text, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
  }
  void ProgressRange(int low, int high) override {
    SendDlgItemMessageA(MainWindow(), IDC_PROGRESS, PBM_SETRANGE32, WPARAM(low), LPARAM(high));
  }
  void ProgressPos(int pos) override { SendDlgItemMessageA(MainWindow(), IDC_PROGRESS, PBM_SETPOS, WPARAM(pos), 0); }
  void ProgressText(const char* text) override {
    SendDlgItemMessageA(MainWindow(), IDC_PROGRESS_TEXT, WM_SETTEXT, 0, LPARAM(text));
  }
  void ProgressFont(bool italic, int control) override { SetProgressFont(italic, control); }
  void PumpPendingMessages() override { gui::PumpPendingMessages(); }
  void Stop(StopButton what) override {
    switch (what) {
      case StopButton::Show: ShowItem(IDC_STOP, true); break;
      case StopButton::Hide: ShowItem(IDC_STOP, false); break;
      case StopButton::ResetText: SetDlgItemTextA(MainWindow(), IDC_STOP, "Стоп"); break;
    }
  }
};

}  // namespace

Operator& window_operator() {
  static WindowOperator o;
  return o;
}

void SetMessageBoxHook(MessageBoxHook hook) { g_boxHook = std::move(hook); }

int Box(HWND owner, const char* text, const char* caption, UINT type) {
  if (g_boxHook) return g_boxHook(owner, text, caption, type);
  return MessageBoxA(owner, text, caption, type);
}

void SetDialogHook(DialogHook hook) { g_dialogHook = std::move(hook); }

void PostDialogReady(HWND dialog, int resourceId) {
  if (g_dialogHook) PostMessageA(dialog, kDialogReady, WPARAM(resourceId), 0);
}

bool HandleDialogReady(HWND dialog, UINT msg, WPARAM wp) {
  if (msg != kDialogReady) return false;
  if (g_dialogHook) g_dialogHook(dialog, int(wp));
  return true;
}

void PumpPendingMessages() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      // The operation that pumps must not swallow the end of the program: the
      // message loop gets it again once the operation is over.
      PostQuitMessage(int(m.wParam));
      return;
    }
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}

HFONT ShellFont(bool italic) {
  static HFONT fonts[2] = {};
  HFONT& f = fonts[italic ? 1 : 0];
  if (!f)
    f = CreateFontA(12, 0, 0, 0, FW_NORMAL, italic, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "MS Shell Dlg");
  return f;
}

HFONT ProgressFont(bool italic) {
  static HFONT fonts[2] = {};
  HFONT& f = fonts[italic ? 1 : 0];
  if (!f)
    f = CreateFontA(-9, 0, 0, 0, 700, italic, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Verdana");
  return f;
}

void SetProgressFont(bool italic, int control) {
  SendDlgItemMessageA(MainWindow(), control, WM_SETFONT, WPARAM(ProgressFont(italic)), TRUE);
}

void ShowItem(int id, bool shown) {
  HWND h = GetDlgItem(MainWindow(), id);
  if (h) ShowWindow(h, shown ? SW_SHOW : SW_HIDE);
}

}  // namespace kor::gui
