// Output files in the data folder and whole-file reads of input files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/app_state.h"

namespace kor {

enum class Disposition { CreateNew, CreateOrTruncate };

// Sub-folder of each kind of data under the data folder.
const char* kind_folder(DataKind kind);  // null for Firmware
constexpr char kProgramsFolder[] = "kor_programs";
constexpr char kSubprogramsFolder[] = "kor_subprograms";
constexpr char kParametersFolder[] = "kor_parameters";
constexpr char kCorrectionFolder[] = "kor_correction";
constexpr char kBackupFolder[] = "kor_backup";

class File_ls {
 public:
  File_ls() = default;                      // for writing
  explicit File_ls(const char* readPath);  // for reading

  // 1 when a new file was created (numbered (1)..(255) on a clash), 0 when not
  // (reported). The data folder becomes the current directory.
  int CreateNewFile(const char* subFolder, const char* baseName, const char* ext, const char* dataFolder,
                    Handle owner, Disposition disposition = Disposition::CreateNew);
  // 0 when the bytes are in the file; -1 when not (reported, and the file that
  // would hold a partial copy is removed).
  int WriteAll(const void* buf, size_t length);
  // 0 with the whole file in data(); -1 when it cannot be read ("Не удалось
  // открыть файл" is shown), so the caller stops before sending anything.
  int ReadAll();
  // The save prompt; true for Yes. The path becomes absolute.
  bool AskOpenFolder(Handle owner, const char* dataFolder, const char* suffix = nullptr);

  const char* path() const { return path_; }
  std::vector<uint8_t>& data() { return data_; }
  bool created() const { return created_; }

 private:
  char path_[260] = {};
  std::vector<uint8_t> data_;
  bool created_ = false;
};

// Opens the kind's sub-folder of the current directory in the shell; "нет папки"
// when it is missing.
int OpenDataKindFolder(DataKind kind);

// A whole save as every read operation does it: create, write, ask, open the
// folder on Yes. A save that failed is reported and not announced as saved.
// True when the file was written.
bool SaveNewFile(const char* subFolder, const char* baseName, const char* ext, const void* buf, size_t length,
                 const char* suffix = nullptr);

}  // namespace kor
