#include "unit/unit_items.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/file_ls.h"
#include "params/param_memory.h"
#include "transfer/program_read.h"
#include "transfer/program_slots.h"

namespace kor {

std::vector<UnitItem> unit_items(ProgramProtocol protocol) {
  std::vector<UnitItem> items;
  auto add = [&](ItemKind kind, int slot) {
    items.emplace_back();
    items.back().kind = kind;
    items.back().slot = slot;
  };
  if (protocol != ProgramProtocol::None) {
    for (int i = 0; i < kProgramSlots; ++i) add(ItemKind::Program, i);
    for (int i = 0; i < kSubprogramSlots; ++i) add(ItemKind::Subprogram, i);
  }
  add(ItemKind::Parameters, 0);
  add(ItemKind::Correction, 0);
  add(ItemKind::Correction, 1);
  return items;
}

bool is_slot(const UnitItem& item) { return item.kind == ItemKind::Program || item.kind == ItemKind::Subprogram; }

uint8_t slot_kind(const UnitItem& item) { return item.kind == ItemKind::Program ? kProgramKind : kSubprogramKind; }

std::string item_name(const UnitItem& item) {
  char text[32];
  switch (item.kind) {
    case ItemKind::Program: std::snprintf(text, sizeof text, "program %03d", item.slot + 1); break;
    case ItemKind::Subprogram: std::snprintf(text, sizeof text, "subprogram %03d", item.slot + 1); break;
    case ItemKind::Parameters: return "params";
    case ItemKind::Correction: return item.slot ? "correction -" : "correction +";
  }
  return text;
}

std::string item_key(const UnitItem& item) {
  switch (item.kind) {
    case ItemKind::Parameters: return "params";
    case ItemKind::Correction: return item.slot ? "correction-" : "correction+";
    default: break;
  }
  std::string key = item_name(item);
  key[key.find(' ')] = '_';
  return key;
}

std::string item_file(const UnitItem& item) {
  char base[40];
  switch (item.kind) {
    case ItemKind::Parameters:
      return std::string(kParametersFolder) + "/" + kEepromBaseName + "." + kParamExtension;
    case ItemKind::Correction:
      return std::string(kCorrectionFolder) + (item.slot ? "/kor_correction-.txt" : "/kor_correction+.txt");
    default:
      std::snprintf(base, sizeof base, program_base_format(slot_kind(item)), item.slot + 1);
      return std::string(program_folder(slot_kind(item))) + "/" + base + ".txt";
  }
}

const char* state_word(const UnitItem& item) {
  const bool slot = is_slot(item);
  switch (item.state) {
    case ItemState::Held: return slot ? "program" : "read";
    case ItemState::Empty: return slot ? "empty" : "none";
    case ItemState::Failed: return "failed";
    case ItemState::Pending: break;
  }
  return "not-read";
}

std::string manifest_text(const Manifest& m, const std::vector<UnitItem>& items) {
  static const char* const kOrder[] = {"date", "korsync", "port", "speed", "version", "model", "protocol"};
  std::string t = "[backup]\n";
  for (const char* k : kOrder) {
    auto it = m.facts.find(k);
    t += std::string(k) + "=" + (it == m.facts.end() ? "" : it->second) + "\n";
  }
  t += "[items]\n";
  int failed = 0, held = 0;
  std::string failedKeys;
  for (const UnitItem& i : items) {
    t += item_key(i) + "=" + state_word(i) + "\n";
    if (i.state == ItemState::Held) ++held;
    if (i.state != ItemState::Held && i.state != ItemState::Empty) {
      ++failed;
      failedKeys += (failedKeys.empty() ? "" : " ") + item_key(i);
    }
  }
  t += "[result]\n";
  t += "items=" + std::to_string(items.size()) + "\n";
  t += "read=" + std::to_string(held) + "\n";
  t += "failed=" + std::to_string(failed) + (failed ? " " + failedKeys : "") + "\n";
  // Last, and only for a backup that has every item.
  t += m.complete && failed == 0 ? "complete=1\n" : "complete=0\n";
  return t;
}

bool parse_manifest(const std::string& text, Manifest& m) {
  m = Manifest{};
  std::istringstream in(text);
  std::string line, section, last;
  bool any = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    last = line;
    if (line.front() == '[') {
      section = line;
      any = any || line == "[backup]";
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (section == "[backup]") m.facts[key] = value;
    else if (section == "[items]") m.states.emplace_back(key, value);
  }
  // complete=1 counts only as the very last line: a manifest cut short is not complete.
  m.complete = last == "complete=1";
  return any;
}

std::string manifest_state(const Manifest& m, const UnitItem& item) {
  const std::string key = item_key(item);
  for (const auto& [k, v] : m.states)
    if (k == key) return v;
  return "";
}

std::string sums_text(const std::vector<std::pair<std::string, std::string>>& fileHashes) {
  std::string t;
  for (const auto& [file, hash] : fileHashes) t += hash + "  " + file + "\n";
  return t;
}

bool parse_sums(const std::string& text, std::map<std::string, std::string>& out) {
  out.clear();
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    // "HASH  FILE" (text mode) or "HASH *FILE" (binary mode).
    if (line.size() < 67 || line[64] != ' ' || (line[65] != ' ' && line[65] != '*')) return false;
    const std::string hash = line.substr(0, 64);
    if (hash.find_first_not_of("0123456789abcdef") != std::string::npos) return false;
    out[line.substr(66)] = hash;
  }
  return true;
}

bool read_file(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  out.close();
  return bool(out);
}

}  // namespace kor
