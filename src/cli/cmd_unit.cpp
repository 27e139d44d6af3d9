// korsync backup / compare / restore: the whole unit against one folder.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/operator.h"
#include "app/settings.h"
#include "cli/console.h"
#include "cli/context.h"
#include "params/param_file.h"
#include "params/param_memory.h"
#include "transfer/download_title.h"
#include "transfer/program_slots.h"
#include "unit/unit_backup.h"
#include "unit/unit_check.h"
#include "unit/unit_compare.h"
#include "unit/unit_restore.h"

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace kor::cli {

bool verify_wanted(bool verify, bool noVerify) {
  if (noVerify) return false;
  if (verify) return true;
  uint32_t v = 0;
  return settings_store().ReadNumber("verify", v) && v == 1;
}

namespace {

// With --json the lines below stay off stdout: the document says it all.
bool g_json = false;

Json item_json(const UnitItem& item) {
  Json j = {{"name", item_name(item)}, {"key", item_key(item)}, {"state", state_word(item)}};
  if (item.state == ItemState::Held) j["bytes"] = item.bytes.size();
  if (item.state == ItemState::Failed && !item.why.empty()) j["why"] = json_text(item.why);
  return j;
}

// "  3/73 program 005: program, 412 bytes" as each item ends.
bool print_item(int k, int n, const UnitItem& item) {
  if (g_json) return true;
  std::string line = "  " + std::to_string(k) + "/" + std::to_string(n) + " " + item_name(item) + ": " +
                     state_word(item);
  if (item.state == ItemState::Held) line += ", " + std::to_string(item.bytes.size()) + " bytes";
  if (item.state == ItemState::Failed && !item.why.empty()) line += " (" + item.why + ")";
  print_out(line + "\n");
  std::fflush(stdout);
  return true;
}

// The backup's end as the command line tells it; false when it is not complete.
bool report_backup(const BackupSummary& s) {
  if (!g_json) print_out("backup: " + s.folder + "\n" + backup_summary_line(s) + "\n");
  if (s.complete) return true;
  std::string failed;
  for (const UnitItem& i : s.items)
    if (i.state != ItemState::Held && i.state != ItemState::Empty)
      failed += (failed.empty() ? "" : ", ") + item_name(i) + (i.why.empty() ? "" : " (" + i.why + ")");
  ShowMessage(("Резервная копия не завершена" + std::string(s.stopped ? " (остановлено)" : "") +
               (failed.empty() ? "" : ": " + failed))
                  .c_str(),
              Icon::Error);
  return false;
}

int run_backup(Context& ctx, const std::string& out) {
  if (!absolute_data_folder()) return usage("--data: path too long");
  g_json = ctx.json;
  BackupSummary s;
  const bool reached = BackupUnit(out, s, print_item);
  if (ctx.json) {
    Json items = Json::array();
    for (const UnitItem& i : s.items) items.push_back(item_json(i));
    // No folder is left when nothing could be read.
    ctx.result = {{"folder", reached ? Json(json_text(s.folder)) : Json(nullptr)},
                  {"complete", reached && s.complete},
                  {"stopped", s.stopped},
                  {"held", s.held},
                  {"empty", s.empty},
                  {"failed", s.failed},
                  {"bytes", s.bytes},
                  {"seconds", s.seconds},
                  {"items", items}};
  }
  if (!reached) return 1;
  return report_backup(s) ? 0 : 1;
}

namespace fs = std::filesystem;

Json* g_compared = nullptr;  // --json: where the verdicts go

int print_verdicts(const std::vector<ItemVerdict>& verdicts) {
  bool same = true;
  Json list = Json::array();
  for (const ItemVerdict& v : verdicts) {
    if (g_compared)
      list.push_back({{"name", json_text(v.name)}, {"verdict", json_text(v.verdict)}, {"same", v.same}});
    else
      print_out(v.name + ": " + v.verdict + "\n");
    same = same && v.same;
  }
  if (g_compared) {
    (*g_compared)["same"] = same;
    (*g_compared)["verdicts"] = list;
  } else if (verdicts.empty()) {
    print_out("nothing to compare\n");
  }
  return same ? 0 : 1;
}

bool is_folder(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

bool load_file(const std::string& path, std::string& out) {
  if (read_file(path, out) && !is_folder(path)) return true;
  ShowMessage(("Не удалось открыть файл " + path).c_str(), Icon::Error);
  return false;
}

// The unit against a folder: the whole unit is read, every item compared.
int compare_unit_folder(const std::string& folder) {
  std::vector<UnitItem> backup, live;
  Manifest m;
  std::string error;
  if (!LoadBackupItems(folder, backup, m, error)) {
    ShowMessage(error.c_str(), Icon::Error);
    return 1;
  }
  UnitFacts facts;
  if (!ReadUnit(live, facts, {}, {}) && live.empty()) return 1;
  return print_verdicts(compare_items(live, backup, "unit", "backup"));
}

int compare_folders(const std::string& a, const std::string& b) {
  std::vector<UnitItem> x, y;
  Manifest mx, my;
  std::string error;
  if (!LoadBackupItems(a, x, mx, error) || !LoadBackupItems(b, y, my, error)) {
    ShowMessage(error.c_str(), Icon::Error);
    return 1;
  }
  return print_verdicts(compare_items(x, y, "first", "second"));
}

int compare_param_files(const std::string& a, const std::string& b) {
  std::string x, y;
  if (!load_file(a, x) || !load_file(b, y)) return 1;
  // As a write would send them: 4096 bytes, 0xFF after a short file.
  const ParameterImage ix = make_parameter_image(std::vector<uint8_t>(x.begin(), x.end()));
  const ParameterImage iy = make_parameter_image(std::vector<uint8_t>(y.begin(), y.end()));
  const std::vector<std::string> diffs =
      memory_differences(std::string(ix.begin(), ix.end()), std::string(iy.begin(), iy.end()));
  std::vector<ItemVerdict> verdicts;
  for (const std::string& d : diffs) verdicts.push_back({"params", "differs: " + d, false});
  if (diffs.empty()) verdicts.push_back({"params", "same", true});
  return print_verdicts(verdicts);
}

// One slot of the unit against a program file, as a write of it would leave the slot.
int compare_slot(uint8_t kind, int number, const std::string& path) {
  std::string text;
  if (!load_file(path, text)) return 1;
  UnitItem item;
  item.kind = kind == kProgramKind ? ItemKind::Program : ItemKind::Subprogram;
  item.slot = number - 1;
  UnitFacts facts;
  if (!ReadBack(item, facts)) {
    ShowMessage((item_name(item) + " не прочитана" + (item.why.empty() ? "" : ": " + item.why)).c_str(), Icon::Error);
    return 1;
  }
  const std::string name = fs::path(path).filename().string();
  const std::string title = facts.protocol == ProgramProtocol::Block ? ProposedTitle(path.c_str(), "") : "";
  std::string want;
  if (!expected_slot_text(text, kind, item.slot, facts.protocol, title, want)) return 1;
  ItemVerdict v;
  v.name = item_name(item);
  if (item.state == ItemState::Empty) {
    v.verdict = want.empty() ? "same" : "only in file";
    v.same = want.empty();
  } else {
    const std::string d = text_difference(item.bytes, want, "unit", "file");
    v.same = d.empty();
    v.verdict = v.same ? "same" : "differs: " + d;
  }
  return print_verdicts({v});
}

int compare_params(const std::string& path) {
  std::string content;
  if (!load_file(path, content)) return 1;
  UnitItem item;
  item.kind = ItemKind::Parameters;
  UnitFacts facts;
  if (!ReadBack(item, facts) || item.state != ItemState::Held) {
    ShowMessage(("params не прочитаны" + (item.why.empty() ? "" : ": " + item.why)).c_str(), Icon::Error);
    return 1;
  }
  const ParameterImage img = make_parameter_image(std::vector<uint8_t>(content.begin(), content.end()));
  ItemVerdict v;
  v.name = "params";
  const std::string d = memory_difference(item.bytes, std::string(img.begin(), img.end()), kParameterMemorySize,
                                          "unit", "file");
  v.same = d.empty();
  v.verdict = v.same ? "same" : "differs: " + d;
  return print_verdicts({v});
}

int slot_of(const std::string& text, uint8_t kind) {
  if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos) return 0;
  const int n = std::stoi(text);
  return n >= 1 && n <= slot_count(kind) ? n : 0;
}

int run_compare(Context& ctx, const std::vector<std::string>& args) {
  if (!absolute_data_folder()) return usage("--data: path too long");
  // A compare that stops before any verdict says so in "same" too.
  if (ctx.json) ctx.result = {{"same", false}, {"verdicts", Json::array()}};
  g_compared = ctx.json ? &ctx.result : nullptr;
  const char* kUsage = "compare DIR | DIR DIR | FILE FILE | program N FILE | subprogram N FILE | params FILE";
  if (args.size() == 3 && (args[0] == "program" || args[0] == "subprogram")) {
    const uint8_t kind = args[0] == "program" ? kProgramKind : kSubprogramKind;
    const int n = slot_of(args[1], kind);
    if (!n) return usage(args[0] + " number: " + args[1]);
    return compare_slot(kind, n, absolute_or_as_given(args[2]));
  }
  if (args.size() == 2 && args[0] == "params") return compare_params(absolute_or_as_given(args[1]));
  if (args.size() == 1 && is_folder(absolute_or_as_given(args[0])))
    return compare_unit_folder(absolute_or_as_given(args[0]));
  if (args.size() == 2) {
    const std::string a = absolute_or_as_given(args[0]), b = absolute_or_as_given(args[1]);
    if (is_folder(a) && is_folder(b)) return compare_folders(a, b);
    if (!is_folder(a) && !is_folder(b)) {
      if (!is_parameter_file_name(a.c_str()) || !is_parameter_file_name(b.c_str())) {
        ShowMessage("Неверный формат файла", Icon::Error);
        return 1;
      }
      return compare_param_files(a, b);
    }
  }
  return usage(kUsage);
}

struct RestoreArgs {
  std::string folder;
  std::string only;
  bool yes = false;
  bool partial = false;
};

bool ask_once(const std::string& question) {
  print_out(question + " [y/N] ");
  std::fflush(stdout);
  std::string answer;
  if (!console::read_line(answer)) return false;
  return answer == "y" || answer == "Y" || answer == "yes" || arg_text(answer) == "д" || arg_text(answer) == "да";
}

int run_restore(const RestoreArgs& r) {
  if (!absolute_data_folder()) return usage("--data: path too long");
  RestoreChoice choice;
  choice.partial = r.partial;
  if (!r.only.empty()) {
    choice.programs = choice.subprograms = choice.params = false;
    size_t at = 0;
    while (at <= r.only.size()) {
      size_t end = r.only.find(',', at);
      if (end == std::string::npos) end = r.only.size();
      const std::string w = r.only.substr(at, end - at);
      if (w == "programs") choice.programs = true;
      else if (w == "subprograms") choice.subprograms = true;
      else if (w == "params") choice.params = true;
      else return usage("--only: " + w + " (programs, subprograms, params)");
      at = end + 1;
    }
  }
  // Before anything reaches the unit: the folder whole, and the operator's yes.
  RestorePlan plan;
  if (!PlanRestore(absolute_or_as_given(r.folder), choice, plan)) return 1;
  for (const std::string& d : plan.damaged) print_out("skipped: " + d + "\n");
  for (const std::string& d : plan.unread) print_out("skipped: " + d + "\n");
  const std::string overview = restore_overview(plan);
  if (!r.yes) {
    if (!isatty(fileno(stdin)) || !isatty(fileno(stdout)))
      return usage("restore overwrites items of the unit and asks first; without a terminal give --yes");
    if (!ask_once("Записать в КОР: " + overview + "?")) {
      print_out("restore: nothing written\n");
      return 1;
    }
  }
  RestoreResult res;
  const bool ok = RestoreUnit(plan, res, {});
  if (!res.fresh.folder.empty() && !res.fresh.items.empty())
    print_out("fresh backup: " + res.fresh.folder + "\n" + backup_summary_line(res.fresh) + "\n");
  for (const RestoreRow& row : res.rows) print_out(row.name + ": " + row.written + ", " + row.verified + "\n");
  for (const UnitItem& i : plan.items)
    if (i.kind == ItemKind::Correction && i.state == ItemState::Held)
      print_out(item_name(i) + ": kept in the backup only (the unit takes no correction tables)\n");
  for (const std::string& l : res.left)
    print_out(l + ": left as it is (empty in the backup; the unit has no erase)\n");
  if (res.rows.empty()) return 1;
  if (!ok) {
    ShowMessage("Восстановление завершено с ошибками", Icon::Error);
    return 1;
  }
  print_out("restore: " + std::to_string(res.rows.size()) + " items written and verified\n");
  return 0;
}

void register_unit(CLI::App& cli, Context&) {
  static std::string backupOut;
  CLI::App* b = add_command(cli, "backup",
                            "read every program, subprogram, the parameter memory and the correction tables into a "
                            "new folder kor_backup/unit_YYYYMMDD-HHMMSS",
                            [](Context& ctx) { return run_backup(ctx, backupOut); });
  b->add_option("--out", backupOut, "the backup folder instead (it must not exist yet)");
  json_command(b);

  static std::vector<std::string> compareArgs;
  CLI::App* c = add_command(cli, "compare",
                            "the unit against a backup folder (DIR), one slot or the memory against a file "
                            "(program N FILE, subprogram N FILE, params FILE); offline two folders or two "
                            "parameter files",
                            [](Context& ctx) { return run_compare(ctx, compareArgs); });
  c->add_option("ARGS", compareArgs, "DIR | DIR DIR | FILE FILE | program N FILE | subprogram N FILE | params FILE")
      ->required();
  json_command(c);

  static RestoreArgs restoreArgs;
  CLI::App* r = add_command(cli, "restore",
                            "write a complete backup folder back into the unit, after a fresh backup, verifying "
                            "each item",
                            [](Context&) { return run_restore(restoreArgs); });
  r->add_option("DIR", restoreArgs.folder, "the backup folder")->required();
  r->add_option("--only", restoreArgs.only, "programs,subprograms,params: only these kinds");
  r->add_flag("--yes", restoreArgs.yes, "do not ask (required without a terminal)");
  r->add_flag("--partial", restoreArgs.partial, "restore the intact items of a damaged or incomplete backup");
}

const Registrar reg(register_unit, 25);

}  // namespace

}  // namespace kor::cli
