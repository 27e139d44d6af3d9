#include "sim/pty_server.h"

#include "app/exchange_log.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

namespace kor {
int linux_get_speed(int fd);
}

namespace kor::sim {

namespace {
// Speeds termios can name with a Bxxx constant.
bool termios_speed(int s) {
  static const int known[] = {50,     75,     110,     134,     150,     200,     300,     600,     1200,
                              1800,   2400,   4800,    9600,    19200,   38400,   57600,   115200,  230400,
                              460800, 500000, 576000,  921600,  1000000, 1152000, 1500000, 2000000, 2500000,
                              3000000, 3500000, 4000000};
  for (int k : known)
    if (k == s) return true;
  return false;
}

uint64_t now_us() {
  return uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count());
}
}  // namespace

PtyServer::~PtyServer() {
  if (slaveFd_ >= 0) close(slaveFd_);
  if (master_ >= 0) close(master_);
}

bool PtyServer::Start() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    error_ = std::string("cannot open a pseudo-terminal: ") + strerror(errno);
    return false;
  }
  const char* name = ptsname(master_);
  if (!name) {
    error_ = "cannot name the pseudo-terminal";
    return false;
  }
  slave_ = name;
  // Holding the slave open keeps the master readable between clients (no EIO),
  // and raw mode keeps the line clean until a client configures it.
  slaveFd_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slaveFd_ < 0) {
    error_ = std::string("cannot open ") + name + ": " + strerror(errno);
    return false;
  }
  termios t{};
  tcgetattr(slaveFd_, &t);
  cfmakeraw(&t);
  cfsetispeed(&t, B115200);
  cfsetospeed(&t, B115200);
  tcsetattr(slaveFd_, TCSANOW, &t);
  int fl = fcntl(master_, F_GETFL);
  fcntl(master_, F_SETFL, fl | O_NONBLOCK);
  return true;
}

void PtyServer::Run(const std::atomic<bool>& stop) {
  uint8_t buf[4096];
  while (!stop.load()) {
    uint64_t now = now_us();
    uint64_t due = unit_.NextDueUs();
    // To the microsecond: an answer handed over a millisecond late is what an
    // emulated adapter is measured by.
    uint64_t waitUs = 50000;
    if (due != UINT64_MAX) waitUs = due <= now ? 0 : std::min<uint64_t>(due - now, 50000);
    const timespec ts{time_t(waitUs / 1000000), long(waitUs % 1000000) * 1000};
    pollfd p{master_, POLLIN, 0};
    int r = ppoll(&p, 1, &ts, nullptr);
    if (r < 0 && errno != EINTR) break;
    if (r > 0 && (p.revents & POLLIN)) {
      ssize_t n = read(master_, buf, sizeof buf);
      if (n > 0) {
        // The master sees the line settings the client gave the slave. A line
        // left at 38400 may mean a custom speed set the old way (Wine does
        // that for 200000), which a pseudo-terminal cannot show: give the
        // unit the benefit of the doubt for a speed termios has no name for.
        int speed = linux_get_speed(master_);
        if (speed == 38400 && !termios_speed(unit_.config().speed)) speed = unit_.config().speed;
        if (ExchangeLog* l = exchange_log()) l->Bytes('<', buf, size_t(n));
        unit_.Receive(buf, size_t(n), now_us(), speed);
      }
    }
    size_t n = unit_.Take(buf, sizeof buf, now_us());
    if (n)
      if (ExchangeLog* l = exchange_log()) l->Bytes('>', buf, n);
    size_t off = 0;
    while (off < n) {
      ssize_t w = write(master_, buf + off, n - off);
      if (w > 0) {
        off += size_t(w);
      } else if (w < 0 && errno == EAGAIN) {
        pollfd q{master_, POLLOUT, 0};
        poll(&q, 1, 10);
      } else if (w < 0 && errno != EINTR) {
        break;
      }
    }
  }
}

}  // namespace kor::sim
