// Reading the unit's items through the existing read operations, with what
// they report kept per item instead of shown.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "app/operator.h"
#include "unit/unit_items.h"

namespace kor {

// Stands in for the operator while one item runs: errors and warnings become
// the item's reason, notices and the save prompt are not shown (the prompt is
// answered No), progress goes on to the real operator with "k/N" in front.
class ItemOperator : public Operator {
 public:
  ItemOperator(Operator& outer, std::string prefix);
  ~ItemOperator() override;  // the real operator is back

  void Message(const char* text, const char* caption, Icon icon, Handle owner) override;
  bool AskYesNo(const char*, const char*) override { return false; }
  void ProgressRange(int low, int high) override { outer_.ProgressRange(low, high); }
  void ProgressPos(int pos) override { outer_.ProgressPos(pos); }
  void ProgressText(const char* text) override;
  void ProgressFont(bool italic, int control) override { outer_.ProgressFont(italic, control); }
  void PumpPendingMessages() override { outer_.PumpPendingMessages(); }
  void Stop(StopButton) override {}
  void SilentFailure(const char* what) override { Note(what); }

  // Errors and warnings, "; "-joined; empty when there were none.
  const std::string& problems() const { return problems_; }

 private:
  void Note(const char* text);
  Operator& outer_;
  std::string prefix_;
  std::string problems_;
};

struct UnitFacts {
  int model = -1;
  ProgramProtocol protocol = ProgramProtocol::Page;
  std::string version;  // the version answer's text, as the unit gave it
};

// Called after each item with its position (from 1) and the count; false
// (or the Stop button) ends the run after that item.
using ItemDone = std::function<bool(int k, int n, const UnitItem& item)>;

// One run over the unit: link check and version query, then every wanted item
// in order, the slots and the memory on one port, the correction tables on
// the channel afterwards. items is made from the unit's protocol; the items not
// wanted stay Pending. False when the unit could not be reached (reported) or
// the run was stopped; the items read so far keep their states.
bool ReadUnit(std::vector<UnitItem>& items, UnitFacts& facts, const std::function<bool(const UnitItem&)>& wanted,
              const ItemDone& done, bool* stopped = nullptr);

}  // namespace kor
