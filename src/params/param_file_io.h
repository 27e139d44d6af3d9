// The two file calls parameter files need beyond the data folder's: the start
// of a file read without the rest, and a write at its start that keeps the rest
// (a parameter file carries the whole memory and the version text after the
// bytes the dialog edits).
#pragma once
#include <cstddef>
#include <cstdint>

namespace kor::pfile {

// Up to n bytes from the start into buf; *got says how many there were. False
// when the file cannot be opened for reading.
bool read_head(const char* path, uint8_t* buf, size_t n, size_t* got);

enum class WriteResult { Ok, OpenFailed, WriteFailed };
// Opens the file, creating it when missing, and writes n bytes at offset 0
// without truncating it.
WriteResult write_head(const char* path, const uint8_t* data, size_t n);

}  // namespace kor::pfile
