#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/file_system.h"
#include "app/file_system_posix.h"
#include "app/operator.h"

extern char** environ;

namespace kor::fsys {

bool set_current_dir(const char* path) { return chdir(path) == 0; }

std::string current_dir() {
  char buf[4096];
  return getcwd(buf, sizeof buf) ? buf : "";
}

void make_dir(const char* path) { mkdir(path, 0777); }

bool dir_exists(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const char* path) {
  struct stat st;
  return stat(path, &st) == 0;
}

Created create_file(const char* path, bool truncate) {
  if (save_fails(path, SaveStep::Create)) return Created::Failed;
  int fd = open(path, O_WRONLY | O_CREAT | O_CLOEXEC | (truncate ? O_TRUNC : O_EXCL), 0666);
  if (fd < 0) return errno == EEXIST ? Created::Exists : Created::Failed;
  close(fd);
  return Created::Ok;
}

bool write_file(const char* path, const uint8_t* data, size_t n) {
  if (save_fails(path, SaveStep::Write)) return false;
  int fd = open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  size_t off = 0;
  while (off < n) {
    ssize_t w = write(fd, data + off, n - off);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      close(fd);
      return false;
    }
    off += size_t(w);
  }
  return close(fd) == 0;
}

bool read_exactly(int fd, uint8_t* buf, size_t n) {
  size_t off = 0;
  while (off < n) {
    ssize_t r = read(fd, buf + off, n - off);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    off += size_t(r);
  }
  return true;
}

ReadResult read_file(const char* path, std::vector<uint8_t>& out, size_t limit) {
  out.clear();
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ReadResult::OpenFailed;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return ReadResult::OpenFailed;
  }
  out.assign(std::min(size_t(st.st_size), limit), 0);
  const bool whole = read_exactly(fd, out.data(), out.size());
  close(fd);
  if (whole) return ReadResult::Ok;
  out.clear();
  return ReadResult::ReadFailed;
}

void remove_file(const char* path) { unlink(path); }

bool open_in_shell(const char* folder) {
  if (!dir_exists(folder)) return false;
  // A desktop opens it; a plain terminal is told where it is.
  std::string opener;
  if (const char* p = std::getenv("PATH")) {
    std::string paths = p;
    size_t start = 0;
    while (start <= paths.size()) {
      size_t end = paths.find(':', start);
      if (end == std::string::npos) end = paths.size();
      std::string cand = paths.substr(start, end - start) + "/xdg-open";
      if (access(cand.c_str(), X_OK) == 0) {
        opener = cand;
        break;
      }
      start = end + 1;
    }
  }
  if (opener.empty() || (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))) {
    std::string text = std::string("Папка: ") + folder;
    ShowMessage(text.c_str(), Icon::Information);
    return true;
  }
  pid_t pid;
  char* argv[] = {const_cast<char*>(opener.c_str()), const_cast<char*>(folder), nullptr};
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  if (posix_spawn(&pid, opener.c_str(), &fa, nullptr, argv, environ) == 0) waitpid(pid, nullptr, WNOHANG);
  posix_spawn_file_actions_destroy(&fa);
  return true;
}

}  // namespace kor::fsys
