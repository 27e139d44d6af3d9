// The program's texts are code page 1251; terminals speak UTF-8.
#pragma once
#include <string>

namespace kor {

std::string cp1251_to_utf8(const std::string& s);
// A message for the terminal: code page 1251 text that may hold paths. On POSIX
// paths are UTF-8 already and pass unchanged, so a folder named in Russian reads
// as typed; two 1251 bytes never form UTF-8 in this program's own texts.
std::string text_to_utf8(const std::string& s);
// Characters with no place in code page 1251 become '?'.
std::string utf8_to_cp1251(const std::string& s);

}  // namespace kor
