// Parameter files on disk: checked and repaired when opened, loaded into the
// parameter set, saved back in place (only their first 186 bytes change).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kor {

// The file the Parameters dialog last loaded.
struct RememberedParamFile {
  char path[260] = {};
  bool loaded = false;  // "Сохранить " is shown only while set
};
RememberedParamFile& remembered_param_file();

// True when the text after the last dot is exactly "koreep" or "bin" (a closing
// double quote left by a quoted path does not count).
bool is_parameter_file_name(const char* path);
// The part after the last path separator.
std::string bare_file_name(const char* path);

// 1 when the file's layout is sound; repairs (brightness, time display, USB
// speed) are written back into the file first. The parameter set changes only
// on success.
int CheckParameterFile(const char* path);
// 1 when the file is now in the parameter set.
int LoadParameterFile(const char* path);
// 1 when the set is in the file's first 186 bytes; the rest of the file stays.
int SaveParameterFile(const char* path);

// The dialog's commands.
// "Открыть ", after the file dialog gave a name: 1 when it is now loaded.
int OpenParameterFile(const char* path);
// "Сохранить ": saves into the remembered file and says how it went.
int SaveRememberedParameterFile();
// Files dropped on the dialog; only the last one counts.
void DropParameterFile(const std::vector<std::string>& names);
// Loads the remembered path (the program was started with a parameter file).
void ReloadParameterFile();
// The program's command line: a "koreep" file opens the editor on it and asks
// other running copies to close.
void TakeCommandLineFile(const char* text);

}  // namespace kor
