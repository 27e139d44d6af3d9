// libFuzzer target: a parameter file of any bytes, opened, shown, edited and
// saved as the Parameters dialog (and "params show/edit") does it. The input's
// last bytes, after a 0xA5 0x5A mark, script the clicks and the input dialog's
// answers; without the mark every row of every group is clicked once and the
// dialog cancelled.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "params/param_edit.h"
#include "params/param_file.h"
#include "params/param_memory.h"
#include "params/param_view.h"
#include "params/params_host.h"
#include "sim/unit.h"
#include "support/fuzz_unit.h"

namespace {

// Answers the input dialog from the script.
class ScriptHost : public kor::ParamsHost {
 public:
  ScriptHost(const uint8_t* at, const uint8_t* end) : at_(at), end_(end) {}
  int RunInputDialog(kor::InputFields& f) override {
    if (at_ >= end_) return 2;
    const uint8_t how = *at_++;
    if (how & 1) return 2;
    if (f.textShown) {
      const size_t n = std::min<size_t>(how >> 4, size_t(end_ - at_));
      f.text.assign(reinterpret_cast<const char*>(at_), n);
      at_ += n;
    }
    if (f.barShown && at_ < end_) f.barPos = int(*at_++) - 20;
    if (f.listShown && at_ < end_) {
      f.selected = int(*at_++ % (f.items.size() + 1)) - 1;
      f.inverted = how & 2;
    }
    return 1;
  }
  bool More() const { return at_ < end_; }
  uint8_t Next() { return at_ < end_ ? *at_++ : 0; }

 private:
  const uint8_t* at_;
  const uint8_t* end_;
};

const std::string& file_path() {
  static const std::string p = kor::fuzz::work_file("f.koreep");
  return p;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // Seeds: the simulated unit's memory as a read saves it, and shorter and
  // longer files around the layout's 186 bytes.
  for (int i = 1; i < *argc; ++i) {
    if ((*argv)[i][0] == '-') continue;
    const std::string dir = (*argv)[i];
    const auto mem = kor::sim::sample_parameter_memory();
    const std::string full(mem.begin(), mem.end());
    const struct {
      const char* name;
      std::string bytes;
    } seeds[] = {{"eeprom", full + "461 v1.07"},
                 {"layout", full.substr(0, 186)},
                 {"short", full.substr(0, 100)},
                 {"clicks", full + std::string("\xA5\x5A\x03\x01\x31\x31\x05\x02\x40\x31\x2E\x35\x07\x0D\x00", 15)}};
    for (const auto& s : seeds) std::ofstream(dir + "/seed-" + s.name, std::ios::binary) << s.bytes;
    break;
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The script starts after the last mark.
  size_t fileSize = size;
  for (size_t i = size; i >= 2; --i)
    if (data[i - 2] == 0xA5 && data[i - 1] == 0x5A) {
      fileSize = i - 2;
      break;
    }
  ScriptHost host(data + std::min(size, fileSize + 2), data + size);
  kor::set_params_host(&host);
  kor::fuzz::write_work_file("f.koreep", std::string(reinterpret_cast<const char*>(data), fileSize));

  kor::ParameterImage img = kor::make_parameter_image(std::vector<uint8_t>(data, data + fileSize));
  (void)img;
  kor::remembered_param_file() = {};
  if (kor::OpenParameterFile(file_path().c_str()) == 1) {
    for (const kor::TreeItem& it : kor::parameter_tree_items())
      if (it.group) kor::ShowParameterGroup(it.group);
    if (fileSize == size) {
      for (const kor::TreeItem& it : kor::parameter_tree_items())
        if (it.group)
          for (int row : kor::kValueRowControls) kor::EditParameterRow(row, it.group);
    } else {
      // group, row pairs from the script.
      while (host.More()) {
        const int group = 1 + host.Next() % 14;
        const int row = kor::kValueRowControls[host.Next() % kor::kParamRows];
        kor::ShowParameterGroup(group);
        kor::EditParameterRow(row, group);
      }
    }
    kor::SaveRememberedParameterFile();
    kor::CheckParameterFile(file_path().c_str());
  }
  kor::DropParameterFile({file_path()});
  kor::set_params_host(nullptr);
  return 0;
}
