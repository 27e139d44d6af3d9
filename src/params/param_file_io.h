// The file call parameter files need beyond the data folder's: a write at the
// file's start that keeps the rest (a parameter file carries the whole memory
// and the version text after the bytes the dialog edits), telling a file that
// cannot be opened from one that cannot be written.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kor::pfile {

enum class WriteResult { Ok, OpenFailed, WriteFailed };
// Opens the file, creating it when missing, and writes n bytes at offset 0
// without truncating it.
WriteResult write_head(const char* path, const uint8_t* data, size_t n);

}  // namespace kor::pfile
