// korsync config: the stored data folder and speed, and changing them.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app_state.h"
#include "app/file_system.h"
#include "app/settings.h"
#include "cli/console.h"
#include "cli/context.h"

namespace kor::cli {

namespace {

struct ConfigArgs {
  std::string data;
  int speed = 0;
  int fast = -1;  // -1 = leave it
};
ConfigArgs g_args;

// Paths are bytes of the system's own encoding, not of the program's texts.
void print_raw(const std::string& s) { console::write(stdout, console::native_to_utf8(s)); }

std::string absolute_path(const std::string& p) {
#ifdef _WIN32
  char buf[260];
  if (_fullpath(buf, p.c_str(), sizeof buf)) return buf;
  return p;
#else
  char* r = realpath(p.c_str(), nullptr);
  if (!r) return p;
  std::string s = r;
  std::free(r);
  return s;
#endif
}

Json settings_json() {
  SettingsStore& store = settings_store();
  Json doc = {{"settings", json_text(store.Where())}};
  char path[260];
  doc["m_path"] = store.ReadText("m_path", path, sizeof path) && path[0] ? Json(json_text(path)) : Json();
  uint32_t speed = 0;
  const bool stored = store.ReadNumber("bdrate", speed);
  doc["bdrate"] = stored ? Json(speed) : Json();
  doc["speed_at_start"] = stored && SpeedRestorable(speed) ? speed : 200000;
  uint32_t fast = 0;
  doc["fast"] = store.ReadNumber("fast", fast) ? Json(fast != 0) : Json();
  return doc;
}

void print_settings() {
  SettingsStore& store = settings_store();
  print_raw("settings: " + store.Where() + "\n");
  char path[260];
  if (store.ReadText("m_path", path, sizeof path) && path[0])
    print_raw(std::string("m_path: ") + path + "\n");
  else
    print_raw("m_path: (not set: the current directory is used)\n");
  uint32_t speed = 0;
  if (!store.ReadNumber("bdrate", speed))
    print_raw("bdrate: (not set: 200000 is used)\n");
  else if (!SpeedRestorable(speed))
    print_raw("bdrate: " + std::to_string(speed) + " (not used at start: 200000 is)\n");
  else
    print_raw("bdrate: " + std::to_string(speed) + "\n");
  uint32_t fast = 0;
  if (!store.ReadNumber("fast", fast))
    print_raw("fast: (not set: off)\n");
  else
    print_raw(std::string("fast: ") + (fast ? "1 (on)" : "0 (off)") + "\n");
}

void register_config(CLI::App& cli, Context&) {
  CLI::App* sub = add_command(cli, "config", "show the stored settings, or change them", [](Context& ctx) {
    if (!g_args.data.empty()) {
      std::string dir = absolute_path(g_args.data);
      if (!fsys::dir_exists(dir.c_str())) return usage("--set-data: no such folder: " + g_args.data);
      if (dir.size() >= sizeof app().dataFolder) return usage("--set-data: path longer than 259 characters");
      WriteDataFolderSetting(dir.c_str());
    }
    if (g_args.speed) {
      if (g_args.speed != 115200 && g_args.speed != 200000 && g_args.speed != 2000000)
        return usage("--set-speed: " + std::to_string(g_args.speed) + " (115200, 200000 or 2000000)");
      WriteSpeedSetting(g_args.speed);
    }
    if (g_args.fast >= 0) WriteFastSetting(g_args.fast != 0);
    if (ctx.json)
      ctx.result = settings_json();
    else
      print_settings();
    return 0;
  });
  json_command(sub);
  sub->add_option("--set-data", g_args.data, "store this folder as the data folder");
  sub->add_option("--set-speed", g_args.speed, "store this line speed: 115200, 200000 or 2000000");
  sub->add_option("--set-fast", g_args.fast, "store fast mode: 1 on, 0 off")->check(CLI::Range(0, 1));
}

const Registrar reg(register_config, 80);

}  // namespace

}  // namespace kor::cli
