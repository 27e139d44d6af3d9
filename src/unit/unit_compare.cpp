#include "unit/unit_compare.h"

#include <filesystem>

#include "params/param_memory.h"
#include "unit/unit_check.h"

namespace kor {

namespace fs = std::filesystem;

namespace {

ProgramProtocol protocol_named(const std::string& name) {
  if (name == "block") return ProgramProtocol::Block;
  if (name == "none") return ProgramProtocol::None;
  return ProgramProtocol::Page;
}

bool holds(const UnitItem& i) { return i.state == ItemState::Held; }

}  // namespace

bool LoadBackupItems(const std::string& folder, std::vector<UnitItem>& items, Manifest& m, std::string& error) {
  std::string text;
  if (!read_file((fs::path(folder) / kManifestName).string(), text) || !parse_manifest(text, m)) {
    error = "нет " + std::string(kManifestName) + " в " + folder;
    return false;
  }
  items = unit_items(protocol_named(m.facts["protocol"]));
  for (UnitItem& i : items) {
    const std::string state = manifest_state(m, i);
    if (state == "program" || state == "read") {
      if (!read_file((fs::path(folder) / item_file(i)).string(), i.bytes)) {
        error = "нет файла " + item_file(i) + " в " + folder;
        return false;
      }
      i.state = ItemState::Held;
    } else if (state == "empty" || state == "none") {
      i.state = ItemState::Empty;
    } else if (state == "failed") {
      i.state = ItemState::Failed;
      i.why = "не прочитан при резервировании";
    }
  }
  return true;
}

std::string item_difference(const UnitItem& a, const UnitItem& b, const char* aName, const char* bName) {
  if (a.kind == ItemKind::Parameters) return memory_difference(a.bytes, b.bytes, kParameterMemorySize, aName, bName);
  // A correction table ends with the text's terminator; compared as lines it is only a last line "\0".
  return text_difference(a.bytes, b.bytes, aName, bName);
}

std::vector<ItemVerdict> compare_items(const std::vector<UnitItem>& a, const std::vector<UnitItem>& b,
                                       const char* aName, const char* bName) {
  std::vector<ItemVerdict> out;
  // By key: the two sides may list different items (a unit of another generation).
  std::vector<const UnitItem*> order;
  for (const UnitItem& i : a) order.push_back(&i);
  for (const UnitItem& i : b) {
    bool known = false;
    for (const UnitItem& j : a) known = known || item_key(j) == item_key(i);
    if (!known) order.push_back(&i);
  }
  UnitItem none;
  none.state = ItemState::Empty;
  for (const UnitItem* key : order) {
    const UnitItem* x = &none;
    const UnitItem* y = &none;
    for (const UnitItem& i : a)
      if (item_key(i) == item_key(*key)) x = &i;
    for (const UnitItem& i : b)
      if (item_key(i) == item_key(*key)) y = &i;
    if (x->state == ItemState::Pending && y->state == ItemState::Pending) continue;
    ItemVerdict v;
    v.name = item_name(*key);
    if (x->state == ItemState::Failed || x->state == ItemState::Pending) {
      v.verdict = std::string("not read in ") + aName + (x->why.empty() ? "" : ": " + x->why);
    } else if (y->state == ItemState::Failed || y->state == ItemState::Pending) {
      v.verdict = std::string("not read in ") + bName + (y->why.empty() ? "" : ": " + y->why);
    } else if (holds(*x) && holds(*y)) {
      const std::string d = item_difference(*x, *y, aName, bName);
      v.same = d.empty();
      v.verdict = v.same ? "same" : "differs: " + d;
    } else if (holds(*x)) {
      v.verdict = std::string("only in ") + aName;
    } else if (holds(*y)) {
      v.verdict = std::string("only in ") + bName;
    } else {
      continue;  // empty on both sides
    }
    out.push_back(v);
  }
  return out;
}

}  // namespace kor
