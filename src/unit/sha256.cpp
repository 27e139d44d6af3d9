#include "unit/sha256.h"

namespace kor {

std::string sha256_hex(const void* data, size_t length) {
  unsigned char digest[32];
  if (!sha256_digest(data, length, digest)) return "";
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char b : digest) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

}  // namespace kor
