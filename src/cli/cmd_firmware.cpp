// korsync flash / clock / test: the firmware update, the unit's clock and the
// connection test.
//
// flash --check FILE loads FILE as the flashing would, without a unit. Output,
// kept stable for scripts (flash FILE prints the first line before page 0):
//   ready: RANGE[, RANGE...] (N bytes); image end E (0xE); P pages to write
//   refused (STATUS): why
// and, when ready, the record types seen and how each was treated, the overlaps
// and the gaps. Addresses are hexadecimal and inclusive.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/app_state.h"
#include "app/operator.h"
#include "cli/context.h"
#include "firmware/flashing.h"
#include "protocol/clock.h"
#include "protocol/link_test.h"

namespace kor::cli {

namespace {

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

std::string hex_address(int64_t a) {
  char b[24];
  std::snprintf(b, sizeof b, "0x%05llX", static_cast<long long>(a));
  return b;
}

std::string range_text(const AddressRange& r) { return hex_address(r.begin) + "-" + hex_address(r.end - 1); }

std::string counted(int64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string sized(const AddressRange& r) { return range_text(r) + " (" + counted(r.end - r.begin, "byte", "bytes") + ")"; }

std::string lines_text(int first, int last) {
  return first == last ? "line " + std::to_string(first) : "lines " + std::to_string(first) + "-" + std::to_string(last);
}

std::string refusal_reason(const FirmwareLoad& load, const FirmwareReport& report) {
  const std::string at = "line " + std::to_string(load.line) + ": ";
  switch (load.fault) {
    case HexFault::LineEnd: return at + "the line does not end with CR; lines must end with CR LF";
    case HexFault::LongRecord:
      return at + "no CR within " + std::to_string(kHexRecordLimit - 1) + " characters of the ':'";
    case HexFault::Checksum: return at + "wrong checksum";
    case HexFault::ShortRecord: return at + "the record is shorter than its fields";
    case HexFault::TooManyBytes:
      return at + std::to_string(kHexDataLimit) + " or more data bytes (at most " + std::to_string(kHexDataLimit - 1) +
             ")";
    case HexFault::PastFlashEnd:
      return at + "data at " + range_text(report.refused) + ", past the flash (data may end at " +
             std::to_string(kFirmwareEndLimit) + " at most)";
    case HexFault::NoEndOfFile: return "no end-of-file record";
    case HexFault::EndBeforeData: return at + "end of file before any data";
    case HexFault::None: break;
  }
  return status_name(load.status);
}

// The line flash prints before it sends anything.
std::string summary_line(const FirmwareLoad& load, const FirmwareReport& report) {
  if (load.status != TASK_IS_DONE)
    return std::string("refused (") + status_name(load.status) + "): " + refusal_reason(load, report) + "\n";
  // Past a few ranges the line would be unreadable; --check lists them all.
  constexpr size_t kShown = 4;
  std::string out = "ready: ";
  int64_t bytes = 0;
  for (size_t i = 0; i < report.ranges.size(); ++i) {
    const AddressRange& r = report.ranges[i];
    bytes += r.end - r.begin;
    if (i < kShown) out += (i ? ", " : "") + range_text(r);
  }
  if (report.ranges.size() > kShown) out += " and " + std::to_string(report.ranges.size() - kShown) + " more";
  if (report.ranges.empty()) out += "no data";
  out += " (" + counted(bytes, "byte", "bytes") + "); image end " + std::to_string(load.imageEnd) + " (" +
         hex_address(load.imageEnd) + "); " + counted(load.lastPage + 1, "page", "pages") + " to write\n";
  return out;
}

std::string record_types(const FirmwareReport& report) {
  struct Kind {
    int type;
    const char* name;
    const char* treated;
  } const kinds[] = {
      {0, "data", "stored at the address plus both bases"},
      {1, "end of file", "ends the load"},
      {2, "extended segment address", "segment base = value * 16"},
      {3, "start segment address", "ignored: the unit starts its firmware itself"},
      {4, "extended linear address", "linear base = value * 65536"},
      {5, "start linear address", "ignored: the unit starts its firmware itself"},
  };
  std::string out = "record types:\n";
  for (int type = 0; type < 256; ++type) {
    const int n = report.records[size_t(type)];
    if (!n) continue;
    const char* name = "unknown";
    const char* treated = "ignored";
    for (const Kind& k : kinds)
      if (k.type == type) name = k.name, treated = k.treated;
    char head[16];
    std::snprintf(head, sizeof head, "  %02X ", type);
    out += head + std::string(name) + ": " + counted(n, "record", "records") + ", " + treated + "\n";
  }
  if (report.records[2] && report.records[4]) out += "  segment and linear bases add up\n";
  if (report.afterEnd) out += "after the end of file: " + counted(report.afterEnd, "record", "records") + ", not read\n";
  return out;
}

std::string check_report(const FirmwareLoad& load, const FirmwareReport& report) {
  std::string out = summary_line(load, report);
  if (load.status != TASK_IS_DONE) return out;
  out += record_types(report);
  if (report.overlaps.empty()) {
    out += "overlaps: none\n";
  } else {
    out += "overlaps (the later record wins):\n";
    for (const HexOverlap& o : report.overlaps)
      out += "  " + sized(o.at) + ": " + lines_text(o.firstLine, o.lastLine) + " over " +
             lines_text(o.firstEarlier, o.lastEarlier) + "\n";
  }
  const auto gaps = firmware_gaps(report);
  if (gaps.empty()) {
    out += "gaps: none\n";
  } else {
    out += "gaps (written as erased bytes, 0xFF):\n";
    for (const AddressRange& g : gaps) out += "  " + sized(g) + "\n";
  }
  return out;
}

void print_now(const std::string& text) {
  print_out(text);
  std::fflush(stdout);
}

void register_firmware(CLI::App& cli, Context&) {
  static std::string file;
  static bool check = false;
  CLI::App* flash = add_command(cli, "flash", "write a firmware HEX file into the unit's flash", [](Context&) {
    // The data folder may become the current directory meanwhile.
    std::error_code ec;
    const std::string path = absolute_path(file, ec);
    if (ec) return usage("flash: cannot name " + file);
    if (path.size() >= sizeof app().selectedFile) return usage("flash: path longer than 259 characters");
    if (!accepted_file(DataKind::Firmware, path)) return 1;
    std::strcpy(app().selectedFile, path.c_str());
    app().kind = DataKind::Firmware;
    if (check) {
      FirmwareImage image;
      FirmwareLoad load;
      LoadSelectedFirmware(image, load, [](const FirmwareLoad& l, const FirmwareReport& r) {
        print_now(check_report(l, r));
      });
      return 0;
    }
    FlashFirmware([](const FirmwareLoad& l, const FirmwareReport& r) { print_now(summary_line(l, r)); });
    return 0;
  });
  flash->add_option("FILE", file, "Intel HEX file (.hex)")->required();
  flash->add_flag("--check", check, "load FILE as the flashing would and show what it holds; no unit needed");

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

const Registrar reg(register_firmware, 60);

}  // namespace

}  // namespace kor::cli
