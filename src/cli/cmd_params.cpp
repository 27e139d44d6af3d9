// korsync read params / write params / params show / params edit: the parameter
// memory of the unit, and parameter files as the Parameters dialog shows and
// edits them.
#include <cstring>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/operator.h"
#include "cli/context.h"
#include "params/param_edit.h"
#include "params/param_file.h"
#include "params/param_memory.h"
#include "params/param_view.h"
#include "params/params_host.h"
#include "unit/unit_check.h"
#include "unit/unit_items.h"

namespace kor::cli {

namespace {

// The unit's inch mark is a control byte; a terminal shows it as the quote it stands for.
std::string printable(std::string text) {
  for (char& c : text)
    if (c == '\x02') c = '"';
  return text;
}

void PrintGroup(const ParameterView& v) {
  print_out("[" + std::to_string(v.group) + "] " + printable(v.caption) + "\n");
  for (int i = 0; i < kParamRows; ++i) {
    if (v.label[i].empty() && v.value[i].empty()) continue;
    print_out("  " + printable(v.label[i]) + " | " + printable(v.value[i]) + "\n");
  }
}

Json GroupJson(const ParameterView& v) {
  Json rows = Json::array();
  for (int i = 0; i < kParamRows; ++i) {
    if (v.label[i].empty() && v.value[i].empty()) continue;
    rows.push_back({{"row", i + 1}, {"label", json_text(printable(v.label[i]))}, {"value", json_text(printable(v.value[i]))}});
  }
  return {{"group", v.group}, {"caption", json_text(printable(v.caption))}, {"rows", rows}};
}

Json TreeJson() {
  const auto& items = parameter_tree_items();
  Json tree = Json::array();
  for (const TreeItem& it : items) {
    int depth = 0;
    for (int p = it.parent; p >= 0; p = items[size_t(p)].parent) ++depth;
    tree.push_back({{"text", json_text(it.text)}, {"depth", depth}, {"group", it.group ? Json(it.group) : Json()}});
  }
  return tree;
}

void PrintTree() {
  const auto& items = parameter_tree_items();
  for (const TreeItem& it : items) {
    int depth = 0;
    for (int p = it.parent; p >= 0; p = items[size_t(p)].parent) ++depth;
    std::string line(size_t(depth) * 2, ' ');
    line += it.text;
    if (it.group) line += " [" + std::to_string(it.group) + "]";
    print_out(line + "\n");
  }
}

// Answers the input dialog the way the operator would have filled it: the text
// of field 199, the bar's position, or the list item ("нет", "<P1.n", "<P1.n!").
class AnswerHost : public ParamsHost {
 public:
  AnswerHost(bool given, std::string value) : given_(given), value_(std::move(value)) {}

  int RunInputDialog(InputFields& f) override {
    opened = true;
    if (!given_) return 2;
    if (f.textShown) f.text = value_;
    if (f.barShown) {
      if (value_.empty() || value_.size() > 3 || value_.find_first_not_of("0123456789") != std::string::npos)
        return 2;
      f.barPos = std::stoi(value_);
    }
    if (f.listShown) {
      std::string item = value_;
      f.inverted = !item.empty() && item.back() == '!';
      if (f.inverted) item.pop_back();
      f.selected = -1;
      for (size_t i = 0; i < f.items.size(); ++i)
        if (f.items[i] == item) f.selected = int(i);
      if (f.selected < 0 || (f.selected == 0 && f.inverted)) return 2;
    }
    return 1;
  }

  bool opened = false;

 private:
  bool given_;
  std::string value_;
};

// Puts the do-nothing host back whichever way the command ends.
struct HostScope {
  explicit HostScope(ParamsHost* h) { set_params_host(h); }
  ~HostScope() { set_params_host(nullptr); }
};

bool parse_number(const std::string& s, int low, int high, int& out) {
  if (s.empty() || s.size() > 3 || s.find_first_not_of("0123456789") != std::string::npos) return false;
  out = std::stoi(s);
  return out >= low && out <= high;
}

CLI::App* g_edit = nullptr;
std::vector<std::string> g_editArgs;

int RunEdit() {
  // A VALUE such as "-5.000" looks like an option and ends the parse: it is among the rest.
  std::vector<std::string> args = g_editArgs;
  for (const std::string& r : g_edit->remaining()) args.push_back(r);
  if (args.size() < 3 || args.size() > 4) return usage("params edit FILE GROUP ROW [VALUE]");
  int group = 0, row = 0;
  if (!parse_number(args[1], 0, 14, group)) return usage("params edit: GROUP is 0..14");
  if (!parse_number(args[2], 1, kParamRows, row)) return usage("params edit: ROW is 1..14");
  const bool given = args.size() == 4;
  const std::string value = given ? arg_text(args[3]) : std::string();
  if (value.size() > kInputTextMax) return usage("params edit: VALUE takes at most 14 characters");
  const std::string path = absolute_or_as_given(args[0]);

  AnswerHost host(given, value);
  HostScope scope(&host);
  if (!OpenParameterFile(path.c_str())) return 1;
  // The click lands on the group as the dialog shows it.
  ShowParameterGroup(group);
  const EditResult result = EditParameterRow(kValueRowControls[row - 1], group);
  if (host.opened && !given) return usage("params edit: this row opens the input dialog; give VALUE");
  if (!host.opened && given) return usage("params edit: this row takes no VALUE");
  if (result == EditResult::Refused) {
    ShowMessage("Ввод не принят, файл не изменен", Icon::Error);
    return 1;
  }
  if (!SaveRememberedParameterFile()) return 1;
  PrintGroup(param_view());
  return 0;
}

void register_params(CLI::App& cli, Context&) {
  CLI::App* read = command_group(cli, "read", "read from the unit into the data folder");
  json_command(add_command(*read, "params", "read the unit's parameter memory into kor_parameters", [](Context& ctx) {
    ctx.result = {{"kind", "params"}, {"saved", Json::array()}};
    app().kind = DataKind::Parameters;
    ReadParameterMemory();
    return 0;
  }));

  static std::string writeFile;
  static bool verify = false, noVerify = false;
  CLI::App* write = command_group(cli, "write", "write a file into the unit");
  CLI::App* wp = add_command(*write, "params", "back up the unit's parameter memory, then write FILE into it",
                             [](Context& ctx) {
                               const std::string path = absolute_or_as_given(writeFile);
                               ctx.result = {{"kind", "params"}, {"file", json_text(path)}, {"saved", Json::array()}};
                               if (!accepted_file(DataKind::Parameters, path)) return 1;
                               AppState& a = app();
                               if (path.size() >= sizeof a.selectedFile) return usage("write params: path too long");
                               std::strcpy(a.selectedFile, path.c_str());
                               a.kind = DataKind::Parameters;
                               WriteParametersCommand();
                               if (ctx.op->failed() || !verify_wanted(verify, noVerify)) return 0;
                               std::string content;
                               if (!read_file(path, content)) return 1;
                               const ParameterImage img =
                                   make_parameter_image(std::vector<uint8_t>(content.begin(), content.end()));
                               return VerifyParameterWrite(std::string(img.begin(), img.end())) ? 0 : 1;
                             });
  json_command(wp);
  wp->add_option("FILE", writeFile, "a .koreep or .bin parameter file")->required();
  wp->add_flag("--verify", verify, "read the memory back and compare it with what was sent (default: setting verify)");
  wp->add_flag("--no-verify", noVerify, "do not read the memory back");

  CLI::App* params = command_group(cli, "params", "parameter files as the Parameters dialog shows and edits them");
  static std::string showFile;
  static int showGroup = -1;
  CLI::App* show = add_command(*params, "show", "open FILE as the editor does and print its tree and groups",
                               [](Context& ctx) {
                                 if (showGroup > 14) return usage("params show: GROUP is 0..14");
                                 if (!OpenParameterFile(absolute_or_as_given(showFile).c_str())) return 1;
                                 if (ctx.json) {
                                   Json groups = Json::array();
                                   if (showGroup >= 0) {
                                     groups.push_back(GroupJson(ShowParameterGroup(showGroup)));
                                   } else {
                                     ctx.result["tree"] = TreeJson();
                                     for (const TreeItem& it : parameter_tree_items())
                                       if (it.group) groups.push_back(GroupJson(ShowParameterGroup(it.group)));
                                   }
                                   ctx.result["file"] = json_text(showFile);
                                   ctx.result["groups"] = groups;
                                   return 0;
                                 }
                                 if (showGroup >= 0) {
                                   PrintGroup(ShowParameterGroup(showGroup));
                                   return 0;
                                 }
                                 PrintTree();
                                 for (const TreeItem& it : parameter_tree_items()) {
                                   if (!it.group) continue;
                                   print_out("\n");
                                   PrintGroup(ShowParameterGroup(it.group));
                                 }
                                 return 0;
                               });
  json_command(show);
  showGroup = -1;
  show->add_option("FILE", showFile, "a .koreep or .bin parameter file")->required();
  show->add_option("GROUP", showGroup, "only this group (0..14)")->check(CLI::Range(0, 14));

  g_edit = add_command(*params, "edit",
                       "FILE GROUP ROW [VALUE]: click value row ROW (1..14) of GROUP, VALUE answering the input "
                       "dialog, then save FILE in place",
                       [](Context&) { return RunEdit(); });
  g_edit->prefix_command();  // VALUE may look like an option: "-5.000"
  g_editArgs.clear();
  static std::string file, group, row, value;
  const auto keep = [](const std::string& v) { g_editArgs.push_back(v); };
  g_edit->add_option("FILE", file, "a .koreep or .bin parameter file")->required()->each(keep);
  g_edit->add_option("GROUP", group, "the group (0..14)")->required()->each(keep);
  g_edit->add_option("ROW", row, "the value row (1..14)")->required()->each(keep);
  g_edit->add_option("VALUE", value, "what the input dialog is given, for rows that open it")->each(keep);
}

const Registrar reg(register_params, 30);

}  // namespace

}  // namespace kor::cli
