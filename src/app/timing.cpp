#include "app/timing.h"

#include <chrono>
#include <thread>

namespace kor {

namespace {

class RealTiming : public Timing {
 public:
  void Sleep(unsigned ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
  void SleepUs(uint64_t us) override { std::this_thread::sleep_for(std::chrono::microseconds(us)); }
  uint64_t NowUs() override {
    return uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
  }
};

RealTiming g_real;
Timing* g_timing = &g_real;

}  // namespace

Timing& timing() { return *g_timing; }

void set_timing(Timing* t) { g_timing = t ? t : &g_real; }

}  // namespace kor
