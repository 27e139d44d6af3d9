#include <windows.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>

#include "app/app_state.h"
#include "app/settings.h"

namespace kor {

namespace {

void SettingsKeyName(char (&key)[100]) { std::snprintf(key, sizeof key, "Software\\ZEMRA\\%s", app().appName); }

class RegistryStore : public SettingsStore {
 public:
  bool ReadText(const char* name, char* buf, size_t size) override {
    HKEY k;
    char key[100];
    SettingsKeyName(key);
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    DWORD type = 0, cb = DWORD(size);
    LONG r = RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &cb);
    RegCloseKey(k);
    if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    // A value stored without its terminator still has to end inside the buffer.
    if (cb == 0 || buf[cb - 1] != 0) {
      if (cb >= size) return false;
      buf[cb] = 0;
    }
    return true;
  }

  bool ReadNumber(const char* name, uint32_t& out) override {
    HKEY k;
    char key[100];
    SettingsKeyName(key);
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    DWORD type = 0, value = 0, cb = sizeof value;
    LONG r = RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &cb);
    RegCloseKey(k);
    if (r != ERROR_SUCCESS || type != REG_DWORD || cb != sizeof value) return false;
    out = value;
    return true;
  }

  void Write(const std::vector<SettingValue>& values) override {
    HKEY k;
    char key[100];
    SettingsKeyName(key);
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) != ERROR_SUCCESS)
      return;
    for (const SettingValue& v : values) {
      const char* name = v.name.empty() ? nullptr : v.name.c_str();
      if (v.number) {
        DWORD d = v.value;
        RegSetValueExA(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&d), sizeof d);
      } else {
        RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.text.c_str()), DWORD(v.text.size() + 1));
      }
    }
    RegCloseKey(k);
  }

  bool RegisterAssociation(const char* ext, const char* className, const char* programPath) override {
    if (!ext || !*ext || !className || !*className || !programPath || !*programPath) return false;
    char name[300];
    std::snprintf(name, sizeof name, ".%s", ext);
    HKEY k;
    LONG r = RegCreateKeyExA(HKEY_CLASSES_ROOT, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    if (r == ERROR_SUCCESS) {
      RegSetValueExA(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(className), DWORD(std::strlen(className)));
      RegCloseKey(k);
    } else if (r == ERROR_ACCESS_DENIED) {
      return false;
    }
    std::snprintf(name, sizeof name, "%s\\shell\\open\\command", className);
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) ==
        ERROR_SUCCESS) {
      std::string command = std::string(programPath) + " %1";
      RegSetValueExA(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()), DWORD(command.size()));
      RegCloseKey(k);
    }
    // The class key of an earlier association.
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "koreep_auto_file", 0, KEY_READ, &k) == ERROR_SUCCESS) {
      RegCloseKey(k);
      SHDeleteKeyA(HKEY_CLASSES_ROOT, "koreep_auto_file");
    }
    return true;
  }

  std::string Where() const override {
    char key[100];
    SettingsKeyName(key);
    return std::string("HKEY_CURRENT_USER\\") + key;
  }
};

}  // namespace

std::unique_ptr<SettingsStore> make_platform_settings_store() { return std::make_unique<RegistryStore>(); }

std::string default_settings_file() { return ""; }

bool replace_file(const char* tmp, const char* target) {
  return MoveFileExA(tmp, target, MOVEFILE_REPLACE_EXISTING) != 0;
}

void make_parent_dirs(const std::string& file) {
  size_t slash = file.find_last_of("\\/");
  if (slash == std::string::npos) return;
  std::string dir = file.substr(0, slash);
  for (size_t i = 1; i <= dir.size(); ++i) {
    if (i == dir.size() || dir[i] == '\\' || dir[i] == '/') {
      if (i == 2 && dir[1] == ':') continue;  // a drive letter
      CreateDirectoryA(dir.substr(0, i).c_str(), nullptr);
    }
  }
}

}  // namespace kor
