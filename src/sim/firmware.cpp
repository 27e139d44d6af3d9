// Programming mode (flash pages) and the clock.
#include "sim/unit.h"

namespace kor::sim {

void AddFirmwareServices(Unit&) {}

}  // namespace kor::sim
