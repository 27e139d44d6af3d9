// korsync flash / clock / test: the firmware update, the unit's clock and the
// connection test.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/app_state.h"
#include "cli/context.h"
#include "firmware/flashing.h"
#include "protocol/clock.h"
#include "protocol/link_test.h"

#ifdef _WIN32
#include <stdlib.h>
#else
#include <unistd.h>
#endif

namespace kor::cli {

namespace {

// The data folder may become the current directory during an operation, so the
// file is named by its absolute path from the start.
bool absolute_path(const std::string& file, std::string& out) {
#ifdef _WIN32
  char buf[4096];
  if (!_fullpath(buf, file.c_str(), sizeof buf)) return false;
  out = buf;
#else
  if (!file.empty() && file[0] == '/') {
    out = file;
  } else {
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) return false;
    out = std::string(cwd) + "/" + file;
  }
#endif
  return true;
}

// The test window's rows, one pair of lines per cycle.
class TerminalTestView : public LinkTestView {
 public:
  explicit TerminalTestView(int count) : count_(count) {}
  void SetButtonText(const char*) override {}
  void SetSent(const char* text) override {
    if (std::strcmp(text, " ") != 0) sent_ = text;
  }
  void SetReceived(const char* text) override {
    if (std::strcmp(text, " ") == 0) return;
    print_out("Посылка(Tx): " + sent_ + "\n");
    print_out("Ответ(Rx):   " + std::string(text) + "\n");
    std::fflush(stdout);
    if (count_ > 0 && ++cycles_ >= count_) request_link_test_stop();
  }

 private:
  int count_;
  int cycles_ = 0;
  std::string sent_;
};

void stop_on_interrupt(int) { request_link_test_stop(); }

void register_firmware(CLI::App& cli, Context&) {
  static std::string file;
  CLI::App* flash = add_command(cli, "flash", "write a firmware HEX file into the unit's flash", [](Context&) {
    std::string path;
    if (!absolute_path(file, path)) return usage("flash: cannot name " + file);
    if (path.size() >= sizeof app().selectedFile) return usage("flash: path longer than 259 characters");
    std::strcpy(app().selectedFile, path.c_str());
    app().kind = DataKind::Firmware;
    FlashFirmware();
    return 0;
  });
  flash->add_option("FILE", file, "Intel HEX file")->required();

  add_command(cli, "clock", "set the unit's clock from this computer's clock", [](Context&) {
    SetUnitClock();
    return 0;
  });

  static int count = 0;
  CLI::App* test = add_command(cli, "test", "send the link check again and again and show both sides", [](Context&) {
    TerminalTestView view(count);
    clear_link_test_stop();
    auto previous = std::signal(SIGINT, stop_on_interrupt);
    RunLinkTest(view);
    std::signal(SIGINT, previous);
    return 0;
  });
  test->add_option("--count", count, "stop after N cycles (default: at Ctrl-C)")->check(CLI::PositiveNumber);
}

const Registrar reg(register_firmware);

}  // namespace

}  // namespace kor::cli
