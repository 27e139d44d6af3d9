// korsync read correction + | -: a correction table into kor_correction.
// korsync send TEXT: the control dialog's text line to the unit.
#include <memory>
#include <string>

#include "app/app_state.h"
#include "cli/context.h"
#include "transfer/correction.h"
#include "transfer/text_frame.h"

namespace kor::cli {

namespace {

void register_correction(CLI::App& cli, Context&) {
  CLI::App* read = command_group(cli, "read", "read from the unit into the data folder");
  auto direction = std::make_shared<std::string>();
  CLI::App* corr = add_command(*read, "correction", "read the correction table of one direction (+ or -)",
                               [direction](Context& ctx) {
                                 ctx.result = {{"kind", "correction"}, {"direction", *direction}, {"saved", Json::array()}};
                                 int selection = *direction == "+"   ? kCorrectionPlus
                                                 : *direction == "-" ? kCorrectionMinus
                                                                     : -1;
                                 if (selection < 0) return usage("read correction: the direction is + or -, not " + *direction);
                                 app().kind = DataKind::Correction;
                                 ReadCorrectionTable(selection);
                                 return 0;
                               });
  json_command(corr);
  corr->add_option("direction", *direction, "+ or -")->required();

  auto text = std::make_shared<std::string>();
  CLI::App* send = add_command(cli, "send", "send a line of text (at most 9 characters) to the unit's display",
                               [text](Context&) {
                                 std::string t = arg_text(*text);
                                 if (t.size() > size_t(kTextFrameChars))
                                   return usage("send: the text has more than 9 characters");
                                 SendControlText(t.c_str(), nullptr);
                                 return 0;
                               });
  send->add_option("text", *text, "the text; characters outside code page 1251 become '?'")->required();
}

const Registrar reg(register_correction, 50);

}  // namespace

}  // namespace kor::cli
