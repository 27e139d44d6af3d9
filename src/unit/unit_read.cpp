#include "unit/unit_read.h"

#include <cstring>

#include "app/app_state.h"
#include "link/rs232.h"
#include "params/param_memory.h"
#include "transfer/correction.h"
#include "transfer/program_read.h"
#include "transfer/program_slots.h"

namespace kor {

ItemOperator::ItemOperator(Operator& outer, std::string prefix) : outer_(outer), prefix_(std::move(prefix)) {
  set_operator(this);
}

ItemOperator::~ItemOperator() { set_operator(&outer_); }

void ItemOperator::Message(const char* text, const char*, Icon icon, Handle) {
  if (icon == Icon::Error || icon == Icon::Warning) Note(text);
}

void ItemOperator::Note(const char* text) {
  if (!problems_.empty()) problems_ += "; ";
  problems_ += text;
}

void ItemOperator::ProgressText(const char* text) {
  // Blank at the end of the item's own progress: the item count stays.
  const bool blank = !text || !*text || std::strcmp(text, " ") == 0;
  outer_.ProgressText(blank ? prefix_.c_str() : (prefix_ + " " + text).c_str());
}

namespace {

// A slot through the program read of the unit's generation.
void ReadSlot(CRs232& rs, ProgramProtocol protocol, UnitItem& item) {
  const uint8_t kind = slot_kind(item);
  if (protocol == ProgramProtocol::Block) {
    int lines = -1;
    const int r = BlockReadText(rs, kind, item.slot, item.bytes, &lines);
    if (r == kBlockStored) item.state = ItemState::Held;
    // A header that says "no lines" is an empty slot; anything else lost the program.
    else if (r == kBlockBadCount && lines == 0) item.state = ItemState::Empty;
    else {
      item.state = ItemState::Failed;
      static const char* const kWhy[] = {"", "заголовок программы не получен", "неверный заголовок программы",
                                         "кадров больше допустимого", "блок данных не получен после трёх попыток"};
      if (item.why.empty() && r >= 1 && r <= 4) item.why = kWhy[r];
    }
    return;
  }
  if (!PageReadSlotText(rs, kind, item.slot, item.bytes)) {
    item.state = ItemState::Failed;
    return;
  }
  item.state = item.bytes.empty() ? ItemState::Empty : ItemState::Held;
}

// An answer that came too late for the item before (a busy computer missed
// its wait) would be read as the start of this item's, and every answer after
// it would be off by as much: what waits on the line is thrown away first.
void DropLateAnswers(CRs232& rs) { rs.Purge(); }

void ReadMemory(CRs232& rs, UnitItem& item) {
  std::vector<uint8_t> got;
  // Only the whole memory, read alike twice, is a copy of it. Read as the
  // backup before a write reads it: no purge after the request, which could
  // throw away the start of a quick answer.
  const MemoryRead r = ReadAgreedMemory(rs, false, kParamBackupWait, kParameterMemorySize, got);
  op().ProgressPos(0);
  if (r != MemoryRead::Agreed) {
    item.state = ItemState::Failed;
    if (r == MemoryRead::TooShort) item.why = "память параметров получена не целиком";
    if (r == MemoryRead::Disagreed) item.why = "чтения памяти параметров не совпали";
    return;
  }
  const std::string image(got.begin(), got.end());
  // As a read saves it: the image, then the unit's version text.
  const char* version = app().versionBuffer[0] && decode_model(app().versionBuffer) > 0 ? app().versionBuffer
                                                                                        : kUnknownVersionText;
  item.bytes = image + version;
  item.state = ItemState::Held;
}

void ReadTable(UnitItem& item) {
  int points = -1;
  if (ReadCorrectionText(item.slot, item.bytes, &points)) {
    item.state = ItemState::Held;
    return;
  }
  item.bytes.clear();
  item.state = points == 0 ? ItemState::Empty : ItemState::Failed;
}

}  // namespace

bool ReadUnit(std::vector<UnitItem>& items, UnitFacts& facts, const std::function<bool(const UnitItem&)>& wanted,
              const ItemDone& done, bool* stopped) {
  if (stopped) *stopped = false;
  Operator& outer = op();
  CRs232 rs;
  if (!BeginDeviceOperation(rs)) return false;
  facts.model = VersionQuery(rs);
  if (rs.linkState == -1) return false;
  facts.protocol = protocol_of(facts.model);
  facts.version = facts.model == -1 ? "" : app().versionBuffer;
  items = unit_items(facts.protocol);

  std::vector<size_t> order;
  for (size_t i = 0; i < items.size(); ++i)
    if (!wanted || wanted(items[i])) order.push_back(i);
  const int n = int(order.size());
  bool axisRead = false, portOpen = true;
  app().stopRequested = false;
  for (int k = 1; k <= n; ++k) {
    UnitItem& item = items[order[size_t(k - 1)]];
    {
      ItemOperator scope(outer, std::to_string(k) + "/" + std::to_string(n));
      scope.ProgressText(" ");
      if (item.kind == ItemKind::Correction) {
        // The tables come through the channel, which wants the port to itself.
        if (portOpen) rs.Close();
        portOpen = false;
        ReadTable(item);
      } else if (rs.linkState == -1 || !portOpen) {
        item.state = ItemState::Failed;
        item.why = "связь потеряна";
      } else if (item.kind == ItemKind::Parameters) {
        DropLateAnswers(rs);
        ReadMemory(rs, item);
      } else {
        DropLateAnswers(rs);
        // The page transfer reads in the number formats of the unit's channels.
        if (facts.protocol == ProgramProtocol::Page && !axisRead) {
          if (!ReadAxisTable(rs)) {
            item.state = ItemState::Failed;
          } else {
            axisRead = true;
          }
        }
        if (item.state != ItemState::Failed) ReadSlot(rs, facts.protocol, item);
      }
      if (item.state == ItemState::Failed && !scope.problems().empty())
        item.why = item.why.empty() ? scope.problems() : scope.problems() + "; " + item.why;
      // A text that drew a message (a short page, a wrong checksum) is not a sound copy.
      if (item.state == ItemState::Held && !scope.problems().empty()) {
        item.state = ItemState::Failed;
        item.why = scope.problems();
      }
      outer.ProgressPos(0);
    }
    const bool goOn = !done || done(k, n, item);
    outer.PumpPendingMessages();
    if ((!goOn || app().stopRequested) && k < n) {
      if (stopped) *stopped = app().stopRequested;
      app().stopRequested = false;
      return false;
    }
  }
  return true;
}

}  // namespace kor
