// korsync program check FILE [--subprogram] [--params PARAMFILE]: what a
// page-transfer write would make of a program text, without a unit.
//
// Output, kept stable for scripts:
//   accepted: N                         frames the image would hold
//   stopped at line L: <text>           only when text was left unread or dropped;
//   reason: <why>                       L counts lines ending at LF, from 1
//   (a blank line)
//   <the text the unit would hand back for that image, one line per frame>
// Exit 0 when the whole text was taken, 1 otherwise (or when a message was shown).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/operator.h"
#include "cli/context.h"
#include "program/axis_table.h"
#include "program/program_text.h"

namespace kor::cli {

namespace {

struct CheckArgs {
  std::string file;
  std::string params;
  bool subprogram = false;
};

// The axis-table read takes this much of the parameter memory.
constexpr size_t kAxisTableBytes = 348;

bool read_file(const std::string& path, std::string& out) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

int report_unreadable(const std::string& path) {
  ShowMessage(("Не удалось открыть файл " + arg_text(path)).c_str(), Icon::Error);
  return 1;
}

std::string character_name(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  if (u > 0x20 && u != 0x7F) return std::string("'") + c + "'";
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02X", u);
  return hex;
}

std::string reason(const ProgramParse& r, int records) {
  switch (r.stop) {
    case ParseStop::Unreadable: return "no reader accepted it";
    case ParseStop::NoLineNumber: return "line number 0 or missing";
    case ParseStop::LowerCase: return "lower-case letter " + character_name(r.character);
    case ParseStop::BadCharacter: return "character " + character_name(r.character) + " not allowed";
    case ParseStop::LineEnd: return "line does not end with CR LF";
    case ParseStop::LongLine: return "line longer than 33 characters";
    case ParseStop::Capacity: return "capacity reached (" + std::to_string(records) + " frames)";
    case ParseStop::ZeroByte: return "zero byte in the text";
    case ParseStop::End: break;
  }
  return "";
}

// Line n (from 1) of the text, without its line end.
std::string text_line(const std::string& text, int n) {
  size_t start = 0;
  for (int i = 1; i < n && start != std::string::npos; ++i) {
    start = text.find('\n', start);
    if (start != std::string::npos) ++start;
  }
  if (start == std::string::npos || start > text.size()) return "";
  size_t end = text.find_first_of(std::string("\n\0", 2), start);
  std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

int run_check(const CheckArgs& args, Context& ctx) {
  std::string text;
  if (!read_file(args.file, text)) return report_unreadable(args.file);

  // Axis formats as the axis-table read would leave them; without a parameter
  // file every axis is in format 0.
  axis_channels() = {};
  if (!args.params.empty()) {
    std::string params;
    if (!read_file(args.params, params)) return report_unreadable(args.params);
    std::vector<uint8_t> bytes(params.begin(), params.end());
    if (bytes.size() < kAxisTableBytes) bytes.resize(kAxisTableBytes, 0);
    fill_axis_channels(bytes.data());
  }

  ProgramImage image = blank_program_image(args.subprogram, 1);
  ProgramParse r = parse_program_text(text, image.data(), image.size);
  seal_frames(image.data(), image.size);

  std::string written;
  format_program_text(image.data(), image.size, written);
  if (ctx.json) {
    ctx.result = {{"file", json_text(args.file)}, {"subprogram", args.subprogram}, {"accepted", r.frames},
                  {"complete", r.stop == ParseStop::End}};
    if (r.stop != ParseStop::End)
      ctx.result["stopped"] = {{"line", r.line}, {"text", json_text(text_line(text, r.line))},
                               {"reason", reason(r, image.records())}};
    else
      ctx.result["stopped"] = nullptr;
    std::string unitText;
    for (char c : written)
      if (c != '\r') unitText += c;
    ctx.result["unit_text"] = json_text(unitText);
    return r.stop == ParseStop::End ? 0 : 1;
  }
  std::string out = "accepted: " + std::to_string(r.frames) + "\n";
  if (r.stop != ParseStop::End) {
    out += "stopped at line " + std::to_string(r.line) + ": " + text_line(text, r.line) + "\n";
    out += "reason: " + reason(r, image.records()) + "\n";
  }
  out += "\n";
  for (char c : written)
    if (c != '\r') out += c;
  print_out(out);
  return r.stop == ParseStop::End ? 0 : 1;
}

void register_program(CLI::App& cli, Context&) {
  CLI::App* group = command_group(cli, "program", "check program texts without a unit");
  static CheckArgs args;
  CLI::App* check = add_command(*group, "check",
                                "parse a program text as a page-transfer write would and show the result",
                                [](Context& ctx) { return run_check(args, ctx); });
  json_command(check);
  check->add_option("FILE", args.file, "program text file")->required();
  check->add_flag("--subprogram", args.subprogram, "a subprogram: 104 frames instead of 504");
  check->add_option("--params", args.params, "parameter file whose axis table gives the number formats");
}

const Registrar reg(register_program, 40);

}  // namespace

}  // namespace kor::cli
