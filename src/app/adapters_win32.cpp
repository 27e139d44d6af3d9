// The FTDI serial driver (service FTSER2K) lists its adapters in the registry.
#include <windows.h>

#include <cstdio>

#include "app/adapters.h"

namespace kor {

namespace {

constexpr char kEnumKey[] = "SYSTEM\\ControlSet001\\Services\\FTSER2K\\Enum";

class FtdiRegistry : public AdapterSource {
 public:
  bool Count(int& count) override {
    HKEY k;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kEnumKey, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    DWORD type = 0, value = 0, cb = sizeof value;
    LONG r = RegQueryValueExA(k, "Count", nullptr, &type, reinterpret_cast<BYTE*>(&value), &cb);
    RegCloseKey(k);
    if (r != ERROR_SUCCESS || type != REG_DWORD) return false;
    count = int(value > 1000 ? 1000 : value);
    return true;
  }

  bool Entry(int n, std::string& instanceId, std::string& portName) override {
    HKEY k;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kEnumKey, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    char name[16], id[256] = {};
    std::snprintf(name, sizeof name, "%d", n);
    if (!ReadText(k, name, id, sizeof id)) {
      RegCloseKey(k);
      return false;
    }
    RegCloseKey(k);
    char key[400];
    std::snprintf(key, sizeof key, "SYSTEM\\ControlSet001\\Enum\\%s\\Device Parameters", id);
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    char port[256] = {};
    bool ok = ReadText(k, "PortName", port, sizeof port);
    RegCloseKey(k);
    if (!ok) return false;
    instanceId = id;
    portName = port;
    return true;
  }

  bool LatencyTimer(const std::string& instanceId, const std::string&, unsigned& ms) override {
    char key[400];
    std::snprintf(key, sizeof key, "SYSTEM\\ControlSet001\\Enum\\%s\\Device Parameters", instanceId.c_str());
    HKEY k;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    DWORD type = 0, value = 0, cb = sizeof value;
    const LONG r = RegQueryValueExA(k, "LatencyTimer", nullptr, &type, reinterpret_cast<BYTE*>(&value), &cb);
    RegCloseKey(k);
    if (r != ERROR_SUCCESS || type != REG_DWORD) return false;
    ms = unsigned(value);
    return true;
  }

 private:
  static bool ReadText(HKEY k, const char* name, char* buf, DWORD size) {
    DWORD type = 0, cb = size - 1;  // room kept for a terminator the value may lack
    if (RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &cb) != ERROR_SUCCESS) return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    buf[cb] = 0;
    return true;
  }
};

}  // namespace

std::unique_ptr<AdapterSource> make_platform_adapter_source() { return std::make_unique<FtdiRegistry>(); }

}  // namespace kor
