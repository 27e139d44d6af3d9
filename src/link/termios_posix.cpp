#include "link/termios_posix.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

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

}  // namespace

bool posix_set_line(int fd, const LineSettings& line) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB);
#ifdef CRTSCTS
  t.c_cflag &= ~CRTSCTS;
#endif
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  t.c_cflag |= CLOCAL | CREAD;
  switch (line.dataBits) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    default: t.c_cflag |= CS8; break;
  }
  if (line.parity == 'E') t.c_cflag |= PARENB;
  if (line.parity == 'O') t.c_cflag |= PARENB | PARODD;
  if (line.stopBits == 2) t.c_cflag |= CSTOPB;
  speed_t sp = standard_speed(line.baud);
#ifdef CIBAUD
  // A separate input speed left by an earlier odd speed would stay in force.
  t.c_cflag &= ~CIBAUD;
#endif
  if (sp) {
    cfsetispeed(&t, sp);
    cfsetospeed(&t, sp);
  }
  if (tcsetattr(fd, TCSANOW, &t) != 0) return false;
#ifdef __linux__
  if (!sp && linux_set_speed(fd, line.baud) != 0) return false;
#else
  if (!sp) return false;
#endif
  return true;
}

int posix_open_exclusive(const char* path) {
  int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  int err = 0;
  if (!isatty(fd)) err = ENOTTY;
  else if (flock(fd, LOCK_EX | LOCK_NB) != 0) err = EBUSY;
  // flock binds only those who ask for it; TIOCEXCL turns away every later
  // open (a terminal program, a modem manager) that would take our answers.
  else if (ioctl(fd, TIOCEXCL) != 0) err = errno;
  if (err) {
    ::close(fd);
    errno = err;
    return -1;
  }
  return fd;
}

OpenFailure posix_open_failure(int err) {
  if (err == EBUSY || err == EWOULDBLOCK) return OpenFailure::Busy;
  if (err == EACCES || err == EPERM) return OpenFailure::Denied;
  return OpenFailure::Unavailable;
}

#ifndef __linux__
// Elsewhere there is no such flag to ask for (low_latency_linux.cpp on Linux).
bool posix_request_low_latency(int, int&) { return false; }
void posix_restore_low_latency(int, int) {}
#endif

void posix_close_exclusive(int& fd) {
  if (fd >= 0) {
    // The exclusive mark belongs to the terminal, not to this descriptor: a
    // pseudo-terminal whose other side stays open would keep refusing opens.
    ioctl(fd, TIOCNXCL);
    flock(fd, LOCK_UN);
    ::close(fd);
  }
  fd = -1;
}

}  // namespace kor
