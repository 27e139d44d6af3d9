#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "app/settings.h"

namespace kor {

std::string default_settings_file() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home && home[0] ? home : ".") + "/.config";
  }
  return base + "/korsync/settings.ini";
}

std::unique_ptr<SettingsStore> make_platform_settings_store() {
  return make_ini_settings_store(default_settings_file());
}

bool replace_file(const char* tmp, const char* target) { return std::rename(tmp, target) == 0; }

void make_parent_dirs(const std::string& file) {
  size_t slash = file.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return;
  std::string dir = file.substr(0, slash);
  for (size_t i = 1; i <= dir.size(); ++i) {
    if (i == dir.size() || dir[i] == '/') mkdir(dir.substr(0, i).c_str(), 0777);
  }
}

}  // namespace kor
