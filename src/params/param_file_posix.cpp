#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "params/param_file_io.h"

namespace kor::pfile {

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
