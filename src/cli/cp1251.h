// The program's texts are code page 1251; terminals speak UTF-8.
#pragma once
#include <string>

namespace kor {

std::string cp1251_to_utf8(const std::string& s);
// Characters with no place in code page 1251 become '?'.
std::string utf8_to_cp1251(const std::string& s);

}  // namespace kor
