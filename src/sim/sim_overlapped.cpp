#include "sim/sim_overlapped.h"

#include "app/timing.h"

namespace kor::sim {

class SimOverlappedDevice : public OverlappedDevice {
 public:
  explicit SimOverlappedDevice(SimOverlappedDriver& d) : d_(d) {}
  ~SimOverlappedDevice() override { Close(); }

  bool Configure(int speed) override {
    ++d_.configures;
    if (d_.faults.badConfig) return false;
    speed_ = speed;
    d_.lastSpeed = speed;
    return true;
  }

  bool WriteByte(uint8_t b, unsigned limitMs) override {
    if (d_.faults.deadLine) {
      sleep_ms(limitMs);  // the wait for a completion that never comes
      return false;
    }
    d_.unit_.Receive(&b, 1, timing().NowUs(), speed_);
    ++d_.written;
    return true;
  }

  long Queued() override {
    // The driver's input queue: what the unit has sent by now.
    uint8_t buf[256];
    size_t n;
    while ((n = d_.unit_.Take(buf, sizeof buf, timing().NowUs())) > 0) in_.insert(in_.end(), buf, buf + n);
    return long(in_.size());
  }

  long Read(uint8_t* buf, unsigned count, unsigned) override {
    ++d_.reads;
    unsigned n = 0;
    while (n < count && !in_.empty()) {
      buf[n++] = in_.front();
      in_.pop_front();
    }
    return long(n);
  }

  void Close() override {
    if (closed_) return;
    closed_ = true;
    ++d_.closes;
    d_.open = false;
  }

 private:
  SimOverlappedDriver& d_;
  int speed_ = 0;
  std::deque<uint8_t> in_;
  bool closed_ = false;
};

std::unique_ptr<OverlappedDevice> SimOverlappedDriver::Open(const std::string& path) {
  lastPath = path;
  if (faults.missing || open || (serial_ && serial_->open)) return nullptr;
  ++opens;
  open = true;
  return std::make_unique<SimOverlappedDevice>(*this);
}

}  // namespace kor::sim
