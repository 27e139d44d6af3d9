// Win32 backend of the serial port: synchronous I/O, reads that never wait.
#include <windows.h>

#include "link/serial_device.h"

namespace kor {

namespace {

class Win32Device : public SerialDevice {
 public:
  explicit Win32Device(HANDLE h) : h_(h) {}

  bool BuildLine(const char* mode) override {
    ZeroMemory(&dcb_, sizeof dcb_);
    dcb_.DCBlength = sizeof dcb_;
    return BuildCommDCBA(mode, &dcb_) != 0;
  }

  bool SetLine() override { return SetCommState(h_, &dcb_) != 0; }

  bool SetNonBlockingReads() override { return SetReadTimeouts(MAXDWORD, 0); }

  bool Purge() override { return PurgeComm(h_, PURGE_TXCLEAR | PURGE_RXCLEAR) != 0; }

  long Read(uint8_t* buf, unsigned count) override {
    // Some drivers (Wine on a pseudo-terminal) hand out at most 4095 bytes per
    // call; keep taking while bytes keep coming.
    unsigned got = 0;
    while (got < count) {
      DWORD n = 0;
      if (!ReadFile(h_, buf + got, count - got, &n, nullptr)) return got ? long(got) : 0;
      if (n == 0) break;
      got += n;
    }
    return long(got);
  }

  long ReadExact(uint8_t* buf, unsigned count, uint64_t waitUs) override {
    // The driver waits for us: with no interval limit and a total limit, a read
    // returns when all count bytes are in or the limit has passed.
    const ULONGLONG deadline = GetTickCount64() + (waitUs + 999) / 1000;
    unsigned got = 0;
    long result = 0;
    while (got < count) {
      const ULONGLONG now = GetTickCount64();
      if (now >= deadline) break;
      if (!SetReadTimeouts(0, DWORD(deadline - now))) {
        result = -1;
        break;
      }
      DWORD n = 0;
      if (!ReadFile(h_, buf + got, count - got, &n, nullptr)) {
        result = -1;
        break;
      }
      got += n;
      if (n == 0) break;  // the limit passed
    }
    // Every other read stays one that returns at once.
    if (!SetReadTimeouts(MAXDWORD, 0) && result == 0 && got == 0) result = -1;
    if (got) return long(got);
    if (result < 0) return -1;
    // What came in the last moment before the limit.
    return Read(buf, count);
  }

  long Write(const uint8_t* buf, unsigned count) override {
    DWORD n = 0;
    if (!WriteFile(h_, buf, count, &n, nullptr)) {
      (void)GetLastError();
      return -1;
    }
    return long(n);
  }

  void Close() override {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
  }

 private:
  bool SetReadTimeouts(DWORD interval, DWORD total) {
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = interval;
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = total;
    t.WriteTotalTimeoutMultiplier = 0;
    t.WriteTotalTimeoutConstant = 0;
    return SetCommTimeouts(h_, &t) != 0;
  }

  HANDLE h_;
  DCB dcb_{};
};

class Win32Driver : public PortDriver {
 public:
  std::unique_ptr<SerialDevice> Open(const std::string& path) override {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32Device>(h);
  }
};

}  // namespace

std::unique_ptr<PortDriver> make_platform_port_driver() { return std::make_unique<Win32Driver>(); }

}  // namespace kor
