#include <windows.h>

#include "params/param_file_io.h"

namespace kor::pfile {

WriteResult write_head(const char* path, const uint8_t* data, size_t n) {
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return WriteResult::OpenFailed;
  DWORD written = 0;
  const BOOL ok = WriteFile(h, data, DWORD(n), &written, nullptr);
  const BOOL closed = CloseHandle(h);
  return ok && closed && written == n ? WriteResult::Ok : WriteResult::WriteFailed;
}

}  // namespace kor::pfile
