// Parameter files and the editor without a window: a recorder for messages, a
// host that answers the input dialog from a script, a fresh folder for files.
#pragma once
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "params/param_edit.h"
#include "params/param_file.h"
#include "params/param_set.h"
#include "params/param_view.h"
#include "params/params_host.h"
#include "support/recorder.h"
#include "support/temp_dir.h"

namespace kor::test {

class ScriptHost : public ParamsHost {
 public:
  // Each dialog takes the next answer: it may fill the fields and returns 1 or 2.
  std::deque<std::function<int(InputFields&)>> answers;
  std::vector<InputFields> opened;   // the fields as each dialog opened
  std::vector<std::string> keys;     // InputKey while each dialog was open
  int treeBuilds = 0, editorPosts = 0, broadcasts = 0;
  std::vector<std::string> titles;
  std::vector<bool> saveButton;

  int RunInputDialog(InputFields& f) override {
    opened.push_back(f);
    keys.push_back(InputKey());
    if (answers.empty()) return 2;
    auto a = answers.front();
    answers.pop_front();
    return a(f);
  }
  void SetTree(const std::vector<TreeItem>&, int) override { ++treeBuilds; }
  void SetTitle(const char* name) override { titles.push_back(name); }
  void ShowSaveButton(bool shown) override { saveButton.push_back(shown); }
  void OpenEditorForCommandLineFile() override { ++editorPosts; }
  void BroadcastCloseOthers() override { ++broadcasts; }

  // "ОК" with this text typed into field 199.
  void Type(const std::string& text) {
    answers.push_back([text](InputFields& f) {
      f.text = text;
      return 1;
    });
  }
};

class ParamsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_app_state();
    set_operator(&rec);
    set_params_host(&host);
    param_set() = ParameterSet{};
    remembered_param_file() = RememberedParamFile{};
    display_axis_step() = 0;
  }
  void TearDown() override {
    set_params_host(nullptr);
    set_operator(nullptr);
    reset_app_state();
  }

  // A set as a configured unit has it: X, Y, Z on P2.0..P2.2, format 0,
  // coefficient 1, brightness 25.
  static ParameterSet configured() {
    ParameterSet s;
    const uint8_t axes[4] = {0, 1, 2, kNoAxis};
    for (int c = 0; c < kChannels; ++c) {
      s.channelAxis[c] = s.displayAxis[c] = axes[c];
      s.channelRecord[c].set_kind(kLinear);
      s.coefficient[c] = {1, 0};
      s.displayExtra[c] = 1;
    }
    s.brightnessCode = 26;
    s.usbSpeed = 1;
    return s;
  }

  // Bytes of a whole parameter file: the set, then `tail` more bytes.
  static std::string file_bytes(const ParameterSet& s, const std::string& tail = "") {
    uint8_t b[kParameterSetSize];
    encode_parameter_set(s, b);
    return std::string(reinterpret_cast<char*>(b), sizeof b) + tail;
  }

  TempDir dir;
  Recorder rec;
  ScriptHost host;
};

}  // namespace kor::test
