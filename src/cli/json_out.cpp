#include "cli/json_out.h"

#include <cstdio>

#include "app/cp1251.h"
#include "cli/console.h"

namespace kor::cli {

std::string json_text(const std::string& cp1251Text) { return text_to_utf8(cp1251Text); }

void print_json(const Json& doc) {
  // A byte that is no UTF-8 (a unit's answer, a path) must not abort the document.
  std::string text = doc.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
  console::write(stdout, text);
  std::fflush(stdout);
}

}  // namespace kor::cli
