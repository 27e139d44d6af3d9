// POSIX backend of the overlapped channel: the same contract with poll() for
// the bounded waits and FIONREAD for what is queued.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "link/overlapped.h"

namespace kor {

#ifdef __linux__
int linux_set_speed(int fd, int speed);
#endif

namespace {

speed_t standard_speed(int baud) {
  switch (baud) {
    case 110: return B110;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
#ifdef B921600
    case 921600: return B921600;
#endif
#ifdef B2000000
    case 2000000: return B2000000;
#endif
#ifdef B3000000
    case 3000000: return B3000000;
#endif
    default: return 0;
  }
}

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
    termios t{};
    if (tcgetattr(fd_, &t) != 0) return false;
    // Raw 8N1: a pseudo-terminal reopens with cooked defaults that would mangle values.
    cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB);
#ifdef CRTSCTS
    t.c_cflag &= ~CRTSCTS;
#endif
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    speed_t sp = standard_speed(speed);
    if (sp) {
      cfsetispeed(&t, sp);
      cfsetospeed(&t, sp);
    }
    if (tcsetattr(fd_, TCSANOW, &t) != 0) return false;
#ifdef __linux__
    if (!sp && linux_set_speed(fd_, speed) != 0) return false;
#else
    if (!sp) return false;
#endif
    return true;
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
    if (fd_ >= 0) {
      flock(fd_, LOCK_UN);
      ::close(fd_);
    }
    fd_ = -1;
  }

  ~PosixOverlapped() override { Close(); }

 private:
  int fd_;
};

class PosixOverlappedDriver : public OverlappedDriver {
 public:
  std::unique_ptr<OverlappedDevice> Open(const std::string& path) override {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    // No sharing: a port CRs232 or another program holds is refused, as the
    // Windows driver refuses a second open.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || !isatty(fd)) {
      ::close(fd);
      return nullptr;
    }
    return std::make_unique<PosixOverlapped>(fd);
  }
};

}  // namespace

std::unique_ptr<OverlappedDriver> make_platform_overlapped_driver() {
  return std::make_unique<PosixOverlappedDriver>();
}

}  // namespace kor
