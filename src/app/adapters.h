// The FTDI USB-serial adapters the unit is reached through: which are plugged
// in, and which one's port the program uses (the last one found).
#pragma once
#include <memory>
#include <string>
#include <vector>

namespace kor {

struct AdapterEntry {
  char instanceId[256] = {};
  char portName[256] = {};
  char vendorId[5] = {};
  char productId[5] = {};
  char serial[31] = {};
  char portCopy[12] = {};  // what the port number is taken from
};

constexpr int kMaxAdapters = 10;
// The serial of the maker's own board; entry 0 with it reads "Плата подключена".
constexpr char kBoardSerial[] = "AL005JLJA";

// Where the adapters are listed: Windows reads the FTDI driver's enumeration in
// the registry; POSIX asks libserialport for USB ports of vendor 0403.
class AdapterSource {
 public:
  virtual ~AdapterSource() = default;
  // The enumeration's own count of adapters; false when it has none to give.
  virtual bool Count(int& count) = 0;
  // Instance id (FTDIBUS\VID_0403+PID_6001+SERIAL\0000 form) and port name of
  // enumeration entry n; false when the entry is absent.
  virtual bool Entry(int n, std::string& instanceId, std::string& portName) = 0;
  // How long the driver lets the adapter hold received bytes (its latency
  // timer, ms); false when the driver does not say.
  virtual bool LatencyTimer(const std::string& instanceId, const std::string& portName, unsigned& ms) {
    (void)instanceId;
    (void)portName;
    (void)ms;
    return false;
  }
};

AdapterSource& adapter_source();
// Tests put a made-up enumeration here; null restores the platform's.
void set_adapter_source(AdapterSource* s);
std::unique_ptr<AdapterSource> make_platform_adapter_source();

// Vendor id, product id and serial cut from the instance id by position.
void CutInstanceId(const char* instanceId, AdapterEntry& e);
// The number after the last capital M of a port name (COM12 -> 12); 0 without one.
int PortNumberOf(const char* portName);
bool ReadAdapterEntry(int n, AdapterEntry& e);

struct AdapterScan {
  bool any = false;
  int chosen = -1;  // the last entry read before the first absent one
  AdapterEntry table[kMaxAdapters];
};
AdapterScan ScanAdapters();

// The settings dialog's lines "vid   pid   serial   port", one per entry the
// enumeration counts (absent ones skipped).
std::vector<std::string> AdapterListLines();
// The entries behind those lines, and one entry's line.
std::vector<AdapterEntry> AdapterListEntries();
std::string AdapterLineText(const AdapterEntry& e);

// "latency timer: PORT N ms" for each adapter whose driver says, in list order:
// it decides how soon fast mode gets its answers.
std::vector<std::string> AdapterLatencyLines();

// Port label text for a port name at a speed: "COM5 200 Кбит/c"; other speeds
// give the name alone.
std::string PortLabelText(const char* portName, int speed);

}  // namespace kor
