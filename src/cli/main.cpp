// korsync: the command line. Drives the same operations the window does.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <algorithm>
#include <optional>
#include <vector>

#include "app/adapters.h"
#include "app/app_state.h"
#include "app/exchange_log.h"
#include "app/file_kinds.h"
#include "app/operator.h"
#include "app/settings.h"
#include "app/version.h"
#include "cli/console.h"
#include "cli/context.h"
#include "app/cp1251.h"
#include "link/logged_port.h"
#include "link/rs232.h"

#ifdef _WIN32
#include <direct.h>
#define getcwd _getcwd
#else
#include <unistd.h>
#endif

namespace kor::cli {

namespace {

const char kUsage[] =
    "usage: korsync [--port PORT] [--speed BPS] [--data DIR] [--config FILE] [--open] [--quiet] [--fast] [--verbose]\n"
    "               [--log FILE] [--json] COMMAND [ARGS]   (korsync --help lists the commands)\n";

}  // namespace

int usage(const std::string& why) {
  console::write(stderr, "korsync: " + console::native_to_utf8(why) + "\n" + kUsage);
  return 2;
}

// COMn or a bare n name a COM number (1..256, as the settings dialog lists
// them); anything else is a device path.
static bool parse_port(const std::string& s, int& com, std::string& path) {
  std::string digits = s;
  const bool comName = s.size() >= 3 && (s[0] == 'C' || s[0] == 'c') && (s[1] == 'O' || s[1] == 'o') &&
                       (s[2] == 'M' || s[2] == 'm');
  if (comName) digits = s.substr(3);
  if (!digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos) {
    if (digits.size() > 3) return false;
    com = std::atoi(digits.c_str());
    path.clear();
    return com >= 1 && com <= 256;
  }
  if (s.empty() || comName) return false;
  path = s;
  com = 0;
  return true;
}

std::string accepted_speeds() {
  std::string list;
  for (int sp : CRs232::AcceptedSpeeds()) list += (list.empty() ? "" : ", ") + std::to_string(sp);
  return list;
}

static std::optional<int> apply_globals(Context& ctx) {
  AppState& a = app();
  set_settings_file(ctx.configFile);
  if (ctx.port.empty()) {
    // The last adapter discovery finds, as the window does.
    AdapterScan s = ScanAdapters();
    ctx.noPort = !s.any;
    if (s.any) {
      const AdapterEntry& e = s.table[s.chosen];
#ifdef _WIN32
      a.comPort = PortNumberOf(e.portCopy);
#else
      std::snprintf(a.portPath, sizeof a.portPath, "%s", e.portName);
#endif
    }
  } else {
    int com = 0;
    std::string path;
    if (!parse_port(ctx.port, com, path))
      return usage("--port: " + ctx.port + " is no port: give COM1..COM256, a number 1..256 or a device path");
    if (path.size() >= sizeof a.portPath) return usage("--port: path too long");
    a.comPort = com;
    std::strcpy(a.portPath, path.c_str());
  }
  if (ctx.speed) {
    if (!CRs232::SpeedAccepted(ctx.speed)) return usage("--speed: " + std::to_string(ctx.speed) + " bit/s is not an accepted speed (" + accepted_speeds() + ")");
    a.speed = ctx.speed;
  } else {
    ReadSpeedSetting();
  }
  std::string data = ctx.dataDir;
  if (data.empty()) {
    char cwd[1024];
    if (getcwd(cwd, sizeof cwd)) data = cwd;
  }
  if (data.size() >= sizeof a.dataFolder) return usage("--data: path longer than 259 characters");
  std::strcpy(a.dataFolder, data.c_str());
  if (ctx.dataDir.empty()) ReadDataFolderSetting();
  if (ctx.fast)
    a.fastMode = true;
  else
    ReadFastSetting();
  return std::nullopt;
}

std::string absolute_path(const std::string& path, std::error_code& ec) {
  ec.clear();
#ifdef _WIN32
  char buf[4096];
  if (_fullpath(buf, path.c_str(), sizeof buf)) return buf;
  ec = std::make_error_code(std::errc::invalid_argument);
  return {};
#else
  return std::filesystem::absolute(path, ec).string();
#endif
}

std::string absolute_or_as_given(const std::string& path) {
  std::error_code ec;
  const std::string p = absolute_path(path, ec);
  return ec ? path : p;
}

std::string file_name(const std::string& path) {
#ifdef _WIN32
  return path.substr(path.find_last_of("\\/") + 1);
#else
  return path.substr(path.find_last_of('/') + 1);
#endif
}

bool absolute_data_folder() {
  AppState& a = app();
  std::error_code ec;
  const std::string abs = absolute_path(a.dataFolder, ec);
  if (ec || abs.size() >= sizeof a.dataFolder) return false;
  std::strcpy(a.dataFolder, abs.c_str());
  return true;
}

bool accepted_file(DataKind kind, const std::string& path) {
  if (FileAccepted(kind, path.c_str())) return true;
  // The window's text for a dropped file, and what it would have taken.
  ShowMessage(("Неверный формат файла (ожидается " + std::string(AcceptedExtensions(kind)) + ")").c_str(), Icon::Error);
  return false;
}

std::string arg_text(const std::string& s) {
#ifdef _WIN32
  // The ANSI code page is 1251 on the Russian systems this is made for; elsewhere
  // what 1251 holds of it is kept.
  return utf8_to_cp1251(console::native_to_utf8(s));
#else
  return utf8_to_cp1251(s);
#endif
}

void print_out(const std::string& text) {
  console::write(stdout, text_to_utf8(text));
}

namespace {
struct Registration {
  RegisterFn fn;
  int order;
};
std::vector<Registration>& registry() {
  static std::vector<Registration> r;
  return r;
}
}  // namespace

Registrar::Registrar(RegisterFn f, int order) { registry().push_back({f, order}); }

void register_all(CLI::App& app, Context& ctx) {
  // Files register in link order; help lists the commands in the order a user looks for them.
  std::vector<Registration> all = registry();
  std::stable_sort(all.begin(), all.end(), [](const Registration& a, const Registration& b) { return a.order < b.order; });
  for (const Registration& r : all) r.fn(app, ctx);
}

Runner& pending_runner() {
  static Runner r;
  return r;
}

CLI::App* add_command(CLI::App& parent, const std::string& name, const std::string& help, Runner run) {
  CLI::App* sub = parent.add_subcommand(name, help);
  sub->callback([run]() { pending_runner() = run; });
  return sub;
}

namespace {
std::vector<const CLI::App*>& json_commands() {
  static std::vector<const CLI::App*> c;
  return c;
}

const CLI::App* leaf_command(const CLI::App* a) {
  for (const CLI::App* s : a->get_subcommands()) return leaf_command(s);
  return a;
}

Json shown_messages(const CliOperator& o) {
  Json list = Json::array();
  for (const ShownMessage& m : o.shown()) list.push_back({{"icon", m.icon}, {"text", json_text(m.text)}});
  return list;
}
}  // namespace

CLI::App* json_command(CLI::App* command) {
  json_commands().push_back(command);
  return command;
}

CLI::App* command_group(CLI::App& cli, const std::string& name, const std::string& help) {
  // This CLI11 has no get_subcommand_no_throw.
  for (CLI::App* s : cli.get_subcommands([&](CLI::App* a) { return a->get_name() == name; })) return s;
  CLI::App* g = cli.add_subcommand(name, help);
  g->require_subcommand(1);
  return g;
}

int run(int argc, char** argv) {
  init_program_version();
  pending_runner() = nullptr;
  json_commands().clear();
  Context ctx;
  CLI::App cli{"korsync: programs, parameters and firmware of a KOR unit over a serial line", "korsync"};
  cli.add_option("--port", ctx.port, "serial port: a device path, COMn, or n (default: the adapter found)");
  cli.add_option("--speed", ctx.speed, "line speed in bit/s, one of " + accepted_speeds() + " (default: stored, else 200000)");
  cli.add_option("--data", ctx.dataDir, "data folder (default: stored, else the current directory)");
  cli.add_option("--config", ctx.configFile, "settings file instead of the per-user one")->envname("KORSYNC_CONFIG");
  cli.add_flag("--open", ctx.open, "answer Yes when asked to open the folder of a saved file");
  cli.add_flag("--quiet", ctx.quiet, "no progress bar");
  cli.add_flag("--fast", ctx.fast,
               "end each wait as soon as the answer is complete (the fixed wait stays the limit; default: stored)");
  cli.add_flag("--verbose", ctx.verbose, "remarks on how the work is done, on stderr");
  cli.add_option("--log", ctx.logFile,
                 "append every frame, wait and message of the run to FILE (default: the setting log; kept under 8 MB)");
  cli.add_flag("--json", ctx.json, "info, ports, config, program check, params show, read, write, backup and compare: one JSON document on stdout");
  cli.set_version_flag("--version", [] { return version_report("korsync"); }, "show the version and build, then exit");
  cli.require_subcommand(1);
  register_all(cli, ctx);

  try {
    cli.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return cli.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return cli.exit(e);
  } catch (const CLI::CallForVersion&) {
    print_out(version_report("korsync"));
    return 0;
  } catch (const CLI::ParseError& e) {
    return usage(e.what());
  }
  if (ctx.json) {
    const CLI::App* leaf = leaf_command(&cli);
    if (std::find(json_commands().begin(), json_commands().end(), leaf) == json_commands().end())
      return usage("--json: " + leaf->get_name() + " has no JSON output");
  }
  if (auto rc = apply_globals(ctx)) return *rc;
  CliOperator oper(ctx.open, ctx.quiet);
  oper.SetVerbose(ctx.verbose);
  if (ctx.noPort) oper.SetNoPortHint("адаптер не найден: подключите адаптер или укажите --port");
  ctx.op = &oper;
  set_operator(&oper);
  int status = 0;
  {
    // --log FILE, else the setting "log".
    LoggedRun log;
    const std::string logFile = ctx.logFile.empty() ? LogSetting() : ctx.logFile;
    std::string command;
    for (int i = 1; i < argc; ++i) command += std::string(i > 1 ? " " : "") + argv[i];
    const AppState& a = app();
    const std::string port = a.portPath[0] ? a.portPath : a.comPort ? com_device_path(a.comPort) : "";
    if (!logFile.empty() && !log.Start(logFile, "korsync " + command, port, a.speed)) {
      set_operator(nullptr);
      return usage("--log: cannot append to " + logFile);
    }
    Runner r = pending_runner();
    if (r) {
      status = r(ctx);
      if (status == 0 && oper.failed()) status = 1;
    }
    log.End(status);
  }
  set_operator(nullptr);
  if (ctx.json && status != 2) {
    if (ctx.result.contains("saved"))
      for (const std::string& f : oper.saved()) ctx.result["saved"].push_back(json_text(f));
    ctx.result["ok"] = status == 0;
    ctx.result["messages"] = shown_messages(oper);
    print_json(ctx.result);
  }
  std::fflush(stdout);
  return status;
}

}  // namespace kor::cli
