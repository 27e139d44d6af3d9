// Both serial channels as the exchange log sees them: every frame written and
// every answer read, with the opening, line settings, purges and closing.
#pragma once
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

}  // namespace kor
