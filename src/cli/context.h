// What every command of the command line shares.
#pragma once
#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <system_error>

#include "app/app_state.h"
#include "cli/cli_operator.h"
#include "cli/json_out.h"

namespace kor::cli {

struct Context {
  std::string port;
  int speed = 0;  // 0 = stored setting, else 200000
  std::string dataDir;
  std::string configFile;
  bool open = false;
  bool quiet = false;
  bool fast = false;
  bool verbose = false;
  std::string logFile;  // --log
  bool json = false;    // one JSON document on stdout instead of text
  bool noPort = false;  // no --port and no adapter found
  CliOperator* op = nullptr;  // installed before a command runs
  // With --json: what the command found; "ok" and the messages shown are added at the end.
  Json result = Json::object();
};

// The command can answer --json (others refuse it as a usage error).
CLI::App* json_command(CLI::App* command);

// Arguments from the terminal (UTF-8) to the program's code page.
std::string arg_text(const std::string& s);
// Text of the program's code page to standard output, as UTF-8.
void print_out(const std::string& cp1251Text);

// A command runs after the global options took effect. It returns 0 (the exit
// status then follows the messages shown), 1 for a failure it reported itself,
// or 2 for a usage error it explained on stderr.
using Runner = std::function<int(Context&)>;
Runner& pending_runner();
CLI::App* add_command(CLI::App& parent, const std::string& name, const std::string& help, Runner run);
// A group of commands ("read", "write", ...) that several command files fill:
// whoever registers first makes it, the others find it.
CLI::App* command_group(CLI::App& cli, const std::string& name, const std::string& help);
// A path made absolute, in the encoding the file layer takes. On Windows that
// is the ANSI code page, which the standard library's narrow paths are not.
std::string absolute_path(const std::string& path, std::error_code& ec);
// The same, or the path as given when it cannot be made absolute. Saves move the
// current directory, so a file is named independently of it from the start.
std::string absolute_or_as_given(const std::string& path);
// The name after the last folder separator.
std::string file_name(const std::string& path);
// Makes AppState's data folder absolute: saves make it the current directory,
// and a relative one would then be looked for inside itself. False when too long.
bool absolute_data_folder();
// Whether a write is read back and compared: --verify / --no-verify, else the
// setting "verify" (1 = on), else off.
bool verify_wanted(bool verify, bool noVerify);
// The window's extension rule for a file sent as this kind; when it refuses,
// the message names the extensions expected.
bool accepted_file(DataKind kind, const std::string& path);
// Prints "korsync: why" on stderr and returns 2.
int usage(const std::string& why);

// Each command group (a cmd_*.cpp file) registers itself at start-up:
//   static const Registrar reg(register_info);
using RegisterFn = void (*)(CLI::App& app, Context& ctx);
// order places the file's commands in --help: lower first.
struct Registrar {
  explicit Registrar(RegisterFn f, int order = 100);
};
void register_all(CLI::App& app, Context& ctx);
// The whole command line; main() of korsync.
int run(int argc, char** argv);

}  // namespace kor::cli
