// The few file-system calls the data folder needs, one backend per platform.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kor::fsys {

constexpr char kSep =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif

enum class Created { Ok, Exists, Failed };

bool set_current_dir(const char* path);
std::string current_dir();
void make_dir(const char* path);  // an existing folder is fine
bool dir_exists(const char* path);
bool exists(const char* path);  // a file or a folder
// Creates the file and closes it again; with truncate an existing file is emptied.
Created create_file(const char* path, bool truncate);
// Writes the bytes into an existing file from its start; false on any failure.
bool write_file(const char* path, const uint8_t* data, size_t n);
enum class ReadResult { Ok, OpenFailed, ReadFailed };
// The whole file, or its first `limit` bytes. A read that stops before the size
// the file had when it was opened fails: a cut text must never pass for the file.
ReadResult read_file(const char* path, std::vector<uint8_t>& out, size_t limit = SIZE_MAX);
void remove_file(const char* path);
// Opens a folder in the desktop shell; false when the folder is not there.
bool open_in_shell(const char* folder);

// Tests make a save fail as a locked file (at its creation) or a full disk (at
// its write) would. The hook answers true for a call that must fail.
enum class SaveStep { Create, Write };
using SaveFault = bool (*)(const char* path, SaveStep step);
void set_save_fault(SaveFault f);  // null: no faults
bool save_fails(const char* path, SaveStep step);

}  // namespace kor::fsys
