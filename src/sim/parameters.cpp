// Parameter memory written by parameter frames.
#include "sim/parameters.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "protocol/frames.h"

namespace kor::sim {

bool ParameterService::Handle(Unit& unit, const std::vector<uint8_t>& f, std::vector<uint8_t>&) {
  if (f.size() != size_t(kParamFrameSize) || f[0] != 0x00 || f[3] != 0x05 || f[4] != 0x05) return false;
  const unsigned k = f[5];
  // The block number comes twice; a frame whose copies differ is noise.
  if (f[6] != k || k >= 128) return true;
  if (int(k) == dropBlock) {
    dropBlock = -1;
    return true;
  }
  if (unit.paramMemory.size() < 4096) unit.paramMemory.resize(4096, 0xFF);
  std::copy(f.begin() + 8, f.end(), unit.paramMemory.begin() + long(k) * kParamBlockSize);
  ++blocksWritten;
  if (k == 127 && !dumpPath.empty()) DumpParameterMemory(unit, dumpPath);
  return true;
}

bool DumpParameterMemory(const Unit& unit, const std::string& path) {
  // Written under another name first, so a reader never sees half a memory.
  const std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(unit.paramMemory.data()), std::streamsize(unit.paramMemory.size()));
    if (!out.flush()) return false;
  }
  return std::rename(tmp.c_str(), path.c_str()) == 0;
}

void AddParameterServices(Unit& unit) { unit.AddService(std::make_unique<ParameterService>()); }

}  // namespace kor::sim
