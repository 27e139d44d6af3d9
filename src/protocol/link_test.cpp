#include "protocol/link_test.h"

#include <cstdio>

#include "app/app_state.h"
#include "app/operator.h"
#include "app/timing.h"
#include "link/rs232.h"
#include "protocol/frames.h"
#include "protocol/transactions.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <system_error>
#include <thread>
#endif

namespace kor {

namespace {

// The handle of a POSIX run only marks it as running; the thread is detached.
#ifndef _WIN32
struct TestThreadMark {};
#endif

void ReleaseTestThread() {
  Handle h = __atomic_exchange_n(&app().testThread, Handle(nullptr), __ATOMIC_ACQ_REL);
  if (!h) return;
#ifdef _WIN32
  CloseHandle(h);
#else
  delete static_cast<TestThreadMark*>(h);
#endif
}

// True when the loop ended because it was asked to.
bool TestCycles(LinkTestView& view) {
  if (CRs232::PortInUse()) {
    ShowMessage("Com порт занят", Icon::Error);
    return false;
  }
  CRs232 rs;
  rs.ResetLinkState();
  if (OpenAppPort(rs) != 0) return false;
  uint8_t request[kCommandFrameSize];
  build_command_frame(request, 0x55, 0x55, 0x55, 0x55);
  while (!link_test_stop_requested()) {
    if (rs.Write(request, kCommandFrameSize) == -1) {
      rs.linkState = -1;
      op().SilentFailure("Связь потеряна, переподключите кабель");
      return false;
    }
    char sent[kLinkTestRowSize];
    format_byte_row(sent, request);
    view.SetSent(" ");
    view.SetReceived(" ");
    uint8_t answer[15] = {};
    // Whatever comes back is shown, so its length is not known beforehand.
    ReadAnswer(rs, answer, sizeof answer, kLinkTestAnswerWait, 0);
    char received[kLinkTestRowSize];
    format_byte_row(received, answer);
    view.SetSent(sent);
    view.SetReceived(received);
    sleep_ms(kLinkTestPause);
  }
  return true;
}

#ifdef _WIN32
DWORD WINAPI TestThreadProc(LPVOID view) {
  RunLinkTest(*static_cast<LinkTestView*>(view));
  return 0;
}
#endif

}  // namespace

void format_byte_row(char out[kLinkTestRowSize], const uint8_t b[8]) {
  std::snprintf(out, kLinkTestRowSize, " %x     %x     %x     %x     %x     %x     %x     %x", unsigned(b[0]),
                unsigned(b[1]), unsigned(b[2]), unsigned(b[3]), unsigned(b[4]), unsigned(b[5]), unsigned(b[6]),
                unsigned(b[7]));
}

void RunLinkTest(LinkTestView& view) {
  // The port closes inside; after the handle is cleared this thread touches
  // nothing shared.
  if (TestCycles(view)) clear_link_test_stop();
  view.SetButtonText("Тест");
  ReleaseTestThread();
}

bool StartLinkTest(LinkTestView& view) {
#ifdef _WIN32
  // Suspended until its handle is stored: a test that ends at once must find it
  // there to clear it.
  HANDLE h = CreateThread(nullptr, 0, TestThreadProc, &view, CREATE_SUSPENDED, nullptr);
  if (!h) return false;
  __atomic_store_n(&app().testThread, Handle(h), __ATOMIC_RELEASE);
  ResumeThread(h);
  return true;
#else
  auto* mark = new TestThreadMark;
  __atomic_store_n(&app().testThread, Handle(mark), __ATOMIC_RELEASE);
  try {
    std::thread([&view] { RunLinkTest(view); }).detach();
  } catch (const std::system_error&) {
    __atomic_store_n(&app().testThread, Handle(nullptr), __ATOMIC_RELEASE);
    delete mark;
    return false;
  }
  return true;
#endif
}

bool link_test_running() { return __atomic_load_n(&app().testThread, __ATOMIC_ACQUIRE) != nullptr; }

void request_link_test_stop() { __atomic_store_n(&app().testStop, true, __ATOMIC_RELEASE); }

bool link_test_stop_requested() { return __atomic_load_n(&app().testStop, __ATOMIC_ACQUIRE); }

void clear_link_test_stop() { __atomic_store_n(&app().testStop, false, __ATOMIC_RELEASE); }

}  // namespace kor
