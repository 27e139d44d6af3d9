// A simulated unit holding something in every kind of item, a data folder,
// and the correction channel beside the port.
#pragma once
#include <cstring>
#include <string>

#include "link/overlapped.h"
#include "program/axis_table.h"
#include "program/program_text.h"
#include "sim/correction.h"
#include "sim/programs.h"
#include "sim/sim_overlapped.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"
#include "unit/unit_items.h"

namespace kor::test {

class UnitTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    std::strcpy(app().dataFolder, dir.path().c_str());
    set_overlapped_driver(&ov);
    store = unit.Find<sim::ProgramStore>();
    corr = unit.Find<sim::CorrectionService>();
    fill_axis_channels(unit.paramMemory.data());
  }
  void TearDown() override {
    set_overlapped_driver(nullptr);
    SimTest::TearDown();
  }

  // Programs in slots 1, 5, 20, subprograms 1 and 50, and both tables.
  void Fill(bool page) {
    unit.config().model = page ? 0 : 461;
    // Each generation's own form: a block unit keeps the lines as a write
    // normalizes them, a page unit gives back the writer's text.
    const char* texts[] = {page ? "001:G90\r\n002:X1.000F100.00\r\n003:M30\r\n" : "001:G90\r\n002:X1.000 F100.00\r\n003:M30\r\n",
                           page ? "001:G91\r\n002:Z-5.000F90.00\r\n" : "001:G91\r\n002:Z-5.000 F90.00\r\n"};
    const int programs[] = {0, 4, 19}, subprograms[] = {0, 49};
    for (int i : programs) Put(0, i, texts[0], "ВАЛ " + std::to_string(i + 1));
    for (int i : subprograms) Put(1, i, texts[1], "");
    corr->SetTable(0x0A, 10, 3);
    corr->SetTable(0x0B, 12, 2);
  }

  // Both generations' forms of the text: lines for block units, an image for page ones.
  void Put(int kind, int index, const std::string& text, const std::string& title) {
    sim::StoredProgram& p = store->slot(kind, index);
    p.title = title;
    p.lines.clear();
    for (size_t at = 0; at < text.size();) {
      const size_t end = text.find("\r\n", at);
      p.lines.push_back(text.substr(at, end - at));
      at = end + 2;
    }
    ProgramImage img = blank_program_image(kind == 1, uint16_t(index + 1));
    parse_program_text(text, img.data(), img.size);
    seal_frames(img.data(), img.size);
    p.image.assign(img.data(), img.data() + img.size);
  }

  TempDir dir;
  sim::SimOverlappedDriver ov{unit, &driver};
  sim::ProgramStore* store = nullptr;
  sim::CorrectionService* corr = nullptr;
};

}  // namespace kor::test
