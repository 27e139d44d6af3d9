// Program and subprogram storage of both generations.
#include "sim/unit.h"

namespace kor::sim {

void AddProgramServices(Unit&) {}

}  // namespace kor::sim
