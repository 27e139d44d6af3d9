// Settings kept between runs: the data folder, the port speed, and the path of
// the program that last made itself the handler of parameter files. Windows
// keeps them in the registry under HKEY_CURRENT_USER\Software\ZEMRA\<appName>;
// elsewhere, and whenever a settings file is named, in an INI-style file.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kor {

struct SettingValue {
  std::string name;  // "" is the key's default value
  bool number = false;
  std::string text;
  uint32_t value = 0;
};

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // False when the store or the value is missing, or the text does not fit
  // `size` bytes with its terminator.
  virtual bool ReadText(const char* name, char* buf, size_t size) = 0;
  virtual bool ReadNumber(const char* name, uint32_t& out) = 0;
  // All values in one go; write errors are not reported.
  virtual void Write(const std::vector<SettingValue>& values) = 0;
  // Makes ".ext" files open with the program; false when that is refused.
  virtual bool RegisterAssociation(const char* ext, const char* className, const char* programPath) = 0;
  // Where the values live, for the command line to show.
  virtual std::string Where() const = 0;
};

// The file named by set_settings_file when there is one, else the platform's
// per-user store.
SettingsStore& settings_store();
// An INI-style file to use instead of the per-user store; empty puts that back.
void set_settings_file(const std::string& path);

std::unique_ptr<SettingsStore> make_platform_settings_store();
// POSIX: $XDG_CONFIG_HOME/korsync/settings.ini, else ~/.config/korsync/settings.ini.
std::string default_settings_file();
std::unique_ptr<SettingsStore> make_ini_settings_store(const std::string& path);
// Puts `tmp` in the place of `target` in one step (platform backend).
bool replace_file(const char* tmp, const char* target);
// Creates the folder that will hold `file` and its parents (platform backend).
void make_parent_dirs(const std::string& file);

// Start-up: the data folder becomes the current directory; the parameter-file
// association is registered when this program file did not register it last,
// and then AppState.registeredDefault is set.
void SettingsStartUp(const char* programPath);
// Main-window initialisation: the stored data folder and speed, when there.
void ReadDataFolderSetting();
void ReadSpeedSetting();
// Only the speeds the settings dialog offers for everyday use are restored.
bool SpeedRestorable(uint32_t speed);
// Settings dialog changes.
void WriteDataFolderSetting(const char* path);
void WriteSpeedSetting(int speed);
// Fast mode ("fast", 0 or 1; missing is off).
void ReadFastSetting();
void WriteFastSetting(bool on);
// The exchange log's file ("log"); empty when none is kept.
std::string LogSetting();

}  // namespace kor
