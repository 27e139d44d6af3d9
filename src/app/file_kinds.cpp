#include "app/file_kinds.h"

#include <cstring>

namespace kor {

bool ExtensionIs(const char* path, const char* wanted) {
  const char* dot = std::strrchr(path, '.');
  const char* ext = dot ? dot + 1 : "";
  return std::strncmp(ext, wanted, 20) == 0;
}

bool FileAccepted(DataKind kind, const char* path) {
  switch (kind) {
    case DataKind::Program:
    case DataKind::Subprogram: return ExtensionIs(path, "bin") || ExtensionIs(path, "txt");
    case DataKind::Parameters: return ExtensionIs(path, "koreep") || ExtensionIs(path, "bin");
    case DataKind::Firmware: return ExtensionIs(path, "hex");
    default: return false;
  }
}

const char* AcceptedExtensions(DataKind kind) {
  switch (kind) {
    case DataKind::Program:
    case DataKind::Subprogram: return ".txt или .bin";
    case DataKind::Parameters: return ".koreep или .bin";
    case DataKind::Firmware: return ".hex";
    default: return "";
  }
}

}  // namespace kor
