// What the fuzz targets that drive whole operations share: a data folder of
// their own, and a simulated unit on COM5 on virtual time for one input.
#pragma once
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/app_state.h"
#include "app/operator.h"
#include "app/timing.h"
#include "link/overlapped.h"
#include "link/rs232.h"
#include "link/serial_device.h"
#include "sim/sim_overlapped.h"
#include "sim/sim_port.h"
#include "sim/unit.h"

namespace kor::fuzz {

// A folder made once per process; the outputs of one input are removed before
// the next, so numbered names never run out.
inline const std::string& work_folder() {
  static const std::string path = [] {
    char tmpl[] = "/tmp/korsync-fuzz-XXXXXX";
    const char* p = mkdtemp(tmpl);
    if (!p) std::abort();
    return std::string(p);
  }();
  return path;
}

inline std::string work_file(const std::string& rel) { return work_folder() + "/" + rel; }

inline void write_work_file(const std::string& rel, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(work_file(rel)).parent_path());
  std::ofstream(work_file(rel), std::ios::binary) << bytes;
}

inline void clear_outputs() {
  std::error_code ec;
  for (const char* sub : {"kor_programs", "kor_subprograms", "kor_parameters", "kor_correction", "kor_backup"})
    std::filesystem::remove_all(work_file(sub), ec);
}

// The written texts of firmware pages go to standard output; libFuzzer reports
// on standard error.
inline void quiet_stdout() {
  if (!std::freopen("/dev/null", "w", stdout)) std::abort();
}

// One simulated unit for one input; everything is put back at its end. A port
// left open is a fault of the operation.
class World {
 public:
  explicit World(int model) {
    unit.config().model = model;
    reset_app_state();
    AppState& a = app();
    a.comPort = 5;
    a.speed = 200000;
    std::snprintf(a.dataFolder, sizeof a.dataFolder, "%s", work_folder().c_str());
    set_timing(&clock);
    set_port_driver(&driver);
    set_overlapped_driver(&ov);
    set_operator(&oper);
  }
  ~World() {
    if (CRs232::PortInUse() || driver.open || ov.open) std::abort();
    set_operator(nullptr);
    set_overlapped_driver(nullptr);
    set_port_driver(nullptr);
    set_timing(nullptr);
    reset_app_state();
    std::filesystem::current_path(work_folder());
    clear_outputs();
  }
  void Select(const std::string& rel) {
    std::snprintf(app().selectedFile, sizeof app().selectedFile, "%s", work_file(rel).c_str());
  }

  sim::Unit unit;
  sim::SimPortDriver driver{unit};
  sim::SimOverlappedDriver ov{unit, &driver};
  VirtualTiming clock;
  NullOperator oper;
};

}  // namespace kor::fuzz
