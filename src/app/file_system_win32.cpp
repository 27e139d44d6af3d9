#include <windows.h>
#include <shellapi.h>

#include <algorithm>

#include "app/file_system.h"

namespace kor::fsys {

bool set_current_dir(const char* path) { return SetCurrentDirectoryA(path) != 0; }

std::string current_dir() {
  char buf[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, buf);
  return buf;
}

void make_dir(const char* path) { CreateDirectoryA(path, nullptr); }

bool dir_exists(const char* path) {
  DWORD a = GetFileAttributesA(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

Created create_file(const char* path, bool truncate) {
  if (save_fails(path, SaveStep::Create)) return Created::Failed;
  HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, truncate ? CREATE_ALWAYS : CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_EXISTS ? Created::Exists : Created::Failed;
  CloseHandle(h);
  return Created::Ok;
}

bool write_file(const char* path, const uint8_t* data, size_t n) {
  if (save_fails(path, SaveStep::Write)) return false;
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(h, data, DWORD(n), &written, nullptr);
  BOOL closed = CloseHandle(h);
  return ok && closed && written == n;
}

ReadResult read_file(const char* path, std::vector<uint8_t>& out, size_t limit) {
  out.clear();
  HANDLE h = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return ReadResult::OpenFailed;
  const DWORD size = GetFileSize(h, nullptr);
  if (size == INVALID_FILE_SIZE) {
    CloseHandle(h);
    return ReadResult::OpenFailed;
  }
  out.assign(std::min(size_t(size), limit), 0);
  size_t got = 0;
  while (got < out.size()) {
    DWORD r = 0;
    if (!ReadFile(h, out.data() + got, DWORD(out.size() - got), &r, nullptr) || r == 0) break;
    got += r;
  }
  CloseHandle(h);
  if (got == out.size()) return ReadResult::Ok;
  out.clear();
  return ReadResult::ReadFailed;
}

void remove_file(const char* path) { DeleteFileA(path); }

bool open_in_shell(const char* folder) {
  SetLastError(0);
  ShellExecuteA(nullptr, nullptr, folder, nullptr, nullptr, SW_SHOWNORMAL);
  return GetLastError() != ERROR_FILE_NOT_FOUND;
}

}  // namespace kor::fsys
