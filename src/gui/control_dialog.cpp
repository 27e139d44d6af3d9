// The control dialog "Управление" (220): a line of up to nine characters sent
// to the unit in one text frame.
#include <windows.h>

#include "gui/aux_resource.h"
#include "gui/aux_windows.h"
#include "gui/window.h"
#include "transfer/text_frame.h"

namespace kor::gui {

namespace {

HFONT TextFont() {
  static HFONT font = CreateFontA(20, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, "Consolas");
  return font;
}

void Send(HWND dlg) {
  char text[64] = {};
  GetDlgItemTextA(dlg, IDC_CONTROL_TEXT, text, sizeof text);
  SendControlText(text, dlg);
}

INT_PTR CALLBACK ControlProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
  if (HandleDialogReady(dlg, msg, wp)) return TRUE;
  switch (msg) {
    case WM_INITDIALOG:
      SendDlgItemMessageA(dlg, IDC_CONTROL_TEXT, WM_SETFONT, WPARAM(TextFont()), FALSE);
      PostDialogReady(dlg, IDD_CONTROL);
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wp) != BN_CLICKED) return TRUE;
      switch (LOWORD(wp)) {
        case IDC_CONTROL_START: Send(dlg); break;
        case IDC_CONTROL_STOP: Box(MainWindow(), "222", app().appName, MB_OK); break;
        case IDOK:
        case IDCANCEL: EndDialog(dlg, 0); break;
        default: break;
      }
      return TRUE;
    case WM_CLOSE: EndDialog(dlg, 0); return TRUE;
    default: return FALSE;
  }
}

}  // namespace

void ControlDialog(HWND owner) {
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_CONTROL), owner, ControlProc, 0);
}

}  // namespace kor::gui
