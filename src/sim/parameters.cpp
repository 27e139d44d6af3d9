// Parameter memory written by parameter frames.
#include "sim/unit.h"

namespace kor::sim {

void AddParameterServices(Unit&) {}

}  // namespace kor::sim
