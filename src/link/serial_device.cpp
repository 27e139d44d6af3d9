#include "link/serial_device.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kor {

namespace {
PortDriver* g_driver = nullptr;

PortDriver& platform_driver() {
  static std::unique_ptr<PortDriver> d = make_platform_port_driver();
  return *d;
}
}  // namespace

PortDriver& port_driver() { return g_driver ? *g_driver : platform_driver(); }

void set_port_driver(PortDriver* d) { g_driver = d; }

std::string com_device_path(int com) {
  char buf[32];
#ifdef _WIN32
  std::snprintf(buf, sizeof buf, "\\\\.\\COM%d", com);
#else
  std::snprintf(buf, sizeof buf, "/dev/ttyS%d", com - 1);
#endif
  return buf;
}

// Accepts the "key=value" form BuildCommDCBA takes; unknown keys are refused.
bool parse_mode_string(const char* mode, LineSettings& out) {
  LineSettings s;
  bool baud = false;
  const char* p = mode;
  while (*p) {
    while (*p == ' ') ++p;
    if (!*p) break;
    const char* eq = std::strchr(p, '=');
    if (!eq) return false;
    std::string key(p, eq);
    const char* v = eq + 1;
    const char* end = v;
    while (*end && *end != ' ') ++end;
    std::string val(v, end);
    p = end;
    if (val.empty()) return false;
    for (auto& c : key) c = char(std::tolower(static_cast<unsigned char>(c)));
    char* rest = nullptr;
    if (key == "baud") {
      long b = std::strtol(val.c_str(), &rest, 10);
      if (*rest || b <= 0) return false;
      s.baud = int(b);
      baud = true;
    } else if (key == "data") {
      long d = std::strtol(val.c_str(), &rest, 10);
      if (*rest || d < 5 || d > 8) return false;
      s.dataBits = int(d);
    } else if (key == "parity") {
      char c = char(std::toupper(static_cast<unsigned char>(val[0])));
      if (val.size() != 1 || !std::strchr("NOEMS", c)) return false;
      s.parity = c;
    } else if (key == "stop") {
      if (val != "1" && val != "2") return false;
      s.stopBits = val[0] - '0';
    } else {
      return false;
    }
  }
  if (!baud) return false;
  out = s;
  return true;
}

}  // namespace kor
