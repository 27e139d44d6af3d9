#include "unit/unit_restore.h"

#include <cstring>
#include <filesystem>

#include "app/app_state.h"
#include "app/operator.h"
#include "params/param_memory.h"
#include "transfer/download_title.h"
#include "transfer/program_write.h"
#include "unit/sha256.h"
#include "unit/unit_check.h"
#include "unit/unit_compare.h"

namespace kor {

namespace fs = std::filesystem;

bool PlanRestore(const std::string& folder, const RestoreChoice& choice, RestorePlan& plan) {
  plan = RestorePlan{};
  std::error_code ec;
  plan.folder = fs::absolute(folder, ec).string();
  auto refuse = [](const std::string& why) {
    ShowMessage(("Восстановление не начато: " + why).c_str(), Icon::Error);
    return false;
  };
  std::string text;
  if (!read_file((fs::path(plan.folder) / kManifestName).string(), text) || !parse_manifest(text, plan.manifest))
    return refuse("нет " + std::string(kManifestName) + " в " + plan.folder);
  std::map<std::string, std::string> sums;
  if (!read_file((fs::path(plan.folder) / kSumsName).string(), text) || !parse_sums(text, sums))
    return refuse(std::string(kSumsName) + " не читается");

  // Loaded one by one here: a missing file is damage of that item, not of the folder.
  plan.items = unit_items(plan.manifest.facts["protocol"] == "block"  ? ProgramProtocol::Block
                          : plan.manifest.facts["protocol"] == "none" ? ProgramProtocol::None
                                                                       : ProgramProtocol::Page);
  for (UnitItem& i : plan.items) {
    const std::string state = manifest_state(plan.manifest, i);
    if (state == "empty" || state == "none") {
      i.state = ItemState::Empty;
      continue;
    }
    if (state != "program" && state != "read") {
      i.state = ItemState::Failed;
      plan.unread.push_back(item_name(i) + ": " + (state.empty() ? "not read" : state));
      continue;
    }
    const std::string rel = item_file(i);
    auto sum = sums.find(rel);
    if (!read_file((fs::path(plan.folder) / rel).string(), i.bytes)) {
      i.state = ItemState::Failed;
      plan.damaged.push_back(item_name(i) + ": file missing");
    } else if (sum == sums.end()) {
      i.state = ItemState::Failed;
      plan.damaged.push_back(item_name(i) + ": not in " + kSumsName);
    } else if (sha256_hex(i.bytes.data(), i.bytes.size()) != sum->second) {
      i.state = ItemState::Failed;
      plan.damaged.push_back(item_name(i) + ": SHA-256 does not match");
    } else {
      i.state = ItemState::Held;
    }
  }
  // A file that was changed but is named by no item still means a tampered folder.
  for (const auto& [rel, hash] : sums) {
    std::string bytes;
    bool known = false;
    for (const UnitItem& i : plan.items) known = known || item_file(i) == rel;
    if (!known && (!read_file((fs::path(plan.folder) / rel).string(), bytes) ||
                   sha256_hex(bytes.data(), bytes.size()) != hash))
      plan.damaged.push_back(rel + ": SHA-256 does not match");
  }

  if (!choice.partial) {
    if (!plan.damaged.empty()) {
      std::string list;
      for (const std::string& d : plan.damaged) list += (list.empty() ? "" : "; ") + d;
      return refuse("резервная копия повреждена (" + list + ")");
    }
    if (!plan.manifest.complete || !plan.unread.empty()) {
      std::string list;
      for (const std::string& d : plan.unread) list += (list.empty() ? "" : "; ") + d;
      return refuse("резервная копия не завершена (" + (list.empty() ? std::string("нет complete=1") : list) + ")");
    }
  }
  for (const UnitItem& i : plan.items) {
    if (i.state != ItemState::Held) continue;
    const bool wanted = (i.kind == ItemKind::Program && choice.programs) ||
                        (i.kind == ItemKind::Subprogram && choice.subprograms) ||
                        (i.kind == ItemKind::Parameters && choice.params);
    if (wanted) plan.toWrite.push_back(&i);
  }
  if (plan.toWrite.empty()) return refuse("в резервной копии нечего записывать");
  return true;
}

std::string restore_overview(const RestorePlan& plan) {
  std::string programs, subprograms, params;
  for (const UnitItem* i : plan.toWrite) {
    const std::string n = std::to_string(i->slot + 1);
    if (i->kind == ItemKind::Program) programs += (programs.empty() ? "" : ", ") + n;
    else if (i->kind == ItemKind::Subprogram) subprograms += (subprograms.empty() ? "" : ", ") + n;
    else if (i->kind == ItemKind::Parameters) params = "параметры";
  }
  std::string out;
  if (!programs.empty()) out += "программы " + programs;
  if (!subprograms.empty()) out += std::string(out.empty() ? "" : "; ") + "подпрограммы " + subprograms;
  if (!params.empty()) out += std::string(out.empty() ? "" : "; ") + params;
  return out;
}

namespace {

// One item written through the write command of its kind and read back.
RestoreRow WriteItem(const RestorePlan& plan, const UnitItem& item, ProgramProtocol protocol) {
  RestoreRow row;
  row.name = item_name(item);
  AppState& a = app();
  const std::string path = (fs::path(plan.folder) / item_file(item)).string();
  if (path.size() >= sizeof a.selectedFile) {
    row.written = "failed: path too long";
    row.verified = "-";
    return row;
  }
  std::strcpy(a.selectedFile, path.c_str());
  std::string problems;
  std::string title;
  {
    ItemOperator scope(op(), row.name);
    if (item.kind == ItemKind::Parameters) {
      a.kind = DataKind::Parameters;
      WriteParametersCommand();
    } else {
      // The title it had: block units keep it as the "%" first line; a page
      // unit gives none back, so it takes the file's name as a write does.
      const std::string name = fs::path(path).filename().string();
      title = ProposedTitle(path.c_str(), protocol == ProgramProtocol::Block ? "" : name.c_str());
      StoreDownloadChoice(item.slot, title.c_str());
      title = a.title;
      a.kind = item.kind == ItemKind::Program ? DataKind::Program : DataKind::Subprogram;
      if (item.kind == ItemKind::Program) WriteProgram();
      else WriteSubprogram();
    }
    problems = scope.problems();
  }
  if (!problems.empty()) {
    row.written = "failed: " + problems;
    row.verified = "-";
    return row;
  }
  row.written = "written";
  {
    ItemOperator scope(op(), row.name + " проверка");
    const bool same = item.kind == ItemKind::Parameters
                          ? VerifyParameterWrite([&] {
                              const ParameterImage img = make_parameter_image(
                                  std::vector<uint8_t>(item.bytes.begin(), item.bytes.end()));
                              return std::string(img.begin(), img.end());
                            }())
                          : VerifyProgramWrite(slot_kind(item), item.slot, item.bytes, title);
    row.ok = same;
    const std::string p = scope.problems();
    const std::string prefix = "Проверка после записи не прошла: ";
    row.verified = same ? "verified" : (p.rfind(prefix, 0) == 0 ? p.substr(prefix.size()) : p);
  }
  return row;
}

}  // namespace

bool RestoreUnit(const RestorePlan& plan, RestoreResult& out, const ItemDone& backupItemDone) {
  out = RestoreResult{};
  if (!BackupUnit("", out.fresh, backupItemDone)) return false;
  if (!out.fresh.complete) {
    ShowMessage(("Восстановление не начато: свежая резервная копия не завершена (" + out.fresh.folder + ")").c_str(),
                Icon::Error);
    return false;
  }
  const std::string was = plan.manifest.facts.count("protocol") ? plan.manifest.facts.at("protocol") : "";
  if (was != protocol_name(out.fresh.facts.protocol)) {
    ShowMessage(("Восстановление не начато: копия с КОР другого поколения (" + was + ", а КОР " +
                 protocol_name(out.fresh.facts.protocol) + ")")
                    .c_str(),
                Icon::Error);
    return false;
  }
  out.ok = true;
  for (const UnitItem* i : plan.toWrite) {
    out.rows.push_back(WriteItem(plan, *i, out.fresh.facts.protocol));
    out.ok = out.ok && out.rows.back().ok;
  }
  // The unit has no erase: a program the backup lacks stays where it is.
  for (const UnitItem& now : out.fresh.items) {
    if (!is_slot(now) || now.state != ItemState::Held) continue;
    for (const UnitItem& then : plan.items)
      if (item_key(then) == item_key(now) && then.state == ItemState::Empty) out.left.push_back(item_name(now));
  }
  return out.ok;
}

}  // namespace kor
