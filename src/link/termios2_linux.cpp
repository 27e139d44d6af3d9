// The kernel's termios2 (for any bit rate, such as 200000, through BOTHER) clashes
// with glibc's <termios.h>, so it lives alone in this file.
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace kor {

// 0 on success, -1 with errno set.
int linux_set_speed(int fd, int speed) {
  struct termios2 t;
  if (ioctl(fd, TCGETS2, &t) != 0) return -1;
  t.c_cflag &= ~CBAUD;
  t.c_cflag |= BOTHER;
  t.c_ispeed = unsigned(speed);
  t.c_ospeed = unsigned(speed);
  t.c_cflag &= ~(CBAUD << IBSHIFT);
  t.c_cflag |= BOTHER << IBSHIFT;
  return ioctl(fd, TCSETS2, &t);
}

// The speed the line is set to, or -1.
int linux_get_speed(int fd) {
  struct termios2 t;
  if (ioctl(fd, TCGETS2, &t) != 0) return -1;
  return int(t.c_ospeed);
}

int linux_get_input_speed(int fd) {
  struct termios2 t;
  if (ioctl(fd, TCGETS2, &t) != 0) return -1;
  return int(t.c_ispeed);
}

}  // namespace kor
