#include "cli/console.h"

#include <iostream>
#include <unistd.h>

namespace kor::console {

bool is_terminal(std::FILE* f) { return isatty(fileno(f)); }

bool takes_escapes(std::FILE*) { return true; }

void write(std::FILE* f, const std::string& utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), f);
}

std::string native_to_utf8(const std::string& bytes) { return bytes; }

bool read_line(std::string& line) { return bool(std::getline(std::cin, line)); }

std::vector<std::string> arguments(int argc, char** argv) { return {argv, argv + argc}; }

}  // namespace kor::console
