// A simulated unit on COM5 at 200000 bit/s, on virtual time, with a recorder as
// the operator. Everything is put back after each test.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/app_state.h"
#include "app/timing.h"
#include "sim/sim_port.h"
#include "sim/unit.h"
#include "support/recorder.h"

namespace kor::test {

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The frames the unit received, as byte vectors.
  const std::vector<std::vector<uint8_t>>& frames() const { return unit.frames(); }

  sim::Unit unit;
  sim::SimPortDriver driver{unit};
  VirtualTiming clock;
  Recorder rec;
};

// "00 08 01 55" style hex, for readable expectations.
std::vector<uint8_t> hex(const char* text);
std::string to_hex(const std::vector<uint8_t>& bytes);

}  // namespace kor::test
