// The program-download dialog (226): target slot and title before a program or
// subprogram file is written into the unit.
#include <windows.h>

#include <cstdio>
#include <string>

#include "gui/resource.h"
#include "gui/window.h"
#include "transfer/download_title.h"

namespace kor::gui {

namespace {

void ShowCounter(HWND dlg) {
  char text[64];
  std::snprintf(text, sizeof text, "Заголовок (макс. %02d/33 символа):",
                int(GetWindowTextLengthA(GetDlgItem(dlg, IDC_DL_TITLE))));
  SetDlgItemTextA(dlg, IDC_DL_COUNTER, text);
}

void InitDownload(HWND dlg, DataKind kind) {
  AppState& a = app();
  const RECT r = RememberMainPlace();
  MoveWindowTo(MainWindow(), r.left + 100, r.top);
  MoveWindowTo(dlg, r.left - 100, r.top);
  const int slots = DownloadSlots(kind);
  if (slots > 0) {
    char box[kCaptionMax + 1] = {};
    GetWindowTextA(static_cast<HWND>(a.fileBox), box, sizeof box);
    SetWindowTextA(dlg, DownloadCaption(box).c_str());
    SetDlgItemTextA(dlg, IDC_DL_TITLE, ProposedTitle(a.selectedFile, box).c_str());
    const char* fmt = kind == DataKind::Program ? "Программа %03d" : "Подпрограмма %03d";
    for (int n = 1; n <= slots; ++n) {
      char text[32];
      std::snprintf(text, sizeof text, fmt, n);
      SendDlgItemMessageA(dlg, IDC_DL_SLOT, CB_ADDSTRING, 0, LPARAM(text));
    }
    SendDlgItemMessageA(dlg, IDC_DL_SLOT, CB_SETCURSEL, 0, 0);
  }
  ShowCounter(dlg);
}

INT_PTR CALLBACK DownloadProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  if (HandleDialogReady(dlg, msg, wp)) return TRUE;
  switch (msg) {
    case WM_INITDIALOG:
      InitDownload(dlg, static_cast<DataKind>(lp));
      PostDialogReady(dlg, IDD_DOWNLOAD);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDC_DL_TITLE:
          if (HIWORD(wp) == EN_CHANGE) ShowCounter(dlg);
          break;
        case IDOK: {
          HWND box = GetDlgItem(dlg, IDC_DL_TITLE);
          std::string title(size_t(GetWindowTextLengthA(box)) + 1, '\0');
          GetWindowTextA(box, title.data(), int(title.size()));
          StoreDownloadChoice(int(SendDlgItemMessageA(dlg, IDC_DL_SLOT, CB_GETCURSEL, 0, 0)), title.c_str());
          EndDialog(dlg, 1);
          break;
        }
        case IDCANCEL: EndDialog(dlg, 0); break;
        default: break;
      }
      return TRUE;
    case WM_CLOSE: EndDialog(dlg, 0); return TRUE;
    default: return FALSE;
  }
}

}  // namespace

INT_PTR DownloadDialog(HWND owner, DataKind kind) {
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_DOWNLOAD), owner, DownloadProc,
                         LPARAM(kind));
}

}  // namespace kor::gui
