// SHA-256 of a byte string, from the platform's well-kept library (Nettle on
// POSIX, CNG on Windows): a backup's SHA256SUMS must agree with
// what sha256sum computes.
#pragma once
#include <cstddef>
#include <string>

namespace kor {

// 64 lower-case hex digits; empty when the library failed.
std::string sha256_hex(const void* data, size_t length);

// The platform backend: false when the library failed.
bool sha256_digest(const void* data, size_t length, unsigned char out[32]);

}  // namespace kor
