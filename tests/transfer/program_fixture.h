// A simulated unit with program storage and a fresh data folder.
#pragma once
#include <cstring>
#include <string>
#include <vector>

#include "program/axis_table.h"
#include "program/program_frame.h"
#include "program/program_text.h"
#include "sim/programs.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

namespace kor::test {

class ProgramTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    store = unit.Find<sim::ProgramStore>();
    std::strcpy(app().dataFolder, dir.path().c_str());
    // The conversions use the unit's own channels, as after an axis-table read.
    fill_axis_channels(unit.paramMemory.data());
  }

  void BlockUnit() { unit.config().model = 461; }
  void PageUnit() { unit.config().model = 0; }

  // Lines "001:G90", "002:G90", ... as a block-generation unit keeps them.
  static std::vector<std::string> numbered_lines(int n) {
    std::vector<std::string> lines;
    char buf[16];
    for (int i = 1; i <= n; ++i) {
      std::snprintf(buf, sizeof buf, "%03d:G90", i);
      lines.push_back(buf);
    }
    return lines;
  }

  // A sealed image of the text, as a page-generation unit keeps it.
  static std::vector<uint8_t> image_of(const std::string& text, bool subprogram, uint16_t number) {
    ProgramImage img = blank_program_image(subprogram, number);
    parse_program_text(text, img.data(), img.size);
    seal_frames(img.data(), img.size);
    return std::vector<uint8_t>(img.data(), img.data() + img.size);
  }

  // "001:X1.000F100.00" CR LF ... : n moves.
  static std::string moves(int n) {
    std::string text;
    char buf[40];
    for (int i = 1; i <= n; ++i) {
      std::snprintf(buf, sizeof buf, "%03d:X%d.000F100.00\r\n", i % 1000, i);
      text += buf;
    }
    return text;
  }

  std::string program_file(int number) const {
    char name[64];
    std::snprintf(name, sizeof name, "kor_programs/kor_program_%03d.txt", number);
    return name;
  }

  // Request frames (byte 0 = 0x00, 8 bytes) with this command byte 4.
  size_t requests(uint8_t command) const {
    size_t n = 0;
    for (const auto& f : frames())
      if (f.size() == 8 && f[0] == 0x00 && f[4] == command && f[3] <= 1) ++n;
    return n;
  }

  sim::ProgramStore* store = nullptr;
  TempDir dir;
};

}  // namespace kor::test
