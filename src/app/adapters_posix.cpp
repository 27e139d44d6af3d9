// Without the FTDI driver's registry, the USB serial ports of vendor 0403 stand
// in for its enumeration; each gets the instance id the driver would give it, so
// the same fields come out of it.
#include <libserialport.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "app/adapters.h"

namespace kor {

namespace {

struct Found {
  std::string id, port;
};

std::vector<Found> ListFtdiPorts() {
  std::vector<Found> out;
  struct sp_port** ports = nullptr;
  if (sp_list_ports(&ports) != SP_OK) return out;
  for (int i = 0; ports[i]; ++i) {
    if (sp_get_port_transport(ports[i]) != SP_TRANSPORT_USB) continue;
    int vid = 0, pid = 0;
    if (sp_get_port_usb_vid_pid(ports[i], &vid, &pid) != SP_OK || vid != 0x0403) continue;
    const char* serial = sp_get_port_usb_serial(ports[i]);
    char id[256];
    std::snprintf(id, sizeof id, "FTDIBUS\\VID_%04X+PID_%04X+%s\\0000", vid, pid, serial ? serial : "");
    out.push_back({id, sp_get_port_name(ports[i])});
  }
  sp_free_port_list(ports);
  // A steady order, so "the last one found" is the same adapter every time:
  // /dev/ttyUSB2 before /dev/ttyUSB10.
  std::sort(out.begin(), out.end(), [](const Found& a, const Found& b) {
    return a.port.size() != b.port.size() ? a.port.size() < b.port.size() : a.port < b.port;
  });
  return out;
}

class UsbSerialPorts : public AdapterSource {
 public:
  bool Count(int& count) override {
    count = int(ListFtdiPorts().size());
    return count > 0;
  }
  bool Entry(int n, std::string& instanceId, std::string& portName) override {
    std::vector<Found> all = ListFtdiPorts();
    if (n < 0 || size_t(n) >= all.size()) return false;
    instanceId = all[size_t(n)].id;
    portName = all[size_t(n)].port;
    return true;
  }
  // The usb-serial drivers publish it beside the device: /dev/ttyUSB0 has
  // /sys/bus/usb-serial/devices/ttyUSB0/latency_timer.
  bool LatencyTimer(const std::string&, const std::string& portName, unsigned& ms) override {
    const size_t slash = portName.rfind('/');
    const std::string dev = slash == std::string::npos ? portName : portName.substr(slash + 1);
    std::ifstream in("/sys/bus/usb-serial/devices/" + dev + "/latency_timer");
    unsigned v = 0;
    if (!(in >> v)) return false;
    ms = v;
    return true;
  }
};

}  // namespace

std::unique_ptr<AdapterSource> make_platform_adapter_source() { return std::make_unique<UsbSerialPorts>(); }

}  // namespace kor
