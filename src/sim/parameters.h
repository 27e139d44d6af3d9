// The unit's parameter memory as parameter frames write it.
#pragma once
#include <string>

#include "sim/unit.h"

namespace kor::sim {

class ParameterService : public Service {
 public:
  // 00 28 02 05 05 k k c + 32 bytes: stored at 32k. No answer.
  bool Handle(Unit& unit, const std::vector<uint8_t>& frame, std::vector<uint8_t>& answer) override;

  // When set, the memory is written here each time block 127 arrives.
  std::string dumpPath;
  int blocksWritten = 0;
  // The parameter frame of this block (0..127) is lost on the way, once.
  int dropBlock = -1;
};

// Writes the unit's parameter memory into a file; false when it cannot.
bool DumpParameterMemory(const Unit& unit, const std::string& path);

}  // namespace kor::sim
