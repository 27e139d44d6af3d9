// POSIX backend of the overlapped channel: the same contract with poll() for
// the bounded waits and FIONREAD for what is queued.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "link/overlapped.h"
#include "link/termios_posix.h"

namespace kor {

namespace {

// Waits up to ms for the descriptor to become ready for events; false on time-out.
bool wait_ready(int fd, short events, unsigned ms) {
  pollfd p{fd, events, 0};
  for (;;) {
    int r = poll(&p, 1, int(ms));
    if (r < 0 && errno == EINTR) continue;
    return r > 0 && (p.revents & events);
  }
}

class PosixOverlapped : public OverlappedDevice {
 public:
  explicit PosixOverlapped(int fd) : fd_(fd) {}

  bool Configure(int speed) override {
    LineSettings line;
    line.baud = speed;
    return posix_set_line(fd_, line);
  }

  bool WriteByte(uint8_t b, unsigned limitMs) override {
    for (;;) {
      ssize_t n = ::write(fd_, &b, 1);
      if (n == 1) return true;
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && wait_ready(fd_, POLLOUT, limitMs)) {
        limitMs = 0;  // one wait per byte
        continue;
      }
      return false;
    }
  }

  long Queued() override {
    int n = 0;
    if (ioctl(fd_, FIONREAD, &n) != 0) return -1;
    return n;
  }

  long Read(uint8_t* buf, unsigned count, unsigned limitMs) override {
    // One read() on a pseudo-terminal stops at 4095 bytes: take all that is there.
    unsigned got = 0;
    bool waited = false;
    while (got < count) {
      ssize_t n = ::read(fd_, buf + got, count - got);
      if (n > 0) {
        got += unsigned(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        if (got == 0 && !waited && wait_ready(fd_, POLLIN, limitMs)) {
          waited = true;
          continue;
        }
        break;
      }
      if (got == 0) return (n == 0 || errno == EIO) ? 0 : -1;
      break;
    }
    return long(got);
  }

  void Close() override {
    posix_close_exclusive(fd_);
  }

  ~PosixOverlapped() override { Close(); }

 private:
  int fd_;
};

class PosixOverlappedDriver : public OverlappedDriver {
 public:
  std::unique_ptr<OverlappedDevice> Open(const std::string& path) override {
    int fd = posix_open_exclusive(path.c_str());
    if (fd < 0) return nullptr;
    return std::make_unique<PosixOverlapped>(fd);
  }
};

}  // namespace

std::unique_ptr<OverlappedDriver> make_platform_overlapped_driver() {
  return std::make_unique<PosixOverlappedDriver>();
}

}  // namespace kor
