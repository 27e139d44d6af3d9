// The fault soak: round after round, one operation as the command line runs it
// against the in-process simulated unit on virtual time, with one or more
// faults on the line, the cable or the disk. Each round also runs the same
// operation on a twin unit without faults; what the faulty run reports as
// done must match it.
//
//   korsoak [--seed S] [--rounds N] [--verbose]
//
// Round i of a run uses seed S+i, so "--seed S+i --rounds 1" repeats it.
// Exit 1 when a round broke a rule.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/file_system.h"
#include "app/timing.h"
#include "cli/cli_operator.h"
#include "app/cp1251.h"
#include "firmware/flashing.h"
#include "firmware/hex_text.h"
#include "link/overlapped.h"
#include "link/rs232.h"
#include "params/param_memory.h"
#include "program/axis_table.h"
#include "program/program_frame.h"
#include "program/program_text.h"
#include "sim/correction.h"
#include "sim/firmware.h"
#include "sim/programs.h"
#include "sim/sim_overlapped.h"
#include "sim/sim_port.h"
#include "sim/unit.h"
#include "support/temp_dir.h"
#include "transfer/correction.h"
#include "transfer/download_title.h"
#include "transfer/program_read.h"
#include "transfer/program_slots.h"
#include "transfer/program_write.h"

namespace kor::soak {
namespace {

namespace fs = std::filesystem;

enum class Op {
  ReadProgram,
  ReadAllPrograms,
  ReadSubprogram,
  ReadAllSubprograms,
  WriteProgram,
  WriteSubprogram,
  ReadParams,
  WriteParams,
  RestoreBackup,  // write params from kor_backup/kor_backup_eeprom.koreep itself
  ReadCorrection,
  Flash,
};
constexpr int kOps = 11;

const char* op_name(Op op) {
  static const char* names[kOps] = {"read program",     "read program all", "read subprogram",
                                    "read subprogram all", "write program",    "write subprogram",
                                    "read params",      "write params",     "write params (backup)",
                                    "read correction",  "flash"};
  return names[int(op)];
}

bool changes_unit(Op op) {
  return op == Op::WriteProgram || op == Op::WriteSubprogram || op == Op::WriteParams || op == Op::RestoreBackup ||
         op == Op::Flash;
}

bool program_op(Op op) { return op <= Op::WriteSubprogram; }

using Files = std::map<std::string, std::string>;  // path under the data folder -> bytes

std::string read_bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_bytes(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

Files files_under(const std::string& root) {
  Files f;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) f[fs::relative(e.path(), root).generic_string()] = read_bytes(e.path());
  return f;
}

const char kBackup[] = "kor_backup/kor_backup_eeprom.koreep";
const std::regex kDatedBackup(R"(kor_backup/kor_backup_eeprom_\d{8}-\d{6}(\(\d+\))?\.koreep)");

// Dated copies carry the wall-clock time: the twin runs name them alike.
std::string comparable_name(const std::string& name) {
  return std::regex_match(name, kDatedBackup) ? "kor_backup/kor_backup_eeprom_(dated).koreep" : name;
}

// What a round starts from: the unit's generation and contents, the operation,
// and the files in the data folder. Both runs are built from it alike.
struct Setup {
  uint32_t seed = 0;
  int model = 461;  // 461, 462, or 0 (page generation)
  int speed = 200000;
  Op op = Op::ReadProgram;
  int slot = 0;  // from 0
};

std::string numbered_line(std::mt19937& rng, int n, bool pageGeneration) {
  static const char* block[] = {"G90", "G91", "X1.000F100.00", "Y-2.500", "Z0.125", "M30", "G17X5.000Y5.000"};
  char buf[64];
  if (pageGeneration) {
    // Moves the parser keeps whole in the unit's own formats.
    std::snprintf(buf, sizeof buf, "%03d:X%d.%03dF%d.00", n, int(rng() % 2000) - 1000, int(rng() % 1000),
                  int(rng() % 900) + 10);
  } else {
    std::snprintf(buf, sizeof buf, "%03d:%s", n, block[rng() % std::size(block)]);
  }
  return buf;
}

std::vector<std::string> random_lines(std::mt19937& rng, int maxLines, bool page) {
  std::vector<std::string> lines;
  const int n = 1 + int(rng() % unsigned(maxLines));
  for (int i = 1; i <= n; ++i) lines.push_back(numbered_line(rng, i, page));
  return lines;
}

std::vector<uint8_t> image_of(const std::vector<std::string>& lines, int kind, int slot) {
  std::string text;
  for (const auto& l : lines) text += l + "\r\n";
  ProgramImage img = blank_program_image(kind == kSubprogramKind, uint16_t(slot + 1));
  parse_program_text(text, img.data(), img.size);
  seal_frames(img.data(), img.size);
  return std::vector<uint8_t>(img.data(), img.data() + img.size);
}

void fill_unit(sim::Unit& unit, const Setup& s) {
  std::mt19937 rng(s.seed * 7919u + 1);
  unit.config().model = s.model;
  unit.config().speed = s.speed;
  const bool page = s.model == 0;
  std::mt19937 mem(s.seed);
  // Formats stay the sample's; the rest of the memory is the round's own.
  for (size_t i = 186; i < unit.paramMemory.size(); ++i) unit.paramMemory[i] = uint8_t(mem());
  fill_axis_channels(unit.paramMemory.data());
  auto* store = unit.Find<sim::ProgramStore>();
  // The page generation's "all" expects the long last page, a single read the short one.
  store->lastPageSize = s.op == Op::ReadAllPrograms ? 924 : 661;
  for (int kind = 0; kind < 2; ++kind) {
    for (int i = 0; i < sim::ProgramStore::slot_count(kind); ++i) {
      // A page-generation unit's "all" ends at the first slot it cannot read.
      const bool filled = page || i == s.slot || rng() % 3 != 0;
      if (!filled) continue;
      sim::StoredProgram& p = store->slot(kind, i);
      p.lines = random_lines(rng, kind ? 8 : 14, page);
      if (page)
        p.image = image_of(p.lines, kind, i);
      else if (rng() % 4)
        p.title = (kind ? "S" : "P") + std::to_string(i + 1);
    }
  }
  auto* corr = unit.Find<sim::CorrectionService>();
  corr->SetTable(0x0A, 1 + int(rng() % 200), 1 + int(rng() % 2500));
  corr->SetTable(0x0B, -1 - int(rng() % 200), 1 + int(rng() % 2500));
}

// The data folder before the round: the files the operation takes, and some
// that must come through it untouched.
void fill_folder(const std::string& root, const Setup& s) {
  std::mt19937 rng(s.seed * 31u + 7);
  const fs::path r(root);
  const bool page = s.model == 0;
  const int kind = s.op == Op::WriteSubprogram ? kSubprogramKind : kProgramKind;
  // The page transfer's parser takes no title line.
  std::string text = page ? "" : "%SOAK\r\n";
  for (const auto& l : random_lines(rng, kind ? 90 : 120, page)) text += l + "\r\n";
  write_bytes(r / "in/prog.txt", text);

  std::string params(4096, 0);
  for (char& c : params) c = char(rng());
  write_bytes(r / "in/params.koreep", params + "461 v1.07");
  if (s.op == Op::RestoreBackup || rng() % 5) {
    std::string backup(4096, 0);
    for (char& c : backup) c = char(rng());
    write_bytes(r / kBackup, backup);
  }
  if (rng() % 3 == 0) write_bytes(r / "kor_parameters/kor_eeprom.koreep", params);
  if (rng() % 3 == 0) {
    char name[64];
    std::snprintf(name, sizeof name, "kor_programs/kor_program_%03d.txt", s.slot + 1);
    write_bytes(r / name, "%OLD\r\n001:G90\r\n");
  }
  std::vector<int> fw(size_t(1 + rng() % 1800));
  for (int& b : fw) b = int(rng() & 0xFF);
  write_bytes(r / "in/fw.hex", test::hex_file(fw));
}

// What the unit holds, by part, so a difference can be named.
std::map<std::string, std::string> unit_state(sim::Unit& unit) {
  std::map<std::string, std::string> st;
  auto* store = unit.Find<sim::ProgramStore>();
  for (int kind = 0; kind < 2; ++kind)
    for (int i = 0; i < sim::ProgramStore::slot_count(kind); ++i) {
      const sim::StoredProgram& p = store->slot(kind, i);
      std::string v = p.title + '\n';
      for (const auto& l : p.lines) v += l + '\n';
      v.append(p.image.begin(), p.image.end());
      st[(kind ? "subprogram " : "program ") + std::to_string(i + 1)] = v;
    }
  st["parameter memory"].assign(unit.paramMemory.begin(), unit.paramMemory.end());
  const auto& flash = unit.Find<sim::FirmwareService>()->flash;
  st["flash"].assign(flash.begin(), flash.end());
  return st;
}

std::string differing(const std::map<std::string, std::string>& a, const std::map<std::string, std::string>& b) {
  std::string out;
  for (const auto& [k, v] : a)
    if (b.count(k) == 0 || b.at(k) != v) out += (out.empty() ? "" : ", ") + k;
  return out;
}

// Save faults: the call (of its step) that fails, counted from 0.
struct SaveFaults {
  int calls[2] = {0, 0};
  int failAt[2] = {-1, -1};
  bool struck = false;
};
SaveFaults g_save;

bool save_fault(const char*, fsys::SaveStep step) {
  const int s = int(step);
  if (g_save.calls[s]++ != g_save.failAt[s]) return false;
  g_save.struck = true;
  return true;
}

struct Faults {
  std::vector<sim::Fault> answers;
  int writesBeforePull = -1;
  int saveStep = -1, saveAt = -1;
  std::string text;
};

struct Run {
  int exit = 0;
  Files before, after;
  std::map<std::string, std::string> unitBefore, unitAfter;
  int answers = 0, writes = 0, saveCalls[2] = {0, 0};
  int struck = 0;
  std::string messages;
};

// The command line's way of running the operation: its operator decides the
// exit status (1 after any error or warning, or a silent end).
class SoakOperator : public CliOperator {
 public:
  explicit SoakOperator(std::FILE* sink) : CliOperator(false, true, sink) {}
  void Message(const char* text, const char* caption, Icon icon, Handle owner) override {
    if (icon == Icon::Error || icon == Icon::Warning) shown += std::string(" [") + text + "]";
    CliOperator::Message(text, caption, icon, owner);
  }
  void SilentFailure(const char* what) override {
    shown += std::string(" [") + what + "]";
    CliOperator::SilentFailure(what);
  }
  std::string shown;
};

std::FILE* g_sink = nullptr;

Run run_once(const Setup& s, const Faults* faults) {
  Run r;
  test::TempDir dir;
  fill_folder(dir.path(), s);
  sim::Unit unit;
  fill_unit(unit, s);
  sim::SimPortDriver driver(unit);
  sim::SimOverlappedDriver ov(unit, &driver);
  VirtualTiming clock;
  SoakOperator oper(g_sink);
  r.before = files_under(dir.path());
  r.unitBefore = unit_state(unit);

  reset_app_state();
  AppState& a = app();
  a.comPort = 5;
  a.speed = 200000;
  std::snprintf(a.dataFolder, sizeof a.dataFolder, "%s", dir.path().c_str());
  set_timing(&clock);
  set_port_driver(&driver);
  set_overlapped_driver(&ov);
  set_operator(&oper);
  g_save = {};
  if (faults) {
    for (const auto& f : faults->answers) unit.Inject(f);
    driver.faults.writesBeforePull = faults->writesBeforePull;
    if (faults->saveStep >= 0) g_save.failAt[faults->saveStep] = faults->saveAt;
  }
  fsys::set_save_fault(save_fault);

  auto select = [&](const std::string& rel) {
    std::snprintf(a.selectedFile, sizeof a.selectedFile, "%s", dir.file(rel).c_str());
  };
  const int slotSel = s.slot;
  switch (s.op) {
    case Op::ReadProgram:
    case Op::ReadAllPrograms:
      a.kind = DataKind::Program;
      ReadPrograms(s.op == Op::ReadProgram ? slotSel : kProgramSlots);
      break;
    case Op::ReadSubprogram:
    case Op::ReadAllSubprograms:
      a.kind = DataKind::Subprogram;
      ReadSubprograms(s.op == Op::ReadSubprogram ? slotSel : kSubprogramSlots);
      break;
    case Op::WriteProgram:
    case Op::WriteSubprogram:
      select("in/prog.txt");
      a.kind = s.op == Op::WriteProgram ? DataKind::Program : DataKind::Subprogram;
      if (ProgramWriteMayStart()) {
        StoreDownloadChoice(slotSel, "SOAK");
        if (s.op == Op::WriteProgram)
          WriteProgram();
        else
          WriteSubprogram();
      }
      break;
    case Op::ReadParams:
      a.kind = DataKind::Parameters;
      ReadParameterMemory();
      break;
    case Op::WriteParams:
    case Op::RestoreBackup:
      select(s.op == Op::WriteParams ? "in/params.koreep" : kBackup);
      a.kind = DataKind::Parameters;
      WriteParametersCommand();
      break;
    case Op::ReadCorrection:
      a.kind = DataKind::Correction;
      ReadCorrectionTable(slotSel % 2 ? kCorrectionMinus : kCorrectionPlus);
      break;
    case Op::Flash:
      select("in/fw.hex");
      a.kind = DataKind::Firmware;
      FlashFirmware();
      break;
  }
  fsys::set_save_fault(nullptr);
  set_operator(nullptr);
  set_overlapped_driver(nullptr);
  set_port_driver(nullptr);
  set_timing(nullptr);
  r.exit = oper.failed() ? 1 : 0;
  r.messages = oper.shown;
  r.after = files_under(dir.path());
  r.unitAfter = unit_state(unit);
  r.answers = unit.answers;
  r.writes = driver.writes;
  r.saveCalls[0] = g_save.calls[0];
  r.saveCalls[1] = g_save.calls[1];
  if (faults) {
    r.struck = int(faults->answers.size() - unit.PendingFaults()) + (driver.faults.writeFails ? 1 : 0) +
               (g_save.struck ? 1 : 0);
  }
  if (CRs232::PortInUse()) r.messages += " [port left open]";
  reset_app_state();
  return r;
}

Setup make_setup(uint32_t seed) {
  std::mt19937 rng(seed);
  Setup s;
  s.seed = seed;
  static const int models[] = {461, 462, 0};
  s.model = models[rng() % 3];
  s.op = Op(rng() % kOps);
  const int kind = s.op == Op::ReadSubprogram || s.op == Op::WriteSubprogram ? 1 : 0;
  s.slot = int(rng() % unsigned(slot_count(uint8_t(kind))));
  // Flashing finds the unit's speed first.
  static const int speeds[] = {200000, 2000000, 115200};
  if (s.op == Op::Flash) s.speed = speeds[rng() % 3];
  return s;
}

Faults make_faults(std::mt19937& rng, const Setup& s, const Run& ref) {
  Faults f;
  const int n = 1 + int(rng() % 5 == 0) + int(rng() % 10 == 0);
  static const sim::FaultKind kinds[] = {sim::FaultKind::NoAnswer, sim::FaultKind::Cut, sim::FaultKind::BadCrc,
                                         sim::FaultKind::WrongByte, sim::FaultKind::Swap};
  static const char* kindNames[] = {"no answer", "cut answer", "bad CRC", "wrong byte", "swapped bytes"};
  // The correction reading has its own channel, which has no cable fault.
  const bool cable = s.op != Op::ReadCorrection;
  const bool saves = ref.saveCalls[0] + ref.saveCalls[1] > 0;
  // The same spoiling twice would give two reads that agree on a wrong byte,
  // which no comparison of reads can see: each spoiling kind at most once.
  bool used[5] = {};
  for (int i = 0; i < n; ++i) {
    const unsigned pick = rng() % 10;
    char buf[96];
    if (pick < 7 || (!cable && !saves)) {
      sim::Fault a;
      // The correction answers carry no checksum: a spoilt byte cannot be told
      // from a right one, only a missing or cut answer can.
      const int k = s.op == Op::ReadCorrection ? int(rng() % 2) : int(rng() % 5);
      if (k > 0 && used[k]) continue;
      used[k] = true;
      a.kind = kinds[k];
      a.skip = ref.answers > 0 ? int(rng() % unsigned(ref.answers)) : 0;
      if (a.kind == sim::FaultKind::Cut && rng() % 2) a.keep = int(rng() % 64);
      // The page transfer takes the axis table from one read of the memory,
      // which has no checksum: a spoilt or cut table goes unseen and changes
      // how the program's numbers are read and written. Faults spare that
      // answer; a missing one is seen.
      if (s.model == 0 && a.kind != sim::FaultKind::NoAnswer && program_op(s.op))
        a.command = changes_unit(s.op) ? 0x03 : 0x02;
      f.answers.push_back(a);
      std::snprintf(buf, sizeof buf, "%s after %d answers", kindNames[k], a.skip);
    } else if ((pick < 9 && cable) || !saves) {
      if (f.writesBeforePull >= 0) continue;
      f.writesBeforePull = ref.writes > 0 ? int(rng() % unsigned(ref.writes)) : 0;
      std::snprintf(buf, sizeof buf, "cable pulled after %d writes", f.writesBeforePull);
    } else {
      if (f.saveStep >= 0) continue;
      f.saveStep = ref.saveCalls[0] && (!ref.saveCalls[1] || rng() % 2) ? 0 : 1;
      f.saveAt = int(rng() % unsigned(ref.saveCalls[f.saveStep]));
      std::snprintf(buf, sizeof buf, "%s fails at save %d", f.saveStep ? "disk full" : "file locked", f.saveAt);
    }
    f.text += (f.text.empty() ? "" : "; ") + std::string(buf);
  }
  return f;
}

// A parameter file ends with the unit's version text, which has no checksum:
// only the memory before it must be the unit's.
bool same_content(const std::string& name, const std::string& a, const std::string& b) {
  if (name.rfind("kor_parameters/", 0) == 0) return a.substr(0, kParameterMemorySize) == b.substr(0, kParameterMemorySize);
  return a == b;
}

// The rules every round must keep; the texts of those it broke.
std::vector<std::string> check(const Setup& s, const Run& ref, const Run& got) {
  std::vector<std::string> v;
  if (ref.exit != 0) v.push_back("fails without any fault:" + ref.messages);

  // Files that were there before stay as they were; the backup may be
  // replaced only with its old content kept as a dated copy.
  for (const auto& [name, bytes] : got.before) {
    auto it = got.after.find(name);
    const bool gone = it == got.after.end();
    if (!gone && it->second == bytes) continue;
    bool kept = false;
    if (name == kBackup)
      for (const auto& [n2, b2] : got.after)
        kept = kept || (std::regex_match(n2, kDatedBackup) && !got.before.count(n2) && b2 == bytes);
    if (!kept)
      v.push_back(name + (gone ? " was removed" : " was changed") + (name == kBackup ? " without a dated copy" : ""));
  }

  if (got.exit == 0) {
    // Reported done: exactly what the run without faults saved and left in the unit.
    Files refNew, gotNew;
    for (const auto& [n, b] : ref.after)
      if (!ref.before.count(n)) refNew[comparable_name(n)] = b;
    for (const auto& [n, b] : got.after)
      if (!got.before.count(n)) gotNew[comparable_name(n)] = b;
    for (const auto& [n, b] : refNew) {
      if (!gotNew.count(n))
        v.push_back("reported success, but " + n + " was not saved");
      else if (!same_content(n, gotNew[n], b))
        v.push_back("reported success, but " + n + " differs from what the unit holds");
    }
    for (const auto& [n, b] : gotNew)
      if (!refNew.count(n)) v.push_back("reported success with an extra file " + n);
    const std::string diff = differing(ref.unitAfter, got.unitAfter);
    if (!diff.empty()) v.push_back("reported success, but the unit holds other " + diff);

    if (s.op == Op::WriteParams || s.op == Op::RestoreBackup) {
      // The unit gets the chosen file's bytes as they were before the backup.
      const std::string src = s.op == Op::WriteParams ? "in/params.koreep" : kBackup;
      const ParameterImage want =
          make_parameter_image(std::vector<uint8_t>(got.before.at(src).begin(), got.before.at(src).end()));
      if (got.unitAfter.at("parameter memory") != std::string(want.begin(), want.end()))
        v.push_back("reported success, but the unit's memory is not " + src + " as it was");
      auto b = got.after.find(kBackup);
      if (b == got.after.end() || b->second != got.unitBefore.at("parameter memory"))
        v.push_back("reported success, but the backup is not the unit's memory before the write");
    }
  } else if (!changes_unit(s.op)) {
    const std::string diff = differing(got.unitBefore, got.unitAfter);
    if (!diff.empty()) v.push_back("a read changed the unit's " + diff);
  }
  if (got.messages.find("[port left open]") != std::string::npos) v.push_back("the port was left open");
  return v;
}

int run(uint32_t seed, int rounds, bool verbose) {
  g_sink = std::fopen("/dev/null", "w");
  if (!g_sink) g_sink = stderr;
  // Flashing writes its diagnostic lines to standard output; the report keeps
  // the output to itself.
  std::fflush(stdout);
  std::FILE* report = fdopen(dup(1), "w");
  if (!report || !std::freopen("/dev/null", "w", stdout)) return 2;
  int faults = 0, struck = 0, violations = 0, failedRuns = 0;
  int perOp[kOps] = {};
  for (int i = 0; i < rounds; ++i) {
    const uint32_t roundSeed = seed + uint32_t(i);
    const Setup s = make_setup(roundSeed);
    const Run ref = run_once(s, nullptr);
    std::mt19937 rng(roundSeed ^ 0x5eed5eedu);
    const Faults f = make_faults(rng, s, ref);
    const Run got = run_once(s, &f);
    ++perOp[int(s.op)];
    faults += int(f.answers.size()) + (f.writesBeforePull >= 0) + (f.saveStep >= 0);
    struck += got.struck;
    failedRuns += got.exit != 0;
    const auto broken = check(s, ref, got);
    const char* model = s.model ? (s.model == 461 ? "461" : "462") : "page";
    if (verbose || !broken.empty())
      std::fprintf(report, "round seed %u: %s, slot %d, unit %s: %s -> exit %d%s\n", roundSeed, op_name(s.op), s.slot + 1,
                  model, f.text.c_str(), got.exit, cp1251_to_utf8(got.messages).c_str());
    for (const auto& b : broken) {
      ++violations;
      std::fprintf(report, "  VIOLATION (seed %u): %s\n", roundSeed, cp1251_to_utf8(b).c_str());
    }
  }
  std::fprintf(report, "soak: seed %u, %d rounds, %d faults injected (%d struck), %d runs reported a failure, %d violations\n",
              seed, rounds, faults, struck, failedRuns, violations);
  std::fprintf(report, "soak: rounds per operation:");
  for (int o = 0; o < kOps; ++o) std::fprintf(report, " %s %d;", op_name(Op(o)), perOp[o]);
  std::fprintf(report, "\n");
  std::fclose(report);
  return violations ? 1 : 0;
}

}  // namespace
}  // namespace kor::soak

int main(int argc, char** argv) {
  uint32_t seed = 1;
  int rounds = 300;
  bool verbose = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--seed" && i + 1 < argc)
      seed = uint32_t(std::strtoul(argv[++i], nullptr, 10));
    else if (a == "--rounds" && i + 1 < argc)
      rounds = std::atoi(argv[++i]);
    else if (a == "--verbose")
      verbose = true;
    else {
      std::fprintf(stderr, "usage: korsoak [--seed S] [--rounds N] [--verbose]\n");
      return 2;
    }
  }
  return kor::soak::run(seed, rounds, verbose);
}
