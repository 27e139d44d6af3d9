// The USB-serial drivers' low-latency flag (the FTDI driver turns it into a 1 ms
// latency timer instead of 16 ms). Kept apart: <linux/serial.h> is Linux alone.
#include <linux/serial.h>
#include <sys/ioctl.h>

#include "link/termios_posix.h"

namespace kor {

bool posix_request_low_latency(int fd, int& savedFlags) {
  serial_struct s{};
  if (ioctl(fd, TIOCGSERIAL, &s) != 0) return false;
  savedFlags = s.flags;
  if (s.flags & ASYNC_LOW_LATENCY) return true;
  s.flags |= ASYNC_LOW_LATENCY;
  if (ioctl(fd, TIOCSSERIAL, &s) != 0) return false;
  // Some drivers take the call and ignore the flag.
  serial_struct check{};
  return ioctl(fd, TIOCGSERIAL, &check) == 0 && (check.flags & ASYNC_LOW_LATENCY);
}

void posix_restore_low_latency(int fd, int savedFlags) {
  serial_struct s{};
  if (ioctl(fd, TIOCGSERIAL, &s) != 0) return;
  s.flags = (s.flags & ~ASYNC_LOW_LATENCY) | (savedFlags & ASYNC_LOW_LATENCY);
  ioctl(fd, TIOCSSERIAL, &s);
}

}  // namespace kor
