// The about box "О программе KorSync" (136): version, build, and how to reach
// the maker.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "app/version.h"
#include "gui/aux_resource.h"
#include "gui/aux_windows.h"
#include "gui/resource.h"
#include "gui/window.h"

// Set by the build (KORSYNC_MAKER_PHONE, KORSYNC_MAKER_URL).
#ifndef KORSYNC_MAKER_PHONE
#define KORSYNC_MAKER_PHONE ""
#endif
#ifndef KORSYNC_MAKER_URL
#define KORSYNC_MAKER_URL ""
#endif

namespace kor::gui {

namespace {

constexpr char kMakerPhone[] = KORSYNC_MAKER_PHONE;
constexpr char kMakerUrl[] = KORSYNC_MAKER_URL;

// The address as shown: without its scheme.
const char* ShownUrl() {
  const char* sep = std::strstr(kMakerUrl, "://");
  return sep ? sep + 3 : kMakerUrl;
}

void InitAbout(HWND dlg) {
  HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_KORSYNC));
  SendDlgItemMessageA(dlg, IDC_ABOUT_ICON, STM_SETICON, WPARAM(icon), 0);
  SetDlgItemTextA(dlg, IDC_ABOUT_BUILD, build_text().c_str());
  SetDlgItemTextA(dlg, IDC_ABOUT_VERSION, app().versionText);
  char phone[96];
  std::snprintf(phone, sizeof phone, kMakerPhone[0] ? "тел. %s" : "%s", kMakerPhone);
  SetDlgItemTextA(dlg, IDC_ABOUT_PHONE, phone);
  char link[300];
  std::snprintf(link, sizeof link, "<a>%s</a>", ShownUrl());
  SetDlgItemTextA(dlg, IDC_ABOUT_LINK, link);
}

INT_PTR CALLBACK AboutProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  if (HandleDialogReady(dlg, msg, wp)) return TRUE;
  switch (msg) {
    case WM_INITDIALOG:
      InitAbout(dlg);
      PostDialogReady(dlg, IDD_ABOUT);
      return TRUE;
    case WM_NOTIFY: {
      const auto* h = reinterpret_cast<const NMHDR*>(lp);
      if (h->idFrom == IDC_ABOUT_LINK && (h->code == UINT(NM_CLICK) || h->code == UINT(NM_RETURN)) && kMakerUrl[0])
        ShellExecuteA(nullptr, "open", kMakerUrl, nullptr, nullptr, SW_SHOW);
      return FALSE;
    }
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) EndDialog(dlg, 0);
      return TRUE;
    case WM_CLOSE: EndDialog(dlg, 0); return TRUE;
    default: return FALSE;
  }
}

}  // namespace

void AboutDialog(HWND owner) {
  // The link control's class is registered on request.
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LINK_CLASS};
  InitCommonControlsEx(&icc);
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutProc, 0);
}

}  // namespace kor::gui
