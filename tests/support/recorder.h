// An operator that remembers what the person would have seen.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "app/operator.h"

namespace kor::test {

struct Shown {
  std::string text;
  std::string caption;
  Icon icon;
};

class Recorder : public Operator {
 public:
  void Message(const char* text, const char* caption, Icon icon, Handle) override {
    messages.push_back({text, caption, icon});
  }
  bool AskYesNo(const char* text, const char* caption) override {
    prompts.push_back({text, caption, Icon::Question});
    return answerYes;
  }
  void ProgressRange(int low, int high) override { ranges.push_back({low, high}); }
  void ProgressPos(int pos) override { positions.push_back(pos); }
  void ProgressText(const char* text) override { texts.push_back(text); }
  void ProgressFont(bool italic, int control) override { fonts.push_back({italic, control}); }
  void PumpPendingMessages() override {
    ++pumps;
    if (onPump) onPump();
  }
  void Stop(StopButton what) override { stops.push_back(what); }
  void SilentFailure(const char* what) override { silent.push_back(what); }

  // Texts of the messages shown, in order.
  std::vector<std::string> MessageTexts() const;

  std::vector<Shown> messages;
  std::vector<Shown> prompts;
  bool answerYes = false;
  std::vector<std::pair<int, int>> ranges;
  std::vector<int> positions;
  std::vector<std::string> texts;
  std::vector<std::pair<bool, int>> fonts;
  int pumps = 0;
  std::function<void()> onPump;
  std::vector<StopButton> stops;
  std::vector<std::string> silent;
};

}  // namespace kor::test
