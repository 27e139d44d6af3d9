// korsim: a simulated KOR unit on a pseudo-terminal, for trying the program
// without hardware. Prints the device path and serves until a signal.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "app/exchange_log.h"
#include "app/version.h"
#include "app/cp1251.h"
#include "sim/correction.h"
#include "sim/firmware.h"
#include "sim/programs.h"
#include "sim/parameters.h"
#include "sim/pty_server.h"
#include "sim/unit.h"

namespace {
std::atomic<bool> g_stop{false};
void on_signal(int) { g_stop = true; }

// Written whole under another name first, so a reader never sees half a file.
void write_whole(const std::string& path, const void* data, size_t n) {
  std::string tmp = path + ".tmp";
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) return;
  bool ok = std::fwrite(data, 1, n, f) == n;
  if (std::fclose(f) != 0 || !ok) return;
  std::rename(tmp.c_str(), path.c_str());
}
}  // namespace

int main(int argc, char** argv) {
  CLI::App cli{"korsim: a simulated KOR unit on a pseudo-terminal"};
  std::string model = "461", versionText, link, paramsFile, dumpParams;
  int speed = 200000;
  double latencyMs = 5;
  bool wire = false;
  long paramsCut = -1;
  std::vector<std::string> faults;
  cli.add_option("--model", model, "460, 461, 462, or silent (no version answer: page transfer)");
  cli.add_option("--version-text", versionText, "the version answer, up to 13 characters");
  cli.add_option("--speed", speed, "the only line speed the unit hears (bit/s)");
  cli.add_option("--latency-ms", latencyMs, "how long the unit takes to answer");
  cli.add_flag("--wire", wire, "add the wire time of every byte at the line speed");
  double adapterLatencyMs = 0;
  cli.add_option("--adapter-latency-ms", adapterLatencyMs,
                 "pass answers on like a USB-serial adapter: in packets of 62 bytes, or MS after a packet's first "
                 "byte (16 is the FTDI default, 1 its low-latency setting; use with --wire)")
      ->check(CLI::Range(0.0, 1000.0));
  cli.add_option("--unit-delay-ms", latencyMs, "how long the unit takes before it starts answering (--latency-ms)")
      ->check(CLI::Range(0.0, 10000.0));
  cli.add_option("--link", link, "also make this path a link to the device");
  cli.add_option("--params", paramsFile, "a 4096-byte parameter memory image to serve");
  cli.add_option("--params-cut", paramsCut, "send only this many bytes of the parameter memory");
  cli.add_option("--dump-params", dumpParams, "write the parameter memory here after each complete write and on exit");
  cli.add_option("--fault", faults, "KIND[:CMD[:SKIP[:TIMES[:KEEP[:ITEM]]]]], KIND no-answer|cut|bad-crc|wrong-byte|swap; "
                 "ITEM p5 / s50 limits it to the requests for that program / subprogram slot");
  std::vector<std::string> corrections;
  double correctionDelayMs = 0;
  std::string textLog;
  cli.add_option("--correction", corrections, "+:COEF:N or -:COEF:N, a correction table of N points");
  cli.add_option("--correction-delay-ms", correctionDelayMs, "extra time a block of correction points takes");
  std::string dumpCorrection;
  cli.add_option("--dump-correction", dumpCorrection,
                 "write both correction tables here on exit (correction+.txt, correction-.txt: coefficient, "
                 "points, one reference value a line)");
  cli.add_option("--text-log", textLog, "append each text frame received to this file, in hex");
  std::string dumpFlash, dumpClock;
  cli.add_option("--dump-flash", dumpFlash, "write the flash image here after the closing command and on exit");
  cli.add_option("--dump-clock", dumpClock, "write each clock setting here as YYYY-MM-DD HH:MM:SS.hh dow N");
  std::string programsDir, dumpPrograms, pageStatus;
  int lastPage = 661, pageEnd = -1, dropParamBlock = -1, corruptWrite = -1;
  cli.add_option("--programs", programsDir, "load kor_program_NNN.txt / kor_subprogram_NNN.txt files into their slots (the page generation refuses a text it cannot read whole)");
  cli.add_option("--dump-programs", dumpPrograms, "write the stored programs into this folder on exit");
  cli.add_option("--last-page", lastPage, "bytes of the last program page (page generation): 661 or 924");
  cli.add_option("--page-status", pageStatus, "PAGE:STATUS, the status byte (hex) answering the page write PAGE (from 0)");
  cli.add_option("--page-end", pageEnd, "answer 966666 to the program page write PAGE (from 0)");
  cli.add_option("--drop-param-frame", dropParamBlock, "lose the parameter frame of this block (0..127), once");
  cli.add_option("--corrupt-write", corruptWrite,
                 "store the program block write N (from 1) or page write N (from 0) wrong, once");
  std::string logFile;
  cli.add_option("--log", logFile, "append every frame received (<) and answer sent (>) to this file");
  cli.set_version_flag("--version", [] { return kor::version_report("korsim"); }, "show the version and build, then exit");
  try {
    cli.parse(argc, argv);
  } catch (const CLI::CallForVersion&) {
    const std::string text = kor::cp1251_to_utf8(kor::version_report("korsim"));
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
  } catch (const CLI::ParseError& e) {
    return cli.exit(e);
  }

  kor::sim::UnitConfig cfg;
  if (model == "silent") {
    cfg.model = 0;
  } else {
    try {
      cfg.model = std::stoi(model);
    } catch (...) {
      std::fprintf(stderr, "korsim: --model takes 460, 461, 462 or silent\n");
      return 2;
    }
  }
  cfg.versionText = versionText;
  cfg.speed = speed;
  cfg.latencyUs = unsigned(latencyMs * 1000);
  cfg.emulateWire = wire;
  cfg.adapterLatencyUs = unsigned(adapterLatencyMs * 1000);
  kor::sim::Unit unit(cfg);
  if (!paramsFile.empty()) {
    std::ifstream in(paramsFile, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "korsim: cannot read %s\n", paramsFile.c_str());
      return 1;
    }
    std::vector<uint8_t> m((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    m.resize(4096, 0xFF);
    unit.paramMemory = m;
  }
  if (paramsCut >= 0) unit.paramServe = size_t(paramsCut);
  if (!dumpParams.empty()) unit.Find<kor::sim::ParameterService>()->dumpPath = dumpParams;
  unit.Find<kor::sim::ParameterService>()->dropBlock = dropParamBlock;
  auto* programs = unit.Find<kor::sim::ProgramStore>();
  if (lastPage < 0 || lastPage > 4000) {
    std::fprintf(stderr, "korsim: --last-page takes 0..4000 bytes\n");
    return 2;
  }
  programs->lastPageSize = size_t(lastPage);
  programs->earlyEndPage = pageEnd;
  programs->corruptWrite = corruptWrite;
  if (!pageStatus.empty()) {
    unsigned page = 0, status = 0;
    if (std::sscanf(pageStatus.c_str(), "%u:%x", &page, &status) != 2 || status > 0xFF) {
      std::fprintf(stderr, "korsim: bad --page-status %s\n", pageStatus.c_str());
      return 2;
    }
    programs->failPage = int(page);
    programs->failStatus = uint8_t(status);
  }
  if (!programsDir.empty()) {
    std::string error;
    if (kor::sim::LoadPrograms(unit, programsDir, error) < 0) {
      std::fprintf(stderr, "korsim: %s\n", error.c_str());
      return 1;
    }
  }
  for (const auto& f : faults) {
    kor::sim::Fault ft;
    if (!kor::sim::parse_fault(f, ft)) {
      std::fprintf(stderr, "korsim: bad --fault %s\n", f.c_str());
      return 2;
    }
    unit.Inject(ft);
  }

  auto* corr = unit.Find<kor::sim::CorrectionService>();
  for (const auto& c : corrections) {
    uint8_t code = 0;
    int coef = 0, points = 0;
    if (!kor::sim::parse_correction(c, code, coef, points)) {
      std::fprintf(stderr, "korsim: bad --correction %s\n", c.c_str());
      return 2;
    }
    corr->SetTable(code, coef, points);
  }
  corr->blockDelayUs = unsigned(correctionDelayMs * 1000);
  if (!textLog.empty()) {
    corr->onTextFrame = [textLog](const std::vector<uint8_t>& f) {
      if (std::FILE* log = std::fopen(textLog.c_str(), "a")) {
        for (size_t i = 0; i < f.size(); ++i) std::fprintf(log, i ? " %02X" : "%02X", f[i]);
        std::fprintf(log, "\n");
        std::fclose(log);
      }
    };
  }

  auto* firmware = unit.Find<kor::sim::FirmwareService>();
  auto dump_flash = [&] {
    if (!dumpFlash.empty()) write_whole(dumpFlash, firmware->flash.data(), firmware->flash.size());
  };
  firmware->onClosing = dump_flash;
  if (!dumpClock.empty()) {
    firmware->onClock = [&](const kor::sim::UnitClock& c) {
      char line[64];
      int n = std::snprintf(line, sizeof line, "%04d-%02d-%02d %02d:%02d:%02d.%02d dow %d\n", c.year, c.month,
                            c.day, c.hour, c.minute, c.second, c.hundredths, c.dayOfWeek);
      write_whole(dumpClock, line, size_t(n));
    };
  }

  kor::sim::PtyServer server(unit);
  if (!server.Start()) {
    std::fprintf(stderr, "korsim: %s\n", server.error().c_str());
    return 1;
  }
  if (!link.empty()) {
    unlink(link.c_str());
    if (symlink(server.slavePath().c_str(), link.c_str()) != 0) {
      std::fprintf(stderr, "korsim: cannot link %s\n", link.c_str());
      return 1;
    }
  }
  struct sigaction sa {};
  sa.sa_handler = on_signal;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  kor::ExchangeLog log;
  if (!logFile.empty()) {
    if (!log.Open(logFile)) {
      std::fprintf(stderr, "korsim: cannot append to %s\n", logFile.c_str());
      return 1;
    }
    kor::set_exchange_log(&log);
    log.Line(kor::log_start_text("korsim --model " + model, server.slavePath(), speed));
  }
  std::printf("%s\n", server.slavePath().c_str());
  std::fflush(stdout);
  server.Run(g_stop);
  if (!dumpParams.empty() && !kor::sim::DumpParameterMemory(unit, dumpParams))
    std::fprintf(stderr, "korsim: cannot write %s\n", dumpParams.c_str());
  if (!dumpPrograms.empty()) {
    std::string error;
    if (!kor::sim::DumpPrograms(unit, dumpPrograms, error)) std::fprintf(stderr, "korsim: %s\n", error.c_str());
  }
  dump_flash();
  if (!dumpCorrection.empty()) {
    mkdir(dumpCorrection.c_str(), 0777);
    for (uint8_t code : {uint8_t(0x0A), uint8_t(0x0B)}) {
      const kor::sim::CorrectionTable& t = corr->table(code);
      std::string text = "coefficient " + std::to_string(t.coefficient) + "\npoints " + std::to_string(t.points) + "\n";
      for (int32_t v : t.values) text += std::to_string(v) + "\n";
      write_whole(dumpCorrection + (code == 0x0A ? "/correction+.txt" : "/correction-.txt"), text.data(), text.size());
    }
  }
  if (!link.empty()) unlink(link.c_str());
  if (!logFile.empty()) {
    log.Line("end: stopped");
    kor::set_exchange_log(nullptr);
  }
  return 0;
}
