// The simulated unit behind the overlapped channel's interface, in the same
// process, on whatever time the program runs on (virtual time in tests).
#pragma once
#include <cstdint>
#include <deque>
#include <string>

#include "link/overlapped.h"
#include "sim/sim_port.h"
#include "sim/unit.h"

namespace kor::sim {

struct OverlappedFaults {
  bool missing = false;    // the device cannot be opened
  bool badConfig = false;  // the line settings or the queues are refused
  bool deadLine = false;   // written bytes never complete (and never reach the unit)
};

class SimOverlappedDriver : public OverlappedDriver {
 public:
  // With serial given, a port that CRs232 holds through it cannot be opened here.
  explicit SimOverlappedDriver(Unit& unit, const SimPortDriver* serial = nullptr) : unit_(unit), serial_(serial) {}
  std::unique_ptr<OverlappedDevice> Open(const std::string& path) override;

  OverlappedFaults faults;
  std::string lastPath;  // the device path of the last open
  int lastSpeed = 0;     // the speed the line was last set to
  int opens = 0;         // devices handed out
  int configures = 0;    // configurations tried (events and queues made)
  int closes = 0;
  int reads = 0;         // reads issued to the driver
  long written = 0;      // bytes the unit received
  bool open = false;

 private:
  friend class SimOverlappedDevice;
  Unit& unit_;
  const SimPortDriver* serial_;
};

}  // namespace kor::sim
