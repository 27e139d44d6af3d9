// korsync read program|subprogram N|all, korsync write program|subprogram FILE --slot N:
// programs between the unit's slots and text files in the data folder.
#include <cstring>
#include <string>

#include "app/app_state.h"
#include "cli/context.h"
#include "transfer/download_title.h"
#include "transfer/program_read.h"
#include "transfer/program_slots.h"
#include "transfer/program_write.h"
#include "unit/unit_check.h"
#include "unit/unit_items.h"

namespace kor::cli {

namespace {

const char* kind_word(uint8_t kind) { return kind == kProgramKind ? "program" : "subprogram"; }

// 1-based slot number as the operator sees it; 0 when it is not one.
int slot_number(const std::string& text, uint8_t kind) {
  if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos) return 0;
  const int n = std::stoi(text);
  return n >= 1 && n <= slot_count(kind) ? n : 0;
}

void add_read(CLI::App& read, uint8_t kind, std::string& which) {
  const std::string word = kind_word(kind);
  CLI::App* c = add_command(
      read, word, "read " + word + " N (1.." + std::to_string(slot_count(kind)) + ") or all into the data folder",
      [kind, &which](Context& ctx) {
        ctx.result = {{"kind", kind_word(kind)}, {"slot", which == "all" ? Json("all") : Json(slot_number(which, kind))},
                      {"saved", Json::array()}};
        int selection = slot_count(kind);  // "Всё"
        if (which != "all") {
          const int n = slot_number(which, kind);
          if (!n) return usage(std::string(kind_word(kind)) + " number: " + which);
          selection = n - 1;
        }
        if (!absolute_data_folder()) return usage("--data: path too long");
        app().kind = kind == kProgramKind ? DataKind::Program : DataKind::Subprogram;
        if (kind == kProgramKind)
          ReadPrograms(selection);
        else
          ReadSubprograms(selection);
        return 0;
      });
  json_command(c);
  c->add_option("N", which, "slot number, or all")->required();
}

struct WriteArgs {
  std::string file, slot;
  std::string title;
  bool titleGiven = false;
  bool verify = false, noVerify = false;
};

void add_write(CLI::App& write, uint8_t kind, WriteArgs& w) {
  const std::string word = kind_word(kind);
  CLI::App* c =
      add_command(write, word, "write a " + word + " text file into slot N of the unit", [kind, &w](Context& ctx) {
        const int n = slot_number(w.slot, kind);
        if (!n) return usage("--slot: " + w.slot + " (1.." + std::to_string(slot_count(kind)) + ")");
        AppState& a = app();
        std::error_code ec;
        // Saves change the current directory; the file must not depend on it.
        const std::string path = absolute_path(w.file, ec);
        if (ec || path.size() >= sizeof a.selectedFile) return usage("FILE: path too long");
        const DataKind dataKind = kind == kProgramKind ? DataKind::Program : DataKind::Subprogram;
        if (!accepted_file(dataKind, path)) return 1;
        std::strcpy(a.selectedFile, path.c_str());
        a.kind = dataKind;
        if (!ProgramWriteMayStart()) return 0;
        // The file box shows the file's name: what the dialog proposes without a title line.
        const std::string title =
            w.titleGiven ? arg_text(w.title)
                         : ProposedTitle(path.c_str(), arg_text(file_name(path)).c_str());
        StoreDownloadChoice(n - 1, title.c_str());
        ctx.result = {{"kind", kind_word(kind)}, {"slot", n}, {"file", json_text(path)}, {"title", json_text(title)}};
        if (kind == kProgramKind)
          WriteProgram();
        else
          WriteSubprogram();
        if (ctx.op->failed() || !verify_wanted(w.verify, w.noVerify)) return 0;
        std::string text;
        if (!read_file(path, text)) return 1;
        return VerifyProgramWrite(kind, n - 1, text, app().title) ? 0 : 1;
      });
  json_command(c);
  c->add_option("FILE", w.file, word + " text file (.txt or .bin)")->required();
  c->add_option("--slot", w.slot, "slot number, 1.." + std::to_string(slot_count(kind)))->required();
  c->add_option("--title", w.title,
                "title the unit shows (at most 33 characters; default: the file's %-line, else its name)")
      ->each([&w](const std::string&) { w.titleGiven = true; });
  c->add_flag("--verify", w.verify, "read the slot back and compare it with what was sent (default: setting verify)");
  c->add_flag("--no-verify", w.noVerify, "do not read the slot back");
}

void register_transfer(CLI::App& cli, Context&) {
  static std::string readProgram, readSubprogram;
  static WriteArgs writeProgram, writeSubprogram;
  CLI::App* read = command_group(cli, "read", "read from the unit into the data folder");
  add_read(*read, kProgramKind, readProgram);
  add_read(*read, kSubprogramKind, readSubprogram);
  CLI::App* write = command_group(cli, "write", "write a file into the unit");
  add_write(*write, kProgramKind, writeProgram);
  add_write(*write, kSubprogramKind, writeSubprogram);
}

const Registrar reg(register_transfer, 20);

}  // namespace

}  // namespace kor::cli
