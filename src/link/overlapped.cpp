#include "link/overlapped.h"

#include <algorithm>

#include "app/app_state.h"
#include "app/timing.h"
#include "link/serial_device.h"

namespace kor {

namespace {

// How often a waiting read looks again for bytes that have not arrived yet.
constexpr unsigned kPollMs = 5;

OverlappedDriver* g_driver = nullptr;

OverlappedDriver& platform_driver() {
  static std::unique_ptr<OverlappedDriver> d = make_platform_overlapped_driver();
  return *d;
}

}  // namespace

OverlappedDriver& overlapped_driver() { return g_driver ? *g_driver : platform_driver(); }

void set_overlapped_driver(OverlappedDriver* d) { g_driver = d; }

int OverlappedChannel::Open(int com, int speed) {
  if (open_) return 1;
  return OpenDevice(com_device_path(com).c_str(), speed);
}

int OverlappedChannel::OpenDevice(const char* path, int speed) {
  if (open_) return 1;
  dev_ = overlapped_driver().Open(path);
  if (!dev_) return 0;
  if (!dev_->Configure(speed)) {
    dev_->Close();
    dev_.reset();
    return 0;
  }
  open_ = 1;
  return 1;
}

void OverlappedChannel::Close() {
  if (open_ && dev_) dev_->Close();
  dev_.reset();
  open_ = 0;
}

int OverlappedChannel::Write(const uint8_t* data, int length) {
  if (!open_ || !dev_ || length <= 0) return 0;
  // A byte that fails or times out is not retried: the answer that does not
  // come tells the caller.
  for (int i = 0; i < length; ++i) dev_->WriteByte(data[i], kOverlappedWriteLimitMs);
  return length;
}

int OverlappedChannel::Read(uint8_t* buf, int count) {
  if (!open_ || !dev_ || count <= 0) return 0;
  long queued = dev_->Queued();
  if (queued <= 0) return 0;
  long n = dev_->Read(buf, unsigned(std::min<long>(count, queued)), kOverlappedReadLimitMs);
  return n < 0 ? 0 : int(n);
}

int OverlappedChannel::ReadFull(uint8_t* buf, int count) {
  if (!open_ || !dev_ || count <= 0) return 0;
  const uint64_t deadline = timing().NowUs() + uint64_t(kOverlappedReadLimitMs) * 1000;
  int got = 0;
  for (;;) {
    got += Read(buf + got, count - got);
    if (got >= count || timing().NowUs() >= deadline) return got;
    sleep_ms(kPollMs);
  }
}

void OverlappedChannel::AwaitAnswer(int count, unsigned waitMs) {
  if (!app().fastMode) {
    sleep_ms(waitMs);
    return;
  }
  // This channel's reads take only what is queued: look every millisecond.
  const uint64_t deadline = timing().NowUs() + uint64_t(waitMs) * 1000;
  for (;;) {
    const long queued = open_ && dev_ ? dev_->Queued() : -1;
    const uint64_t now = timing().NowUs();
    if (queued < 0 || queued >= count || now >= deadline) return;
    timing().SleepUs(std::min<uint64_t>(1000, deadline - now));
  }
}

int OpenAppChannel(OverlappedChannel& ch) {
  AppState& a = app();
  if (a.portPath[0]) return ch.OpenDevice(a.portPath, a.speed);
  return ch.Open(a.comPort, a.speed);
}

}  // namespace kor
