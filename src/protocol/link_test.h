// The connection test: the link-check frame again and again, showing byte by
// byte what went out and what came back. It judges nothing.
#pragma once
#include <cstdint>

namespace kor {

// Where the test writes: the test window's controls in the program, the
// terminal on the command line, a recorder in tests. Called from the test's
// own thread.
class LinkTestView {
 public:
  virtual ~LinkTestView() = default;
  virtual void SetButtonText(const char* text) = 0;  // control 115, start/stop
  virtual void SetSent(const char* text) = 0;        // control 117
  virtual void SetReceived(const char* text) = 0;    // control 116
};

constexpr unsigned kLinkTestAnswerWait = 100;
constexpr unsigned kLinkTestPause = 300;
constexpr int kLinkTestRowSize = 100;

// " %x     %x ..." for eight bytes.
void format_byte_row(char out[kLinkTestRowSize], const uint8_t bytes[8]);

// The test's loop, until the stop flag is seen (then cleared), the port cannot
// be had or a write fails. On every way out the button reads "Тест" again and
// AppState.testThread is released and cleared. Runs in the foreground too (the
// command line), where there is no thread handle.
void RunLinkTest(LinkTestView& view);

// Starts RunLinkTest on a thread of its own with its handle in
// AppState.testThread; false when no thread could be made. The view must
// outlive the thread (the window only asks it to stop).
bool StartLinkTest(LinkTestView& view);

// The flag and the handle are plain values shared by two threads; these make
// each access a whole, ordered one.
bool link_test_running();
void request_link_test_stop();  // safe in a signal handler
bool link_test_stop_requested();
void clear_link_test_stop();

}  // namespace kor
