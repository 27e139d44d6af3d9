// Program text tests: a recorder as the operator and an axis table that gives
// chosen axes chosen formats (every other axis format 0).
#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

#include "app/app_state.h"
#include "app/operator.h"
#include "program/axis_table.h"
#include "support/recorder.h"

namespace kor::test {

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_app_state();
    axis_channels() = {};
    set_operator(&rec);
  }
  void TearDown() override {
    set_operator(nullptr);
    axis_channels() = {};
    reset_app_state();
  }

  // {axis, format} pairs, one channel each from channel 0 on; the channels left
  // over measure no axis.
  static void SetFormats(std::initializer_list<std::pair<int, int>> formats) {
    AxisChannelTable t;
    for (auto& c : t.channels) c.axis = -1;
    int ch = 0;
    for (auto [axis, format] : formats) {
      t.channels[ch].axis = axis;
      t.channels[ch].formatWord = uint16_t(format << 7);
      ++ch;
    }
    axis_channels() = t;
  }

  Recorder rec;
};

}  // namespace kor::test
