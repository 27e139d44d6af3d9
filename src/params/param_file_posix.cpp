#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "params/param_file_io.h"

namespace kor::pfile {

bool read_head(const char* path, uint8_t* buf, size_t n, size_t* got) {
  *got = 0;
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  while (*got < n) {
    ssize_t r = read(fd, buf + *got, n - *got);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    *got += size_t(r);
  }
  close(fd);
  return true;
}

WriteResult write_head(const char* path, const uint8_t* data, size_t n) {
  int fd = open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return WriteResult::OpenFailed;
  size_t off = 0;
  while (off < n) {
    ssize_t w = pwrite(fd, data + off, n - off, off_t(off));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) break;
    off += size_t(w);
  }
  const bool closed = close(fd) == 0;
  return off == n && closed ? WriteResult::Ok : WriteResult::WriteFailed;
}

}  // namespace kor::pfile
