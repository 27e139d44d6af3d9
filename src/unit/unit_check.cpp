#include "unit/unit_check.h"

#include <cstdio>

#include "app/operator.h"
#include "params/param_memory.h"
#include "params/param_set.h"
#include "params/param_view.h"
#include "program/program_text.h"
#include "transfer/program_slots.h"
#include "transfer/program_write.h"

namespace kor {

namespace {

std::string quoted(const std::vector<std::string>& lines, size_t i) {
  return i < lines.size() ? "\"" + lines[i] + "\"" : "(none)";
}

std::string byte_text(const std::string& bytes, size_t i) {
  if (i >= bytes.size()) return "(none)";
  char t[8];
  std::snprintf(t, sizeof t, "0x%02X", static_cast<unsigned char>(bytes[i]));
  return t;
}

int byte_at(const std::string& bytes, size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : -1; }

}  // namespace

std::string text_difference(const std::string& unitText, const std::string& fileText, const char* unitName,
                            const char* fileName) {
  const std::vector<std::string> a = split_text_lines(unitText), b = split_text_lines(fileText);
  for (size_t i = 0; i < a.size() || i < b.size(); ++i) {
    if (i < a.size() && i < b.size() && a[i] == b[i]) continue;
    return "line " + std::to_string(i + 1) + ": " + unitName + " " + quoted(a, i) + " " + fileName + " " +
           quoted(b, i);
  }
  return "";
}

std::string memory_difference(const std::string& unitBytes, const std::string& fileBytes, size_t length,
                              const char* unitName, const char* fileName) {
  for (size_t i = 0; i < length; ++i) {
    const int a = byte_at(unitBytes, i), b = byte_at(fileBytes, i);
    if (a == b) continue;
    char head[64];
    std::snprintf(head, sizeof head, "offset %zu (0x%03zX): ", i, i);
    std::string out = head + std::string(unitName) + " " + byte_text(unitBytes, i) + " " + fileName + " " +
                      byte_text(fileBytes, i);
    const std::string name = parameter_at(i, a, b);
    if (!name.empty()) out += ", " + name;
    return out;
  }
  return "";
}

std::vector<std::string> memory_differences(const std::string& a, const std::string& b) {
  std::vector<std::string> out;
  const size_t n = std::max(a.size(), b.size());
  size_t i = 0;
  while (i < n) {
    if (byte_at(a, i) == byte_at(b, i)) {
      ++i;
      continue;
    }
    // A parameter is the run of bytes that share its name; past the layout, a run of differing bytes.
    const std::string name = i < kParameterSetSize ? parameter_at(i) : "";
    size_t end = i + 1;
    if (!name.empty()) {
      while (i > 0 && parameter_at(i - 1) == name) --i;
      while (end < kParameterSetSize && parameter_at(end) == name) ++end;
    }
    else
      while (end < n && end >= kParameterSetSize && byte_at(a, end) != byte_at(b, end)) ++end;
    std::string va, vb;
    for (size_t k = i; k < end; ++k) {
      va += byte_text(a, k).substr(k > i ? 2 : 0);
      vb += byte_text(b, k).substr(k > i ? 2 : 0);
    }
    char head[32];
    std::snprintf(head, sizeof head, "offset %zu", i);
    std::string label = name.empty() ? std::string(head) + (end - i > 1 ? ".." + std::to_string(end - 1) : "")
                                     : head + std::string(", ") + parameter_at(i, byte_at(a, i), byte_at(b, i));
    // Multi-byte values read low byte first in the unit; shown as they lie in the file.
    out.push_back(label + ": " + va + " -> " + vb);
    i = end;
  }
  return out;
}

bool expected_slot_text(const std::string& fileText, uint8_t kind, int slot, ProgramProtocol protocol,
                        const std::string& title, std::string& out) {
  out.clear();
  if (protocol == ProgramProtocol::Page) return page_write_text(fileText, kind, slot + 1, out);
  std::vector<std::string> lines;
  if (!block_write_lines(fileText, kind, lines)) return false;
  if (!title.empty()) out += "%" + title + "\r\n";
  for (const std::string& l : lines) out += l + "\r\n";
  return true;
}

bool ReadBack(UnitItem& item, UnitFacts& facts) {
  std::vector<UnitItem> items;
  const std::string key = item_key(item);
  ReadUnit(items, facts, [&](const UnitItem& i) { return item_key(i) == key; }, {});
  for (const UnitItem& i : items)
    if (item_key(i) == key) {
      item = i;
      return i.state == ItemState::Held || i.state == ItemState::Empty;
    }
  if (item.why.empty()) item.why = "КОР не отвечает";
  return false;
}

namespace {

bool Fail(const std::string& text) {
  ShowMessage(("Проверка после записи не прошла: " + text).c_str(), Icon::Error);
  return false;
}

}  // namespace

bool VerifyProgramWrite(uint8_t kind, int slot, const std::string& fileText, const std::string& title) {
  UnitItem item;
  item.kind = kind == kProgramKind ? ItemKind::Program : ItemKind::Subprogram;
  item.slot = slot;
  UnitFacts facts;
  if (!ReadBack(item, facts)) return Fail(item_name(item) + " не прочитана" + (item.why.empty() ? "" : ": " + item.why));
  std::string want;
  if (!expected_slot_text(fileText, kind, slot, facts.protocol, title, want))
    return Fail(item_name(item) + ": файл не принимается");
  const std::string diff = text_difference(item.bytes, want);
  if (!diff.empty()) return Fail(item_name(item) + " differs: " + diff);
  return true;
}

bool VerifyParameterWrite(const std::string& written) {
  UnitItem item;
  item.kind = ItemKind::Parameters;
  UnitFacts facts;
  if (!ReadBack(item, facts) || item.state != ItemState::Held)
    return Fail("params не прочитаны" + (item.why.empty() ? "" : ": " + item.why));
  const std::string diff = memory_difference(item.bytes, written, kParameterMemorySize);
  if (!diff.empty()) return Fail("params differ: " + diff);
  return true;
}

}  // namespace kor
