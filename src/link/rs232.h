// The serial port every exchange with the unit goes through (except the
// correction tables, which have their own channel). One port at a time in the
// whole program: the shared open device is the port-in-use flag.
#pragma once
#include <cstdint>
#include <span>

#include "app/app_state.h"
#include "link/serial_device.h"

namespace kor {

class CRs232 {
 public:
  CRs232() = default;
  CRs232(const CRs232&) = delete;
  CRs232& operator=(const CRs232&) = delete;
  ~CRs232() { Close(); }

  // 0 = normal, -1 = link lost (a write failed): the device is then abandoned.
  int linkState = 0;

  void ResetLinkState() { linkState = 0; }
  // 0 when open and configured, 1 on any failure (reported, except a bad speed).
  int OpenComport(int com, int speed, Handle owner);
  // Same checks and messages, for a port named by its device path.
  int OpenDevice(const char* path, int speed, Handle owner);
  void Close();
  unsigned Read(uint8_t* buf, unsigned count);
  // Until count bytes are in or waitUs has passed; the count read (0 on failure).
  unsigned ReadExact(uint8_t* buf, unsigned count, uint64_t waitUs);
  int Write(const uint8_t* buf, unsigned count);
  void Purge();

  static SerialDevice* PortHandle();
  static bool PortInUse() { return PortHandle() != nullptr; }
  static bool SpeedAccepted(int speed);
  // How long the adapter may hold received bytes before passing them on: 1 ms
  // when its driver took the low-latency request, else the FTDI default.
  static unsigned AdapterLatencyMs();
  static std::span<const int> AcceptedSpeeds();

 private:
  int Open(const char* path, int speed, Handle owner);
  bool owner_ = false;  // only the object that opened the port closes it
};

// Opens the port AppState names: its device path when set, else its COM number.
int OpenAppPort(CRs232& rs);

}  // namespace kor
