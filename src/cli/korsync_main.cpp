#include "cli/context.h"

#include <string>
#include <vector>

#include "cli/console.h"

int main(int argc, char** argv) {
  std::vector<std::string> args = kor::console::arguments(argc, argv);
  std::vector<char*> pointers;
  for (std::string& a : args) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  return kor::cli::run(int(args.size()), pointers.data());
}
