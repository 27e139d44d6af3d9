// A pseudo-terminal whose slave side the port code opens like a USB adapter;
// the test plays the unit on the master side. Linux only.
#pragma once
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace kor::test {

class PtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    path = ptsname(master);
  }
  void TearDown() override { close(master); }

  // Reads n bytes from the master side; the kernel may pass them on in pieces.
  // Returns how many arrived within about 200 ms.
  size_t ReadMaster(uint8_t* buf, size_t n) {
    size_t got = 0;
    for (int tries = 0; got < n && tries < 100; ++tries) {
      ssize_t r = read(master, buf + got, n - got);
      if (r > 0) got += size_t(r);
      else usleep(2000);
    }
    return got;
  }

  int master = -1;
  std::string path;
};

}  // namespace kor::test
