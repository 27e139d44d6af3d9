#include "app/settings.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "app/app_state.h"
#include "app/file_system.h"

namespace kor {

namespace {

std::unique_ptr<SettingsStore> g_store;
std::string g_file;

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

// One [section] of name=value lines; the rest of the file is kept as it was.
class IniStore : public SettingsStore {
 public:
  explicit IniStore(std::string path) : path_(std::move(path)) {}

  bool ReadText(const char* name, char* buf, size_t size) override {
    std::string v;
    if (!Find(name, v) || v.size() + 1 > size) return false;
    std::memcpy(buf, v.c_str(), v.size() + 1);
    return true;
  }

  bool ReadNumber(const char* name, uint32_t& out) override {
    std::string v;
    if (!Find(name, v) || v.empty() || v.size() > 10 || v.find_first_not_of("0123456789") != std::string::npos)
      return false;
    unsigned long long n = std::stoull(v);
    if (n > 0xFFFFFFFFull) return false;
    out = uint32_t(n);
    return true;
  }

  void Write(const std::vector<SettingValue>& values) override {
    std::vector<std::string> lines;
    {
      std::ifstream in(path_, std::ios::binary);
      std::string line;
      while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
      }
    }
    const std::string header = std::string("[") + app().appName + "]";
    for (const SettingValue& v : values) {
      if (v.name.empty()) continue;  // the registry key's default value has no use here
      std::string line = v.name + "=" + (v.number ? std::to_string(v.value) : v.text);
      bool in = false, done = false;
      size_t sectionEnd = lines.size(), sectionAt = lines.size();
      for (size_t i = 0; i < lines.size() && !done; ++i) {
        std::string t = trim(lines[i]);
        if (!t.empty() && t[0] == '[') {
          if (in) {
            sectionEnd = i;
            break;
          }
          in = t == header;
          if (in) sectionAt = i;
          continue;
        }
        size_t eq = t.find('=');
        if (in && eq != std::string::npos && trim(t.substr(0, eq)) == v.name) {
          lines[i] = line;
          done = true;
        }
      }
      if (done) continue;
      if (sectionAt == lines.size()) {
        if (!lines.empty() && !trim(lines.back()).empty()) lines.push_back("");
        lines.push_back(header);
        lines.push_back(line);
      } else {
        // After the section's last value, before any blank lines that close it.
        size_t at = sectionEnd;
        while (at > sectionAt + 1 && trim(lines[at - 1]).empty()) --at;
        lines.insert(lines.begin() + long(at), line);
      }
    }
    make_parent_dirs(path_);
    const std::string tmp = path_ + ".tmp";
    {
      std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
      for (const std::string& l : lines) out << l << '\n';
      out.flush();
      if (!out) {
        std::remove(tmp.c_str());
        return;
      }
    }
    // The old file stays whole until the new one is complete.
    if (!replace_file(tmp.c_str(), path_.c_str())) std::remove(tmp.c_str());
  }

  bool RegisterAssociation(const char*, const char*, const char*) override { return false; }

  std::string Where() const override { return path_; }

 private:
  bool Find(const char* name, std::string& value) const {
    std::ifstream in(path_, std::ios::binary);
    if (!in) return false;
    const std::string header = std::string("[") + app().appName + "]";
    std::string line;
    bool inSection = false;
    while (std::getline(in, line)) {
      std::string t = trim(line);
      if (t.empty() || t[0] == ';' || t[0] == '#') continue;
      if (t[0] == '[') {
        inSection = t == header;
        continue;
      }
      size_t eq = t.find('=');
      if (!inSection || eq == std::string::npos) continue;
      if (trim(t.substr(0, eq)) == name) {
        value = trim(t.substr(eq + 1));
        return true;
      }
    }
    return false;
  }

  std::string path_;
};

}  // namespace

std::unique_ptr<SettingsStore> make_ini_settings_store(const std::string& path) {
  return std::make_unique<IniStore>(path);
}

SettingsStore& settings_store() {
  if (!g_store) g_store = g_file.empty() ? make_platform_settings_store() : make_ini_settings_store(g_file);
  return *g_store;
}

void set_settings_file(const std::string& path) {
  g_file = path;
  g_store.reset();
}

void SettingsStartUp(const char* programPath) {
  AppState& a = app();
  std::snprintf(a.dataFolder, sizeof a.dataFolder, "%s", fsys::current_dir().c_str());
  char program[260];
  std::snprintf(program, sizeof program, "%s", programPath ? programPath : "");
  SettingsStore& store = settings_store();
  char last[260];
  if (store.ReadText("last_app_path", last, sizeof last) && std::strncmp(last, program, sizeof last) == 0) return;
  if (!program[0] || !store.RegisterAssociation("koreep", "koreep_auto_f", program)) return;
  a.registeredDefault = true;
  SettingValue v;
  v.name = "last_app_path";
  v.text = program;
  store.Write({v});
}

void ReadDataFolderSetting() {
  char path[260];
  // An empty value names no folder; the current one is kept then.
  if (!settings_store().ReadText("m_path", path, sizeof path) || !path[0]) return;
  AppState& a = app();
  std::memset(a.dataFolder, 0, sizeof a.dataFolder);
  std::snprintf(a.dataFolder, sizeof a.dataFolder, "%s", path);
}

bool SpeedRestorable(uint32_t speed) { return speed == 200000 || speed == 115200; }

void ReadSpeedSetting() {
  uint32_t speed = 0;
  if (settings_store().ReadNumber("bdrate", speed) && SpeedRestorable(speed)) app().speed = int(speed);
}

void WriteDataFolderSetting(const char* path) {
  SettingValue folder, size, def;
  folder.name = "m_path";
  folder.text = path;
  size.name = "m_path size in bytes";
  size.number = true;
  size.value = uint32_t(std::strlen(path) + 1);
  def.name = "";
  settings_store().Write({folder, size, def});
}

void WriteSpeedSetting(int speed) {
  SettingValue v;
  v.name = "bdrate";
  v.number = true;
  v.value = uint32_t(speed);
  settings_store().Write({v});
}

void ReadFastSetting() {
  uint32_t on = 0;
  if (settings_store().ReadNumber("fast", on)) app().fastMode = on != 0;
}

std::string LogSetting() {
  char path[260] = {};
  return settings_store().ReadText("log", path, sizeof path) ? path : "";
}

void WriteFastSetting(bool on) {
  SettingValue v;
  v.name = "fast";
  v.number = true;
  v.value = on ? 1 : 0;
  settings_store().Write({v});
}

}  // namespace kor
