#include "support/sim_fixture.h"

#include <cstdio>
#include <cstdlib>

#include "link/rs232.h"
#include "link/serial_device.h"

namespace kor::test {

void SimTest::SetUp() {
  reset_app_state();
  app().comPort = 5;
  app().speed = 200000;
  set_timing(&clock);
  set_port_driver(&driver);
  set_operator(&rec);
}

void SimTest::TearDown() {
  // A test that failed half-way must not leave the port taken for the next one.
  EXPECT_FALSE(CRs232::PortInUse());
  set_operator(nullptr);
  set_port_driver(nullptr);
  set_timing(nullptr);
  reset_app_state();
}

std::vector<uint8_t> hex(const char* text) {
  std::vector<uint8_t> out;
  const char* p = text;
  while (*p) {
    while (*p == ' ') ++p;
    if (!*p) break;
    char* end = nullptr;
    out.push_back(uint8_t(std::strtoul(p, &end, 16)));
    p = end;
  }
  return out;
}

std::string to_hex(const std::vector<uint8_t>& bytes) {
  std::string s;
  char b[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(b, sizeof b, i ? " %02X" : "%02X", bytes[i]);
    s += b;
  }
  return s;
}

}  // namespace kor::test
