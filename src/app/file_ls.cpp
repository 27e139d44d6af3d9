#include "app/file_ls.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "app/file_system.h"
#include "app/operator.h"

namespace kor {

namespace {

constexpr size_t kMaxPath = 260;

void CreateFailed(Handle owner, const char* text = "Не удалось создать файл") {
  op().Message(text, "File_ls::CreateNewFile", Icon::Error, owner);
}

}  // namespace

const char* kind_folder(DataKind kind) {
  switch (kind) {
    case DataKind::Program: return kProgramsFolder;
    case DataKind::Subprogram: return kSubprogramsFolder;
    case DataKind::Parameters: return kParametersFolder;
    case DataKind::Correction: return kCorrectionFolder;
    default: return nullptr;
  }
}

File_ls::File_ls(const char* readPath) {
  std::snprintf(path_, sizeof path_, "%s", readPath ? readPath : "");
}

int File_ls::CreateNewFile(const char* subFolder, const char* baseName, const char* ext, const char* dataFolder,
                           Handle owner, Disposition disposition) {
  created_ = false;
  const size_t folderLen = std::strlen(dataFolder);
  // The absolute path must fit the 260-character buffers; cutting it would
  // name another file.
  if (folderLen + std::strlen(subFolder) + std::strlen(baseName) + std::strlen(ext) + 3 >= kMaxPath) {
    CreateFailed(owner, "Не удалось создать файл: слишком длинный путь");
    path_[0] = 0;
    return 0;
  }
  // Names are relative to the data folder; a folder that cannot be entered
  // would put the file somewhere else than the prompt says.
  if (!fsys::set_current_dir(dataFolder)) {
    path_[0] = 0;
    CreateFailed(owner);
    return 0;
  }
  const bool truncate = disposition == Disposition::CreateOrTruncate;
  for (int n = 0; n <= 255; ++n) {
    char name[kMaxPath * 2];
    if (n == 0)
      std::snprintf(name, sizeof name, "%s%c%s.%s", subFolder, fsys::kSep, baseName, ext);
    else
      std::snprintf(name, sizeof name, "%s%c%s(%d).%s", subFolder, fsys::kSep, baseName, n, ext);
    if (folderLen + 1 + std::strlen(name) >= kMaxPath) {
      CreateFailed(owner, "Не удалось создать файл: слишком длинный путь");
      path_[0] = 0;
      return 0;
    }
    std::memcpy(path_, name, std::strlen(name) + 1);
    if (n == 0) fsys::make_dir(subFolder);
    switch (fsys::create_file(path_, truncate)) {
      case fsys::Created::Ok:
        created_ = true;
        return 1;
      case fsys::Created::Exists:
        continue;
      case fsys::Created::Failed:
        CreateFailed(owner);
        return 0;
    }
  }
  CreateFailed(owner);
  return 0;
}

int File_ls::WriteAll(const void* buf, size_t length) {
  if (!created_) return -1;  // nothing was created: nothing to write into
  if (fsys::write_file(path_, static_cast<const uint8_t*>(buf), length)) return 0;
  // A short copy must not pass for the data: take it away and say so.
  fsys::remove_file(path_);
  created_ = false;
  op().Message("Не удалось записать файл", "File_ls::WriteAll", Icon::Error, nullptr);
  return -1;
}

int File_ls::ReadAll() {
  data_.clear();
  if (fsys::read_file(path_, data_) == fsys::ReadResult::Ok) return 0;
  op().Message("Не удалось открыть файл", app().appName, Icon::Error, nullptr);
  return -1;
}

bool File_ls::AskOpenFolder(Handle owner, const char* dataFolder, const char* suffix) {
  // CreateNewFile made sure the absolute path fits.
  std::string abs = std::string(dataFolder) + fsys::kSep + path_;
  std::snprintf(path_, sizeof path_, "%.259s", abs.c_str());
  std::string text = "Файл сохранен: " + abs + ".\nОткрыть папку?";
  if (suffix) text += suffix;
  (void)owner;
  return op().AskYesNo(text.c_str(), "KorSync");
}

int OpenDataKindFolder(DataKind kind) {
  const char* sub = kind_folder(kind);
  if (!sub) return 0;
  std::string folder = fsys::current_dir() + fsys::kSep + sub;
  if (!fsys::open_in_shell(folder.c_str())) op().Message("нет папки", "KorSync", Icon::Error, nullptr);
  return 0;
}

bool SaveNewFile(const char* subFolder, const char* baseName, const char* ext, const void* buf, size_t length,
                 const char* suffix) {
  AppState& a = app();
  File_ls f;
  if (!f.CreateNewFile(subFolder, baseName, ext, a.dataFolder, a.mainWindow)) return false;
  if (f.WriteAll(buf, length) != 0) return false;
  if (f.AskOpenFolder(a.mainWindow, a.dataFolder, suffix)) OpenDataKindFolder(a.kind);
  return true;
}

}  // namespace kor
