#include "params/param_file.h"

#include <cstring>

#include "app/app_state.h"
#include "app/file_system.h"
#include "app/operator.h"
#include "params/param_file_io.h"
#include "params/param_set.h"
#include "params/param_view.h"
#include "params/params_host.h"

namespace kor {

RememberedParamFile& remembered_param_file() {
  static RememberedParamFile f;
  return f;
}

namespace {

// The Parameters dialog owns these messages.
void Say(const char* text, Icon icon) { op().Message(text, app().appName, icon, app().paramsWindow); }

std::string extension(const char* path) {
  std::string p = path ? path : "";
  if (!p.empty() && p.back() == '"') p.pop_back();
  const size_t dot = p.rfind('.');
  return dot == std::string::npos ? std::string() : p.substr(dot + 1);
}

bool fits_path(const char* path) { return std::strlen(path) < sizeof RememberedParamFile::path; }

int write_set(const char* path, const ParameterSet& s) {
  uint8_t bytes[kParameterSetSize];
  encode_parameter_set(s, bytes);
  switch (pfile::write_head(path, bytes, kParameterSetSize)) {
    case pfile::WriteResult::Ok:
      return 1;
    case pfile::WriteResult::OpenFailed:
      Say("Не удалось открыть файл для записи", Icon::Error);
      return 0;
    case pfile::WriteResult::WriteFailed:
      break;
  }
  // A save that did not reach the disk must not be taken for one.
  Say("Не удалось записать файл", Icon::Error);
  return 0;
}

// Reads and checks the file into out; repairs are written back into the file.
int check_file(const char* path, ParameterSet& out) {
  std::vector<uint8_t> head;
  switch (fsys::read_file(path, head, kParameterSetSize)) {
    case fsys::ReadResult::Ok:
      break;
    case fsys::ReadResult::OpenFailed:
      Say("Не удалось открыть файл :INVALID_HANDLE_VALUE", Icon::Error);
      return 0;
    case fsys::ReadResult::ReadFailed:
      Say("Не удалось открыть файл", Icon::Error);
      return 0;
  }
  // A shorter file holds no layout: zeros taken for the missing bytes would pass
  // the check, and the repair would write them into the file.
  if (head.size() < kParameterSetSize) {
    Say("неверный файл", Icon::Error);
    return 0;
  }
  const uint8_t* bytes = head.data();
  for (int i = 0; i < kChannels + kDisplayRows; ++i) {
    if (bytes[i] > kNoAxis) {
      Say("неверный файл", Icon::Error);
      return 0;
    }
  }
  ParameterSet s = decode_parameter_set(bytes);
  bool repaired = false;
  if (s.brightnessCode < 1 || s.brightnessCode > 50) {
    s.brightnessCode = 25;
    repaired = true;
  }
  if (s.timeDisplay > 1) {
    s.timeDisplay = 0;
    repaired = true;
  }
  if (s.usbSpeed < 1 || s.usbSpeed > 2) {
    s.usbSpeed = 1;
    repaired = true;
  }
  if (repaired && !write_set(path, s)) return 0;
  out = s;
  return 1;
}

void MarkLoaded(const char* path) {
  RememberedParamFile& f = remembered_param_file();
  if (f.path != path) std::strcpy(f.path, path);
  f.loaded = true;
  BuildParameterTree();
  params_host().SetTitle(bare_file_name(path).c_str());
  params_host().ShowSaveButton(true);
}

}  // namespace

bool is_parameter_file_name(const char* path) {
  const std::string ext = extension(path);
  return ext == "koreep" || ext == "bin";
}

std::string bare_file_name(const char* path) {
  std::string p = path ? path : "";
  const size_t sep = p.find_last_of("\\/");
  return sep == std::string::npos ? p : p.substr(sep + 1);
}

int CheckParameterFile(const char* path) {
  ParameterSet s;
  if (!check_file(path, s)) return 0;
  param_set() = s;
  return 1;
}

int LoadParameterFile(const char* path) {
  // The set is replaced whole or not at all: a file refused half-way must not
  // leave its bytes in the set of the file still open.
  ParameterSet s;
  if (!check_file(path, s)) return 0;
  param_set() = s;
  return 1;
}

int SaveParameterFile(const char* path) { return write_set(path, param_set()); }

int OpenParameterFile(const char* path) {
  if (!is_parameter_file_name(path)) {
    Say("Неизвестный формат файла", Icon::Error);
    return 0;
  }
  if (!fits_path(path)) {
    Say("Слишком длинный путь к файлу", Icon::Error);
    return 0;
  }
  if (!LoadParameterFile(path)) return 0;
  MarkLoaded(path);
  return 1;
}

int SaveRememberedParameterFile() {
  RememberedParamFile& f = remembered_param_file();
  if (!f.loaded) return 0;
  if (SaveParameterFile(f.path)) {
    Say("Файл сохранен", Icon::Information);
    return 1;
  }
  Say("Ошибка сохранения", Icon::Error);
  return 0;
}

void DropParameterFile(const std::vector<std::string>& names) {
  if (names.empty()) return;
  const char* path = names.back().c_str();
  if (!is_parameter_file_name(path)) {
    Say("Неверный формат файла", Icon::Error);
    return;
  }
  if (!fits_path(path)) {
    Say("Слишком длинный путь к файлу", Icon::Error);
    return;
  }
  if (!LoadParameterFile(path)) {
    params_host().ShowSaveButton(false);
    return;
  }
  MarkLoaded(path);
}

void ReloadParameterFile() {
  RememberedParamFile& f = remembered_param_file();
  if (f.path[0] && LoadParameterFile(f.path)) {
    MarkLoaded(f.path);
    return;
  }
  params_host().ShowSaveButton(false);
  f.path[0] = 0;
  f.loaded = false;
}

void TakeCommandLineFile(const char* text) {
  std::string path = text ? text : "";
  if (!path.empty() && path.front() == '"' && path.back() == '"')
    path = path.size() >= 2 ? path.substr(1, path.size() - 2) : std::string();
  if (extension(path.c_str()) != "koreep") return;
  if (!fits_path(path.c_str())) {
    ShowMessage("Слишком длинный путь к файлу", Icon::Error);
    return;
  }
  params_host().OpenEditorForCommandLineFile();
  std::strcpy(remembered_param_file().path, path.c_str());
  std::strcpy(app().commandLineFile, path.c_str());
  params_host().BroadcastCloseOthers();
}

}  // namespace kor
