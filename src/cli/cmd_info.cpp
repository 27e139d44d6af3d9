// korsync info: is a unit there, what does it call itself, which program protocol.
#include <cstdio>
#include <string>

#include "app/app_state.h"
#include "cli/context.h"
#include "protocol/transactions.h"

namespace kor::cli {

namespace {

void register_info(CLI::App& cli, Context&) {
  json_command(add_command(cli, "info", "check the link and show the unit's version and program protocol", [](Context& ctx) {
    CRs232 rs;
    if (!BeginDeviceOperation(rs)) return 0;
    int model = VersionQuery(rs);
    if (rs.linkState == -1) return 0;
    if (ctx.json) {
      ctx.result = {{"version", json_text(app().versionBuffer)}, {"model", model},
                    {"protocol", protocol_name(protocol_of(model))}};
      return 0;
    }
    print_out("version: " + std::string(app().versionBuffer) + "\n");
    print_out("model: " + std::to_string(model) + "\n");
    print_out(std::string("protocol: ") + protocol_name(protocol_of(model)) + "\n");
    return 0;
  }));
}

const Registrar reg(register_info, 10);

}  // namespace

}  // namespace kor::cli
