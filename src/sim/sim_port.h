// The simulated unit behind the serial-port interface, in the same process, on
// whatever time the program runs on (virtual time in tests).
#pragma once
#include <string>

#include "link/serial_device.h"
#include "sim/unit.h"

namespace kor::sim {

struct PortFaults {
  bool missing = false;      // the device cannot be opened
  bool busy = false;         // another program holds the device
  bool denied = false;       // no permission to open the device
  bool badLine = false;      // the mode string is refused
  bool badState = false;     // the line settings are refused
  bool badTimeouts = false;  // the time-outs are refused
  bool badPurge = false;     // the purge fails
  bool writeFails = false;   // the cable was pulled: writes fail
  int writesBeforePull = -1;  // >= 0: the cable is pulled after this many more writes
};

class SimPortDriver : public PortDriver {
 public:
  explicit SimPortDriver(Unit& unit) : unit_(unit) {}
  std::unique_ptr<SerialDevice> Open(const std::string& path) override;
  OpenFailure LastFailure() const override { return failure_; }

  PortFaults faults;
  std::string lastPath;  // the device path of the last open
  int lastSpeed = 0;     // the speed the line was last set to
  int opens = 0;         // devices handed out
  int writes = 0;        // writes that reached the unit
  int closes = 0;        // devices closed
  int abandoned = 0;     // devices let go without a close (the link was lost)
  bool open = false;     // a device is open and not closed

 private:
  friend class SimDevice;
  Unit& unit_;
  OpenFailure failure_ = OpenFailure::Unavailable;
};

}  // namespace kor::sim
