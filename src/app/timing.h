// Every fixed wait of the protocol goes through here so that tests can run the
// protocol on virtual time.
#pragma once
#include <cstdint>

namespace kor {

class Timing {
 public:
  virtual ~Timing() = default;
  virtual void Sleep(unsigned ms) = 0;
  virtual uint64_t NowUs() = 0;  // monotonic microseconds
  // Finer than Sleep, for a simulated line that waits for its next byte.
  virtual void SleepUs(uint64_t us) { Sleep(unsigned((us + 999) / 1000)); }
};

Timing& timing();
void set_timing(Timing* t);  // null restores real time

inline void sleep_ms(unsigned ms) { timing().Sleep(ms); }

// Time that only moves when someone sleeps.
class VirtualTiming : public Timing {
 public:
  void Sleep(unsigned ms) override { now_ += uint64_t(ms) * 1000; slept_ += ms; }
  uint64_t NowUs() override { return now_; }
  void SleepUs(uint64_t us) override { now_ += us; }
  void Advance(uint64_t us) { now_ += us; }
  uint64_t slept_ms() const { return slept_; }

 private:
  uint64_t now_ = 1000000;
  uint64_t slept_ = 0;
};

}  // namespace kor
