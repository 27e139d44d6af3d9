#include <windows.h>
#include <shellapi.h>

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

Created create_file(const char* path, bool truncate) {
  HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, truncate ? CREATE_ALWAYS : CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_EXISTS ? Created::Exists : Created::Failed;
  CloseHandle(h);
  return Created::Ok;
}

bool write_file(const char* path, const uint8_t* data, size_t n) {
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(h, data, DWORD(n), &written, nullptr);
  BOOL closed = CloseHandle(h);
  return ok && closed && written == n;
}

bool read_file(const char* path, std::vector<uint8_t>& out) {
  HANDLE h = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD size = GetFileSize(h, nullptr);
  if (size == INVALID_FILE_SIZE) {
    CloseHandle(h);
    return false;
  }
  out.assign(size, 0);
  DWORD got = 0;
  BOOL ok = size == 0 || ReadFile(h, out.data(), size, &got, nullptr);
  CloseHandle(h);
  if (!ok) return false;
  out.resize(size == 0 ? 0 : got);
  return true;
}

void remove_file(const char* path) { DeleteFileA(path); }

bool open_in_shell(const char* folder) {
  SetLastError(0);
  ShellExecuteA(nullptr, nullptr, folder, nullptr, nullptr, SW_SHOWNORMAL);
  return GetLastError() != ERROR_FILE_NOT_FOUND;
}

}  // namespace kor::fsys
