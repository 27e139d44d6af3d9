// --json: one JSON document on standard output, texts in UTF-8.
#pragma once
#include <nlohmann/json.hpp>
#include <string>

namespace kor::cli {

using Json = nlohmann::ordered_json;

// A text of the program's code page as a JSON string's UTF-8.
std::string json_text(const std::string& cp1251Text);
void print_json(const Json& doc);

}  // namespace kor::cli
