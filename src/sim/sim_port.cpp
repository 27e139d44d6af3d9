#include "sim/sim_port.h"

#include <algorithm>

#include "app/timing.h"

namespace kor::sim {

class SimDevice : public SerialDevice {
 public:
  explicit SimDevice(SimPortDriver& d) : d_(d) {}

  bool BuildLine(const char* mode) override {
    if (d_.faults.badLine) return false;
    return parse_mode_string(mode, line_);
  }
  bool SetLine() override {
    if (d_.faults.badState) return false;
    d_.lastSpeed = line_.baud;
    return true;
  }
  bool SetNonBlockingReads() override { return !d_.faults.badTimeouts; }
  bool Purge() override {
    if (d_.faults.badPurge) return false;
    d_.unit_.DropArrived(timing().NowUs());
    return true;
  }
  long Read(uint8_t* buf, unsigned count) override { return long(d_.unit_.Take(buf, count, timing().NowUs())); }
  long ReadExact(uint8_t* buf, unsigned count, uint64_t waitUs) override {
    // Sleeps from byte to byte on the program's clock, never past the limit.
    const uint64_t deadline = timing().NowUs() + waitUs;
    size_t got = 0;
    for (;;) {
      got += d_.unit_.Take(buf + got, count - got, timing().NowUs());
      const uint64_t now = timing().NowUs();
      if (got >= count || now >= deadline) return long(got);
      const uint64_t next = std::min(d_.unit_.NextDueUs(), deadline);
      timing().SleepUs(next > now ? next - now : 0);
    }
  }
  bool RequestLowLatency() override { return true; }  // nothing here holds bytes back
  long Write(const uint8_t* buf, unsigned count) override {
    if (d_.faults.writesBeforePull == 0) d_.faults.writeFails = true;
    if (d_.faults.writeFails) return -1;
    if (d_.faults.writesBeforePull > 0) --d_.faults.writesBeforePull;
    ++d_.writes;
    d_.unit_.Receive(buf, count, timing().NowUs(), line_.baud);
    return long(count);
  }
  void Close() override {
    if (closed_) return;
    closed_ = true;
    ++d_.closes;
    d_.open = false;
  }
  ~SimDevice() override {
    // Abandoned without a close: the simulated device is free for the next open.
    if (!closed_) ++d_.abandoned;
    d_.open = false;
  }

 private:
  SimPortDriver& d_;
  LineSettings line_;
  bool closed_ = false;
};

std::unique_ptr<SerialDevice> SimPortDriver::Open(const std::string& path) {
  lastPath = path;
  failure_ = faults.busy || open ? OpenFailure::Busy : faults.denied ? OpenFailure::Denied : OpenFailure::Unavailable;
  if (faults.missing || faults.busy || faults.denied || open) return nullptr;
  ++opens;
  open = true;
  return std::make_unique<SimDevice>(*this);
}

}  // namespace kor::sim
