// The POSIX backend's one reading loop, shared by every whole-file read.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kor::fsys {

// Exactly n bytes from fd into buf; false on an error or an end before n bytes.
bool read_exactly(int fd, uint8_t* buf, size_t n);

}  // namespace kor::fsys
