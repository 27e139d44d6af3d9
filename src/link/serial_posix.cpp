// POSIX backend of the serial port: termios, raw 8N1, non-blocking reads.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "link/serial_device.h"
#include "link/termios_posix.h"

namespace kor {

namespace {

class PosixDevice : public SerialDevice {
 public:
  explicit PosixDevice(int fd) : fd_(fd) {}
  ~PosixDevice() override { posix_close_exclusive(fd_); }

  bool BuildLine(const char* mode) override { return parse_mode_string(mode, line_); }

  bool SetLine() override { return posix_set_line(fd_, line_); }

  bool SetNonBlockingReads() override {
    int fl = fcntl(fd_, F_GETFL);
    return fl >= 0 && fcntl(fd_, F_SETFL, fl | O_NONBLOCK) == 0;
  }

  bool Purge() override {
    // Let what was written leave first; then only stale input is dropped
    // (flushing output on a pseudo-terminal loses what the peer has not read).
    tcdrain(fd_);
    return tcflush(fd_, TCIFLUSH) == 0;
  }

  long Read(uint8_t* buf, unsigned count) override {
    // One read() on a pseudo-terminal stops at 4095 bytes: take all that is there.
    unsigned got = 0;
    while (got < count) {
      ssize_t n = ::read(fd_, buf + got, count - got);
      if (n > 0) {
        got += unsigned(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && got == 0) return errno == EIO ? 0 : -1;
      break;
    }
    return long(got);
  }

  long ReadExact(uint8_t* buf, unsigned count, uint64_t waitUs) override {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::microseconds(waitUs);
    unsigned got = 0;
    for (;;) {
      const long n = Read(buf + got, count - got);
      if (n < 0) return got ? long(got) : -1;
      got += unsigned(n);
      if (got >= count) return long(got);
      const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now()).count();
      if (left <= 0) return long(got);
      timespec ts{time_t(left / 1000000000), long(left % 1000000000)};
      pollfd p{fd_, POLLIN, 0};
      const int r = ppoll(&p, 1, &ts, nullptr);
      if (r < 0 && errno != EINTR) return long(got);
      // A hung-up line reads nothing but wakes poll at once: sit out the wait
      // instead of spinning.
      if (r > 0 && !(p.revents & POLLIN)) {
        nanosleep(&ts, nullptr);
        return long(got + unsigned(std::max(0L, Read(buf + got, count - got))));
      }
    }
  }

  bool RequestLowLatency() override {
    if (!posix_request_low_latency(fd_, savedSerialFlags_)) return false;
    lowLatency_ = true;
    return true;
  }

  long Write(const uint8_t* buf, unsigned count) override {
    unsigned done = 0;
    while (done < count) {
      ssize_t n = ::write(fd_, buf + done, count - done);
      if (n > 0) {
        done += unsigned(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        // A blocking write on the platform's side: wait for room.
        fd_set w;
        FD_ZERO(&w);
        FD_SET(fd_, &w);
        timeval tv{1, 0};
        if (select(fd_ + 1, nullptr, &w, nullptr, &tv) > 0) continue;
      }
      return -1;
    }
    return long(done);
  }

  void Close() override {
    // The flag outlives the descriptor in the driver: the next program would get it.
    if (lowLatency_ && fd_ >= 0) posix_restore_low_latency(fd_, savedSerialFlags_);
    lowLatency_ = false;
    posix_close_exclusive(fd_);
  }

 private:
  int fd_;
  LineSettings line_;
  bool lowLatency_ = false;
  int savedSerialFlags_ = 0;
};

class PosixDriver : public PortDriver {
 public:
  std::unique_ptr<SerialDevice> Open(const std::string& path) override {
    int fd = posix_open_exclusive(path.c_str());
    if (fd < 0) {
      failure_ = posix_open_failure(errno);
      return nullptr;
    }
    return std::make_unique<PosixDevice>(fd);
  }
  OpenFailure LastFailure() const override { return failure_; }

 private:
  OpenFailure failure_ = OpenFailure::Unavailable;
};

}  // namespace

std::unique_ptr<PortDriver> make_platform_port_driver() { return std::make_unique<PosixDriver>(); }

}  // namespace kor
