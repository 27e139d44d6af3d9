// Correction tables and the control text frame.
#include "sim/unit.h"

namespace kor::sim {

void AddCorrectionServices(Unit&) {}

}  // namespace kor::sim
