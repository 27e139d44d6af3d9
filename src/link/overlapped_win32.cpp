// Win32 backend of the overlapped channel: FILE_FLAG_OVERLAPPED, one event per
// direction, waits with limits.
#include <windows.h>

#include "link/overlapped.h"

namespace kor {

namespace {

class Win32Overlapped : public OverlappedDevice {
 public:
  explicit Win32Overlapped(HANDLE h) : h_(h) {}
  ~Win32Overlapped() override { Close(); }

  bool Configure(int speed) override {
    ZeroMemory(&rd_, sizeof rd_);
    ZeroMemory(&wr_, sizeof wr_);
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = 0;
    t.WriteTotalTimeoutMultiplier = 0;
    t.WriteTotalTimeoutConstant = 5000;
    SetCommTimeouts(h_, &t);  // a driver that refuses still works with its own
    rd_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    wr_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DCB dcb;
    ZeroMemory(&dcb, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    bool ok = GetCommState(h_, &dcb) != 0;
    if (ok) {
      // Parity, stop bits and flow control stay as the driver has them.
      dcb.ByteSize = 8;
      dcb.BaudRate = DWORD(speed);
      ok = SetCommState(h_, &dcb) != 0;
    }
    if (ok) ok = SetupComm(h_, kOverlappedQueueSize, kOverlappedQueueSize) != 0;
    return ok && rd_.hEvent && wr_.hEvent;
  }

  bool WriteByte(uint8_t b, unsigned limitMs) override {
    byte_ = b;  // stays put while the write is pending
    DWORD n = 0;
    // One event for every byte: a signal left from the byte before must not
    // pass for this one.
    ResetEvent(wr_.hEvent);
    if (!Start(WriteFile(h_, &byte_, 1, nullptr, &wr_) != 0, wr_, limitMs, n)) return false;
    wr_.Offset += n;
    return n == 1;
  }

  long Queued() override {
    DWORD errors = 0;
    COMSTAT st{};
    if (!ClearCommError(h_, &errors, &st)) return -1;
    return long(st.cbInQue);
  }

  long Read(uint8_t* buf, unsigned count, unsigned limitMs) override {
    DWORD n = 0;
    ResetEvent(rd_.hEvent);
    if (!Start(ReadFile(h_, buf, count, nullptr, &rd_) != 0, rd_, limitMs, n)) return n ? long(n) : -1;
    return long(n);
  }

  void Close() override {
    if (rd_.hEvent) CloseHandle(rd_.hEvent);
    if (wr_.hEvent) CloseHandle(wr_.hEvent);
    rd_.hEvent = wr_.hEvent = nullptr;
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
  }

 private:
  // Completes an operation just issued: at once, or by waiting up to limitMs.
  // One that has not completed by then is cancelled and waited out, so that it
  // cannot fill the caller's buffer later. n is what was transferred.
  bool Start(bool doneAtOnce, OVERLAPPED& ov, unsigned limitMs, DWORD& n) {
    n = 0;
    if (doneAtOnce) return GetOverlappedResult(h_, &ov, &n, FALSE) != 0;
    if (GetLastError() != ERROR_IO_PENDING) return false;
    const DWORD start = GetTickCount();
    for (;;) {
      DWORD elapsed = GetTickCount() - start;
      DWORD left = elapsed >= limitMs ? 0 : limitMs - elapsed;
      WaitForSingleObject(ov.hEvent, left);
      if (GetOverlappedResult(h_, &ov, &n, FALSE)) return true;
      if (GetLastError() != ERROR_IO_INCOMPLETE || left == 0) break;
      // Signalled although not complete (seen under Wine): wait for the next signal.
      ResetEvent(ov.hEvent);
    }
    CancelIo(h_);
    GetOverlappedResult(h_, &ov, &n, TRUE);
    return false;
  }

  HANDLE h_;
  OVERLAPPED rd_{};
  OVERLAPPED wr_{};
  uint8_t byte_ = 0;
};

class Win32OverlappedDriver : public OverlappedDriver {
 public:
  std::unique_ptr<OverlappedDevice> Open(const std::string& path) override {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32Overlapped>(h);
  }
};

}  // namespace

std::unique_ptr<OverlappedDriver> make_platform_overlapped_driver() {
  return std::make_unique<Win32OverlappedDriver>();
}

}  // namespace kor
