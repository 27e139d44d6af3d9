// The parameter input dialog "Ввод параметров" (198): a typed value, an input
// chosen from a list with its inversion, or the screen brightness on a track
// bar. The parameter code fills the fields and reads what the operator left.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>

#include "gui/aux_resource.h"
#include "gui/aux_windows.h"
#include "gui/window.h"

namespace kor::gui {

namespace {

InputFields& Fields(HWND dlg) { return *reinterpret_cast<InputFields*>(GetWindowLongPtrA(dlg, DWLP_USER)); }

void ShowBarValue(HWND dlg) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", int(SendDlgItemMessageA(dlg, IDC_INPUT_BAR, TBM_GETPOS, 0, 0)));
  SetDlgItemTextA(dlg, IDC_INPUT_BAR_VALUE, text);
}

// The track bar and its value label have no place in the resource; they are
// put in, in pixels, when the brightness is asked for.
void AddBar(HWND dlg, const InputFields& f) {
  HINSTANCE inst = GetModuleHandleA(nullptr);
  HWND bar = CreateWindowExA(0, TRACKBAR_CLASSA, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | TBS_HORZ, 10, 30, 160, 30,
                             dlg, reinterpret_cast<HMENU>(IDC_INPUT_BAR), inst, nullptr);
  SendMessageA(bar, TBM_SETRANGE, TRUE, MAKELPARAM(f.barLow, f.barHigh));
  SendMessageA(bar, TBM_SETPOS, TRUE, f.barPos);
  HWND value = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 20, 70, 50, 20, dlg,
                               reinterpret_cast<HMENU>(IDC_INPUT_BAR_VALUE), inst, nullptr);
  SendMessageA(value, WM_SETFONT, SendMessageA(dlg, WM_GETFONT, 0, 0), FALSE);
  ShowBarValue(dlg);
  SetFocus(bar);
}

// False: the focus was placed here.
BOOL InitInput(HWND dlg, InputFields& f) {
  app().inputWindow = dlg;
  SetWindowLongPtrA(dlg, DWLP_USER, reinterpret_cast<LONG_PTR>(&f));
  SetWindowTextA(dlg, f.title.c_str());
  HWND text = GetDlgItem(dlg, IDC_INPUT_TEXT);
  if (f.textShown) {
    SetWindowTextA(text, f.text.c_str());
    SendMessageA(text, EM_SETSEL, 0, -1);
    SetFocus(text);
  } else {
    ShowWindow(text, SW_HIDE);
  }
  if (f.listShown) {
    HWND list = GetDlgItem(dlg, IDC_INPUT_LIST);
    for (const std::string& item : f.items) SendMessageA(list, CB_ADDSTRING, 0, LPARAM(item.c_str()));
    SendMessageA(list, CB_SETCURSEL, WPARAM(f.selected), 0);
    CheckDlgButton(dlg, IDC_INPUT_INVERT, f.inverted ? BST_CHECKED : BST_UNCHECKED);
    ShowWindow(list, SW_SHOW);
    ShowWindow(GetDlgItem(dlg, IDC_INPUT_INVERT), SW_SHOW);
    SetFocus(list);
  }
  if (f.barShown) AddBar(dlg, f);
  return FALSE;
}

// "ОК": what the operator left in the fields.
void Take(HWND dlg, InputFields& f) {
  if (f.textShown) {
    HWND text = GetDlgItem(dlg, IDC_INPUT_TEXT);
    std::string typed(size_t(GetWindowTextLengthA(text)) + 1, '\0');
    typed.resize(size_t(GetWindowTextA(text, typed.data(), int(typed.size()))));
    f.text = typed;
  }
  if (f.listShown) {
    const LRESULT sel = SendDlgItemMessageA(dlg, IDC_INPUT_LIST, CB_GETCURSEL, 0, 0);
    f.selected = sel == CB_ERR ? -1 : int(sel);
    f.inverted = IsDlgButtonChecked(dlg, IDC_INPUT_INVERT) == BST_CHECKED;
  }
  if (f.barShown) f.barPos = int(SendDlgItemMessageA(dlg, IDC_INPUT_BAR, TBM_GETPOS, 0, 0));
}

void Leave(HWND dlg, int result) {
  app().inputWindow = nullptr;
  EndDialog(dlg, result);
}

INT_PTR CALLBACK InputProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  if (HandleDialogReady(dlg, msg, wp)) return TRUE;
  switch (msg) {
    case WM_INITDIALOG: {
      const BOOL focus = InitInput(dlg, *reinterpret_cast<InputFields*>(lp));
      PostDialogReady(dlg, IDD_INPUT);
      return focus;
    }
    case WM_HSCROLL:
      if (reinterpret_cast<HWND>(lp) == GetDlgItem(dlg, IDC_INPUT_BAR)) ShowBarValue(dlg);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDOK:
          Take(dlg, Fields(dlg));
          Leave(dlg, 1);
          break;
        case IDCANCEL: Leave(dlg, 2); break;
        default: break;
      }
      return TRUE;
    case WM_CLOSE: Leave(dlg, 2); return TRUE;
    default: return FALSE;
  }
}

}  // namespace

int InputDialog(HWND owner, InputFields& fields) {
  const INT_PTR r = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_INPUT), owner, InputProc,
                                    reinterpret_cast<LPARAM>(&fields));
  return r == 1 ? 1 : 2;
}

}  // namespace kor::gui
