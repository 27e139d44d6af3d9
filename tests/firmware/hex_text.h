// Intel HEX text for the firmware tests.
#pragma once
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace kor::test {

// One record with its checksum, ended by CR LF.
inline std::string hex_record(int type, int address, const std::vector<int>& data) {
  std::vector<int> bytes = {int(data.size()), address >> 8, address & 0xFF, type};
  bytes.insert(bytes.end(), data.begin(), data.end());
  int sum = 0;
  std::string s = ":";
  char b[3];
  for (int v : bytes) {
    std::snprintf(b, sizeof b, "%02X", v & 0xFF);
    s += b;
    sum += v;
  }
  std::snprintf(b, sizeof b, "%02X", (256 - sum % 256) % 256);
  return s + b + "\r\n";
}

// count bytes first, first+1, ... at address.
inline std::string hex_data(int address, int count, int first = 0) {
  std::vector<int> d;
  for (int i = 0; i < count; ++i) d.push_back((first + i) & 0xFF);
  return hex_record(0, address, d);
}

inline std::string hex_segment(int value) { return hex_record(2, 0, {value >> 8, value & 0xFF}); }

inline const std::string kHexEof = ":00000001FF\r\n";

// The bytes of an image as 16-byte records from address 0, with segment records
// every 64 KiB, and the end-of-file record.
inline std::string hex_file(const std::vector<int>& image) {
  std::string text;
  for (size_t at = 0; at < image.size(); at += 16) {
    if (at % 0x10000 == 0 && at > 0) text += hex_segment(int(at / 16));
    size_t n = std::min<size_t>(16, image.size() - at);
    text += hex_record(0, int(at % 0x10000), std::vector<int>(image.begin() + long(at), image.begin() + long(at + n)));
  }
  return text + kHexEof;
}

}  // namespace kor::test
