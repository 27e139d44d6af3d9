// The only way an operation reaches the person: the window implements it with
// message boxes and controls, the command line with stderr, tests with a recorder.
#pragma once
#include "app/app_state.h"

namespace kor {

enum class Icon { Error, Warning, Information, Question };

enum class StopButton { Show, Hide, ResetText };

class Operator {
 public:
  virtual ~Operator() = default;
  // A modal message box; owner null means the main window.
  virtual void Message(const char* text, const char* caption, Icon icon, Handle owner = nullptr) = 0;
  // The Yes/No save prompt ("Файл сохранен: ...\nОткрыть папку?"); true for Yes.
  virtual bool AskYesNo(const char* text, const char* caption) = 0;
  virtual void ProgressRange(int low, int high) = 0;
  virtual void ProgressPos(int pos) = 0;
  virtual void ProgressText(const char* text) = 0;
  virtual void ProgressFont(bool italic, int control) = 0;
  // Lets the window repaint and the Stop button work between blocks.
  virtual void PumpPendingMessages() = 0;
  virtual void Stop(StopButton what) = 0;
  // An operation ended early without a message of its own (for example the unit
  // did not answer the link check). The window stays silent, as it always did;
  // the command line must not report such an end as success.
  virtual void SilentFailure(const char* what) { (void)what; }
  // A remark on how the work is done, for whoever asked for details.
  virtual void Note(const char* text) { (void)text; }
};

// Does nothing; what runs before a real front end is installed.
class NullOperator : public Operator {
 public:
  void Message(const char*, const char*, Icon, Handle) override {}
  bool AskYesNo(const char*, const char*) override { return false; }
  void ProgressRange(int, int) override {}
  void ProgressPos(int) override {}
  void ProgressText(const char*) override {}
  void ProgressFont(bool, int) override {}
  void PumpPendingMessages() override {}
  void Stop(StopButton) override {}
};

Operator& op();
// Installs the front end; null puts the silent one back.
void set_operator(Operator* o);

// Shorthand for the common case: a box owned by the main window, captioned appName.
void ShowMessage(const char* text, Icon icon);

// A Stop pressed during one operation belongs to that operation alone: when an
// operation starts and whichever way it ends, a pending request is dropped and
// the button reads "Стоп" again, so the next "all" read is not cut short.
class StopScope {
 public:
  StopScope() { Clear(); }
  ~StopScope() { Clear(); }
  StopScope(const StopScope&) = delete;
  StopScope& operator=(const StopScope&) = delete;

 private:
  static void Clear();
};

// Control ids the operations name (shared with the window).
constexpr int kProgressBar = 121;
constexpr int kProgressText = 217;
constexpr int kStopButton = 232;

}  // namespace kor
