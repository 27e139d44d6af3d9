// libFuzzer target: the files and texts an operator hands over, taken whole
// by the operations that send them to the simulated unit: program texts by
// both transfers, HEX files by the flashing, parameter files by their write,
// the download title, the control text, and the correction tables of the
// simulated unit's option texts. The first byte picks the use, the rest is the file.
#include <cstdint>
#include <string>

#include "firmware/flashing.h"
#include "params/param_memory.h"
#include "sim/correction.h"
#include "transfer/correction.h"
#include "support/fuzz_unit.h"
#include "transfer/download_title.h"
#include "transfer/program_write.h"
#include "transfer/text_frame.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kor::fuzz::quiet_stdout();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int use = data[0] % 9;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  kor::fuzz::write_work_file("in/file", text);
  const bool page = use == 2 || use == 3;
  kor::fuzz::World w(page ? 0 : 461);
  kor::AppState& a = kor::app();
  w.Select("in/file");
  switch (use) {
    case 0:
    case 1:
    case 2:
    case 3:
      a.kind = use % 2 ? kor::DataKind::Subprogram : kor::DataKind::Program;
      kor::StoreDownloadChoice(use % 2 ? 49 : 19, "FUZZ");
      if (use % 2)
        kor::WriteSubprogram();
      else
        kor::WriteProgram();
      break;
    case 4:
      a.kind = kor::DataKind::Firmware;
      kor::FlashFirmware();
      break;
    case 5: {
      kor::ProposedTitle(a.selectedFile, text.c_str());
      kor::DownloadCaption(text.c_str());
      kor::StoreDownloadChoice(0, text.c_str());
      break;
    }
    case 6:
      a.kind = kor::DataKind::Parameters;
      kor::WriteParametersCommand();
      break;
    case 7:
      kor::SendControlText(text.substr(0, text.find('\0')).c_str(), nullptr);
      break;
    case 8: {
      uint8_t code = 0;
      int coefficient = 0, points = 0;
      // The table korsim would serve for this option, read as the operator would.
      if (kor::sim::parse_correction(text, code, coefficient, points)) {
        w.unit.Find<kor::sim::CorrectionService>()->SetTable(code, coefficient, points);
        a.kind = kor::DataKind::Correction;
        kor::ReadCorrectionTable(code & 1);
      }
      kor::sim::Fault f;
      kor::sim::parse_fault(text, f);
      break;
    }
  }
  return 0;
}
