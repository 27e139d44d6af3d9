#include "cli/context.h"

namespace kor::cli {

void register_all(CLI::App& app, Context& ctx) {
  register_info(app, ctx);
}

}  // namespace kor::cli
