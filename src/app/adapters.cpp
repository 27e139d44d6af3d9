#include "app/adapters.h"

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>

namespace kor {

namespace {
AdapterSource* g_source = nullptr;
std::unique_ptr<AdapterSource> g_platform;

void copy_field(char* dst, size_t size, const char* src, size_t n) {
  n = std::min(n, size - 1);
  std::memcpy(dst, src, n);
  dst[n] = 0;
}
}  // namespace

AdapterSource& adapter_source() {
  if (g_source) return *g_source;
  if (!g_platform) g_platform = make_platform_adapter_source();
  return *g_platform;
}

void set_adapter_source(AdapterSource* s) { g_source = s; }

void CutInstanceId(const char* id, AdapterEntry& e) {
  // Positions of the FTDIBUS\VID_xxxx+PID_xxxx+serial\... form; a shorter id
  // leaves the missing fields empty.
  const size_t len = std::strlen(id);
  auto cut = [&](char* dst, size_t size, size_t from, size_t n) {
    if (from >= len) {
      dst[0] = 0;
      return;
    }
    copy_field(dst, size, id + from, std::min(n, len - from));
  };
  cut(e.vendorId, sizeof e.vendorId, 12, 4);
  cut(e.productId, sizeof e.productId, 21, 4);
  size_t end = 26;
  while (end < len && id[end] != '\\') ++end;
  cut(e.serial, sizeof e.serial, 26, end > 26 ? end - 26 : 0);
}

int PortNumberOf(const char* portName) {
  const char* m = std::strrchr(portName, 'M');
  if (!m) return 0;
  return std::atoi(m + 1);
}

bool ReadAdapterEntry(int n, AdapterEntry& e) {
  std::string id, port;
  if (!adapter_source().Entry(n, id, port)) return false;
  e = AdapterEntry{};
  copy_field(e.instanceId, sizeof e.instanceId, id.c_str(), id.size());
  CutInstanceId(e.instanceId, e);
  copy_field(e.portName, sizeof e.portName, port.c_str(), port.size());
  copy_field(e.portCopy, sizeof e.portCopy, port.c_str(), port.size());
  return true;
}

AdapterScan ScanAdapters() {
  AdapterScan s;
  for (int n = 0; n < kMaxAdapters; ++n) {
    if (!ReadAdapterEntry(n, s.table[n])) break;
    s.any = true;
    s.chosen = n;
  }
  return s;
}

std::vector<AdapterEntry> AdapterListEntries() {
  std::vector<AdapterEntry> entries;
  int count = 0;
  if (!adapter_source().Count(count)) return entries;
  for (int n = 0; n < count && n < kMaxAdapters; ++n) {
    AdapterEntry e;
    if (ReadAdapterEntry(n, e)) entries.push_back(e);
  }
  return entries;
}

std::string AdapterLineText(const AdapterEntry& e) {
  std::string line = std::string(e.vendorId) + "   " + e.productId + "   " + e.serial + "   " + e.portName;
  if (line.size() > 49) line.resize(49);
  return line;
}

std::vector<std::string> AdapterListLines() {
  std::vector<std::string> lines;
  for (const AdapterEntry& e : AdapterListEntries()) lines.push_back(AdapterLineText(e));
  return lines;
}

std::vector<std::string> AdapterLatencyLines() {
  std::vector<std::string> lines;
  AdapterSource& src = adapter_source();
  int count = 0;
  if (!src.Count(count)) return lines;
  for (int n = 0; n < count && n < kMaxAdapters; ++n) {
    std::string id, port;
    unsigned ms = 0;
    if (!src.Entry(n, id, port) || !src.LatencyTimer(id, port, ms)) continue;
    lines.push_back("latency timer: " + port + " " + std::to_string(ms) + " ms");
  }
  return lines;
}

std::string PortLabelText(const char* portName, int speed) {
  const char* fmt = speed == 2000000   ? "%s 2 Мбит/c"
                    : speed == 200000 ? "%s 200 Кбит/c"
                    : speed == 115200 ? "%s 115,2 Кбит/c"
                                      : "%s";
  char text[300];
  std::snprintf(text, sizeof text, fmt, portName);
  text[19] = 0;  // the label holds 19 characters
  return text;
}

}  // namespace kor
