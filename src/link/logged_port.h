// Both serial channels as the exchange log sees them: every frame written and
// every answer read, with the opening, line settings, purges and closing.
#pragma once
#include <memory>
#include <string>

#include "app/exchange_log.h"
#include "link/overlapped.h"
#include "link/serial_device.h"

namespace kor {

class LoggedPortDriver : public PortDriver {
 public:
  explicit LoggedPortDriver(PortDriver& inner) : inner_(inner) {}
  std::unique_ptr<SerialDevice> Open(const std::string& path) override;

 private:
  PortDriver& inner_;
};

class LoggedOverlappedDriver : public OverlappedDriver {
 public:
  explicit LoggedOverlappedDriver(OverlappedDriver& inner) : inner_(inner) {}
  std::unique_ptr<OverlappedDevice> Open(const std::string& path) override;

 private:
  OverlappedDriver& inner_;
};

// Puts both logged drivers over the ones in use for its lifetime.
class PortLogScope {
 public:
  PortLogScope();
  ~PortLogScope();
  PortLogScope(const PortLogScope&) = delete;
  PortLogScope& operator=(const PortLogScope&) = delete;

 private:
  PortDriver& port_;
  OverlappedDriver& overlapped_;
  LoggedPortDriver loggedPort_;
  LoggedOverlappedDriver loggedOverlapped_;
};

// One operation's exchange log, from its start line to its end line: the
// frames, the waits and the messages are logged from where they happen while
// it lasts, and everything is put back when it ends.
class LoggedRun {
 public:
  LoggedRun() = default;
  ~LoggedRun();
  LoggedRun(const LoggedRun&) = delete;
  LoggedRun& operator=(const LoggedRun&) = delete;

  // Appends to path; false when it cannot be opened (nothing is logged then).
  bool Start(const std::string& path, const std::string& what, const std::string& port, int speed);
  // "end: exit status N".
  void End(int status);
  // An error or a warning was shown (or a failure the window keeps silent).
  bool failed() const { return shown_ && shown_->failed(); }

 private:
  std::unique_ptr<ExchangeLog> log_;
  std::unique_ptr<PortLogScope> ports_;
  std::unique_ptr<LoggedTiming> timedWaits_;
  std::unique_ptr<LoggedOperator> shown_;
  Timing* previousTiming_ = nullptr;
  Operator* previousOperator_ = nullptr;
};

}  // namespace kor
