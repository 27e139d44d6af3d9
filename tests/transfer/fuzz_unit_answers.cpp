// libFuzzer target: every answer the unit sends, scripted. The input names an
// operation, the unit's generation and a slot, then gives the answers to the
// unit's requests in order, each as a 16-bit length (low byte first) and its
// bytes; length 0xFFFF lets the simulated unit answer itself, and so does it
// once the script has run out. The operation must end without a sanitizer
// report and with the port closed.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "firmware/flashing.h"
#include "params/param_memory.h"
#include "protocol/clock.h"
#include "protocol/link_test.h"
#include "support/fuzz_unit.h"
#include "transfer/correction.h"
#include "transfer/download_title.h"
#include "transfer/program_read.h"
#include "transfer/program_slots.h"
#include "transfer/program_write.h"

namespace kor::fuzz {
namespace {

constexpr uint16_t kUnitAnswers = 0xFFFF;

class Script : public sim::Service {
 public:
  Script(const uint8_t* data, size_t size) : at_(data), end_(data + size) {}
  bool Handle(sim::Unit&, const std::vector<uint8_t>&, std::vector<uint8_t>& answer) override {
    if (end_ - at_ < 2) return false;
    const uint16_t n = uint16_t(at_[0] | at_[1] << 8);
    at_ += 2;
    if (n == kUnitAnswers) return false;
    const size_t take = std::min<size_t>(n, size_t(end_ - at_));
    answer.assign(at_, at_ + take);
    at_ += take;
    return true;
  }

 private:
  const uint8_t* at_;
  const uint8_t* end_;
};

class CycleView : public LinkTestView {
 public:
  void SetButtonText(const char*) override {}
  void SetSent(const char*) override {}
  void SetReceived(const char*) override {
    if (++rows == 2) request_link_test_stop();
  }
  int rows = 0;
};

constexpr int kOps = 13;
const int kModels[] = {461, 462, 0, 460};

void RunOperation(World& w, int op, int slot) {
  AppState& a = app();
  switch (op) {
    case 0: a.kind = DataKind::Program; ReadPrograms(slot % kProgramSlots); break;
    case 1: a.kind = DataKind::Program; ReadPrograms(kProgramSlots); break;
    case 2: a.kind = DataKind::Subprogram; ReadSubprograms(slot % kSubprogramSlots); break;
    case 3: a.kind = DataKind::Subprogram; ReadSubprograms(kSubprogramSlots); break;
    case 4:
    case 5:
      w.Select(op == 4 ? "in/prog.txt" : "in/sub.txt");
      a.kind = op == 4 ? DataKind::Program : DataKind::Subprogram;
      StoreDownloadChoice(slot % (op == 4 ? kProgramSlots : kSubprogramSlots), "FUZZ");
      if (op == 4)
        WriteProgram();
      else
        WriteSubprogram();
      break;
    case 6: a.kind = DataKind::Parameters; ReadParameterMemory(); break;
    case 7:
      w.Select("in/params.koreep");
      a.kind = DataKind::Parameters;
      WriteParametersCommand();
      break;
    case 8: a.kind = DataKind::Correction; ReadCorrectionTable(slot % 2); break;
    case 9:
      w.Select("in/fw.hex");
      a.kind = DataKind::Firmware;
      FlashFirmware();
      break;
    case 10: SetUnitClock(); break;
    case 11: {
      CycleView view;
      clear_link_test_stop();
      RunLinkTest(view);
      break;
    }
    case 12: {
      // The opening with its version query, as "info" runs it.
      CRs232 rs;
      if (BeginDeviceOperation(rs)) VersionQuery(rs);
      break;
    }
  }
}

void WriteInputs() {
  std::string prog = "%FUZZ\r\n";
  for (int i = 1; i <= 5; ++i) prog += "00" + std::to_string(i) + ":X" + std::to_string(i) + ".000F100.00\r\n";
  write_work_file("in/prog.txt", prog);
  write_work_file("in/sub.txt", "001:G91\r\n002:X-1.500\r\n");
  std::string params(4096, '\0');
  for (size_t i = 0; i < params.size(); ++i) params[i] = char(i * 7);
  write_work_file("in/params.koreep", params);
  // Two pages of firmware.
  std::string hex;
  for (int at = 0; at < 1024; at += 16) {
    char rec[80];
    int sum = 16 + (at >> 8) + (at & 0xFF);
    int n = std::snprintf(rec, sizeof rec, ":10%04X00", at);
    for (int i = 0; i < 16; ++i) {
      n += std::snprintf(rec + n, sizeof rec - size_t(n), "%02X", (at + i) & 0xFF);
      sum += (at + i) & 0xFF;
    }
    std::snprintf(rec + n, sizeof rec - size_t(n), "%02X\r\n", (256 - sum % 256) % 256);
    hex += rec;
  }
  write_work_file("in/fw.hex", hex + ":00000001FF\r\n");
}

// Seeds: each operation against the simulated unit, its answers recorded.
void WriteSeeds(const std::string& corpus) {
  for (int op = 0; op < kOps; ++op) {
    for (int m = 0; m < 3; ++m) {
      std::string seed = {char(op), char(m), char(3)};
      {
        World w(kModels[m]);
        w.unit.config().speed = 200000;
        w.unit.onAnswer = [&](const std::vector<uint8_t>&, const std::vector<uint8_t>& answer) {
          if (seed.size() + answer.size() > 16000) return;
          seed += char(answer.size() & 0xFF);
          seed += char(answer.size() >> 8);
          seed.append(answer.begin(), answer.end());
        };
        RunOperation(w, op, 3);
      }
      std::ofstream(corpus + "/seed-" + std::to_string(op) + "-" + std::to_string(m), std::ios::binary) << seed;
    }
  }
}

}  // namespace
}  // namespace kor::fuzz

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  kor::fuzz::quiet_stdout();
  kor::fuzz::WriteInputs();
  for (int i = 1; i < *argc; ++i)
    if ((*argv)[i][0] != '-') {
      kor::fuzz::WriteSeeds((*argv)[i]);
      break;
    }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const int op = data[0] % kor::fuzz::kOps;
  kor::fuzz::World w(kor::fuzz::kModels[data[1] % 4]);
  w.unit.AddServiceFirst(std::make_unique<kor::fuzz::Script>(data + 3, size - 3));
  kor::fuzz::RunOperation(w, op, data[2]);
  return 0;
}
