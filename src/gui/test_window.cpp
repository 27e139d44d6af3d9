// The connection-test window (114): "Тест" starts the connection test on a
// thread of its own and "Стоп" asks it to end; the thread writes the sent and
// received bytes into the window.
#include <windows.h>

#include <atomic>

#include "gui/aux_resource.h"
#include "gui/aux_windows.h"
#include "gui/window.h"
#include "protocol/link_test.h"

namespace kor::gui {

namespace {

// Written from the test's thread. The controls are set through the window
// manager, which hands the text to the window's own thread.
class TestWindowView : public LinkTestView {
 public:
  void Attach(HWND w) { window_.store(w); }
  void SetButtonText(const char* text) override { Set(IDC_TEST_START, text); }
  void SetSent(const char* text) override { Set(IDC_TEST_TX, text); }
  void SetReceived(const char* text) override { Set(IDC_TEST_RX, text); }

 private:
  void Set(int id, const char* text) {
    if (HWND w = window_.load()) SetDlgItemTextA(w, id, text);
  }
  std::atomic<HWND> window_{nullptr};
};

// Outlives every test thread: closing the window only asks the thread to stop,
// and it may still write once before it sees that.
TestWindowView g_view;

const char* SpeedCaption(int speed) {
  switch (speed) {
    case 200000: return "Тест соединения 200 Кбит/c";
    case 115200: return "Тест соединения 115,2 Кбит/c";
    case 2000000: return "Тест соединения 2 Мбит/c";
    case 19200: return "Тест соединения 19,2 Кбит/c";
    default: return nullptr;
  }
}

void InitTestWindow(HWND dlg) {
  app().testWindow = dlg;
  g_view.Attach(dlg);
  if (const char* caption = SpeedCaption(app().speed)) SetWindowTextA(dlg, caption);
}

void StartOrStop(HWND dlg) {
  if (link_test_running()) {
    request_link_test_stop();
    return;
  }
  clear_link_test_stop();
  // "Стоп" before the thread runs: a test that ends at once puts "Тест" back
  // after it, not before.
  SetDlgItemTextA(dlg, IDC_TEST_START, "Стоп");
  if (!StartLinkTest(g_view)) SetDlgItemTextA(dlg, IDC_TEST_START, "Тест");
}

void Leave(HWND dlg) {
  request_link_test_stop();
  g_view.Attach(nullptr);
  app().testWindow = nullptr;
  EndDialog(dlg, 0);
}

INT_PTR CALLBACK TestWindowProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
  if (HandleDialogReady(dlg, msg, wp)) return TRUE;
  switch (msg) {
    case WM_INITDIALOG:
      InitTestWindow(dlg);
      PostDialogReady(dlg, IDD_LINK_TEST);
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wp) != BN_CLICKED) return TRUE;
      switch (LOWORD(wp)) {
        case IDC_TEST_START: StartOrStop(dlg); break;
        case IDC_TEST_EXIT:
        case IDCANCEL: Leave(dlg); break;
        default: break;
      }
      return TRUE;
    case WM_CLOSE: Leave(dlg); return TRUE;
    default: return FALSE;
  }
}

}  // namespace

void LinkTestDialog(HWND owner) {
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_LINK_TEST), owner, TestWindowProc, 0);
}

}  // namespace kor::gui
