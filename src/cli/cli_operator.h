// The operator interface on a terminal: messages as one line on stderr, the save
// prompt answered from the command line, progress drawn only on a terminal.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "app/operator.h"

namespace kor {

// What was shown, in order, for the summaries of --json.
struct ShownMessage {
  const char* icon;  // "error", "warning", "information", "question"
  std::string text;  // code page 1251, line breaks kept
};

class CliOperator : public Operator {
 public:
  CliOperator(bool openAnswer, bool quiet, std::FILE* err = stderr);
  ~CliOperator() override;

  void Message(const char* text, const char* caption, Icon icon, Handle owner) override;
  bool AskYesNo(const char* text, const char* caption) override;
  void ProgressRange(int low, int high) override;
  void ProgressPos(int pos) override;
  void ProgressText(const char* text) override;
  void ProgressFont(bool, int) override {}
  void PumpPendingMessages() override {}
  void Stop(StopButton) override {}
  void SilentFailure(const char* what) override;
  void Note(const char* text) override;
  void SetVerbose(bool on) { verbose_ = on; }

  // An error or warning was shown: the command exits 1.
  bool failed() const { return failed_; }
  void MarkFailed() { failed_ = true; }
  const std::vector<ShownMessage>& shown() const { return shown_; }
  // The files the save prompts named.
  const std::vector<std::string>& saved() const { return saved_; }
  // Added to the port-opening failures when no port could be chosen.
  void SetNoPortHint(std::string hint) { noPortHint_ = std::move(hint); }

 private:
  void Line(const char* prefix, const std::string& cp1251Text);
  void Draw();
  void EndBar();

  bool openAnswer_;
  bool drawProgress_;
  std::FILE* err_;
  bool failed_ = false;
  bool verbose_ = false;
  int low_ = 0, high_ = 0, pos_ = 0;
  std::string text_;
  bool barShown_ = false;
  size_t barChars_ = 0;  // the bar line as last drawn, for a console without escapes
  std::string noPortHint_;
  std::vector<ShownMessage> shown_;
  std::vector<std::string> saved_;
};

// A message text as one line: its line breaks folded to one space.
std::string fold_lines(const std::string& text);

}  // namespace kor
