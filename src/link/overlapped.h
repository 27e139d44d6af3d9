// The second serial channel, used only for the correction tables: it keeps its
// port to itself (no part in the port-in-use flag of CRs232) and its writes and
// reads wait, with limits, instead of returning at once.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace kor {

constexpr unsigned kOverlappedWriteLimitMs = 1000;  // per byte
constexpr unsigned kOverlappedReadLimitMs = 2000;
constexpr unsigned kOverlappedQueueSize = 10000;    // driver queues, each way

// One open port of the platform (overlapped_win32.cpp, overlapped_posix.cpp) or of
// the simulated unit. Waits are bounded by the limits given.
class OverlappedDevice {
 public:
  virtual ~OverlappedDevice() = default;
  // The driver's line settings with 8 data bits and the speed, the time-outs
  // and the queues. False when the port cannot be used.
  virtual bool Configure(int speed) = 0;
  // One byte out; false when it failed or did not complete within limitMs.
  virtual bool WriteByte(uint8_t b, unsigned limitMs) = 0;
  // Bytes received and not read yet; -1 on failure.
  virtual long Queued() = 0;
  // Reads at most count bytes (the caller asks only for what is queued); a read
  // the driver holds back is waited for up to limitMs. The count read, -1 on failure.
  virtual long Read(uint8_t* buf, unsigned count, unsigned limitMs) = 0;
  virtual void Close() = 0;
};

class OverlappedDriver {
 public:
  virtual ~OverlappedDriver() = default;
  // Exclusive open; null when the device is missing or held by anyone else.
  virtual std::unique_ptr<OverlappedDevice> Open(const std::string& path) = 0;
};

OverlappedDriver& overlapped_driver();
// Tests install the simulated unit here; null restores the platform's driver.
void set_overlapped_driver(OverlappedDriver* d);
std::unique_ptr<OverlappedDriver> make_platform_overlapped_driver();

class OverlappedChannel {
 public:
  OverlappedChannel() = default;
  OverlappedChannel(const OverlappedChannel&) = delete;
  OverlappedChannel& operator=(const OverlappedChannel&) = delete;
  ~OverlappedChannel() { Close(); }

  // 1 when open (also when it already was), 0 on failure. No message: the caller reports.
  int Open(int com, int speed);
  int OpenDevice(const char* path, int speed);
  void Close();
  bool IsOpen() const { return open_ != 0; }

  // Byte by byte, each waited for up to 1 s. length when sent, 0 when the
  // channel is closed or length <= 0.
  int Write(const uint8_t* data, int length);
  // What is queued, at most count bytes; 0 when nothing is or the channel is closed.
  int Read(uint8_t* buf, int count);
  // Waits up to 2 s for count bytes to arrive and reads them; the number read,
  // count only when all came.
  int ReadFull(uint8_t* buf, int count);
  // The fixed wait for an answer of count bytes; in fast mode it ends as soon as
  // they are all queued, waitMs staying the bound.
  void AwaitAnswer(int count, unsigned waitMs);

 private:
  std::unique_ptr<OverlappedDevice> dev_;
  int open_ = 0;
};

// Opens the port AppState names (its device path when set, else its COM number)
// at AppState's speed.
int OpenAppChannel(OverlappedChannel& ch);

}  // namespace kor
