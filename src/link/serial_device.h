// The platform side of the serial port: one small interface, a backend per
// platform (serial_win32.cpp, serial_posix.cpp) and the simulated unit's driver.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace kor {

// One open port. Destroying it does not close the device: a port whose link was
// lost is abandoned, not closed, so closing is always asked for explicitly.
// (POSIX lets go of the descriptor anyway: a held descriptor keeps the path
// of a replugged adapter from being opened again.)
class SerialDevice {
 public:
  virtual ~SerialDevice() = default;
  virtual bool BuildLine(const char* mode) = 0;  // parse "baud=... data=8 parity=N stop=1"
  virtual bool SetLine() = 0;                    // apply it
  virtual bool SetNonBlockingReads() = 0;        // reads return at once with what has arrived
  virtual bool Purge() = 0;                      // drop stale input; what was written still leaves
  virtual long Read(uint8_t* buf, unsigned count) = 0;         // -1 on failure
  virtual long Write(const uint8_t* buf, unsigned count) = 0;  // -1 on failure
  // Fast mode's read: returns once count bytes are in, or when waitUs has
  // passed with fewer. The bytes read; -1 on failure.
  virtual long ReadExact(uint8_t* buf, unsigned count, uint64_t waitUs) = 0;
  // Fast mode: asks the USB-serial driver to pass bytes on without holding them
  // for its latency timer, until Close. False when the driver will not.
  virtual bool RequestLowLatency() { return false; }
  virtual void Close() = 0;
};

// Why an open gave nothing, so the person learns what to do about it.
enum class OpenFailure { Unavailable, Busy, Denied };

class PortDriver {
 public:
  virtual ~PortDriver() = default;
  // Null when the device cannot be opened (missing, or held by someone else).
  virtual std::unique_ptr<SerialDevice> Open(const std::string& path) = 0;
  // The cause of the last null Open.
  virtual OpenFailure LastFailure() const { return OpenFailure::Unavailable; }
};

PortDriver& port_driver();
// Tests install the simulated unit's driver here; null restores the platform's.
void set_port_driver(PortDriver* d);
std::unique_ptr<PortDriver> make_platform_port_driver();

// "\\.\COMn" on Windows; on POSIX COMn is /dev/ttyS(n-1), as Cygwin names them.
std::string com_device_path(int com);

// The line settings of a mode string as BuildCommDCBA reads them.
struct LineSettings {
  int baud = 0;
  int dataBits = 8;
  char parity = 'N';
  int stopBits = 1;
};
bool parse_mode_string(const char* mode, LineSettings& out);

}  // namespace kor
