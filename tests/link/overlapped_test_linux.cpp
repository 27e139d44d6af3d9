// The POSIX backend of the overlapped channel on a real pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "link/overlapped.h"
#include "link/serial_device.h"
#include "support/pty_fixture.h"

namespace kor {
int linux_get_speed(int fd);

namespace {

using PosixOverlapped = test::PtyTest;

TEST_F(PosixOverlapped, RawBytesAtNonStandardSpeeds) {
  for (int speed : {200000, 115200, 2000000}) {
    OverlappedChannel ch;
    ASSERT_EQ(ch.OpenDevice(path.c_str(), speed), 1);
    EXPECT_EQ(linux_get_speed(master), speed);
  }
  OverlappedChannel ch;
  ASSERT_EQ(ch.OpenDevice(path.c_str(), 200000), 1);
  const uint8_t frame[] = {0x00, 0x08, 0x01, 0x0D, 0x0A, 0x11, 0x13, 0xFF};
  EXPECT_EQ(ch.Write(frame, 8), 8);
  // Bytes written one at a time reach the master side as the kernel passes them on.
  uint8_t got[8];
  ASSERT_EQ(ReadMaster(got, 8), 8u);  // no CR/LF mapping, no flow control eaten
  EXPECT_EQ(0, memcmp(got, frame, 8));
}

TEST_F(PosixOverlapped, ReadsWhatIsQueuedAndReadFullWaitsForTheRest) {
  OverlappedChannel ch;
  ASSERT_EQ(ch.OpenDevice(path.c_str(), 200000), 1);
  uint8_t buf[20] = {};
  EXPECT_EQ(ch.Read(buf, 20), 0);
  const uint8_t four[] = {0x05, 0x80, 0xE9, 0x03};
  ASSERT_EQ(write(master, four, 4), 4);
  usleep(20000);
  EXPECT_EQ(ch.Read(buf, 20), 4);  // 20 asked, 4 queued
  EXPECT_EQ(0, memcmp(buf, four, 4));

  // Two bytes now, two more 100 ms later: the value is waited for, whole.
  ASSERT_EQ(write(master, four, 2), 2);
  std::thread late([&] {
    usleep(100000);
    EXPECT_EQ(write(master, four + 2, 2), 2);
  });
  uint8_t v[4] = {};
  EXPECT_EQ(ch.ReadFull(v, 4), 4);
  late.join();
  EXPECT_EQ(0, memcmp(v, four, 4));
}

TEST_F(PosixOverlapped, PortIsExclusiveBothWays) {
  auto serial = make_platform_port_driver();
  {
    OverlappedChannel ch;
    ASSERT_EQ(ch.OpenDevice(path.c_str(), 200000), 1);
    EXPECT_FALSE(serial->Open(path));  // CRs232 cannot take it meanwhile
    OverlappedChannel second;
    EXPECT_EQ(second.OpenDevice(path.c_str(), 200000), 0);
  }
  auto held = serial->Open(path);
  ASSERT_TRUE(held);
  OverlappedChannel ch;
  EXPECT_EQ(ch.OpenDevice(path.c_str(), 200000), 0);
  held->Close();
  EXPECT_EQ(ch.OpenDevice(path.c_str(), 200000), 1);
  OverlappedChannel missing;
  EXPECT_EQ(missing.OpenDevice("/dev/korsync-no-such-port", 200000), 0);
}

}  // namespace
}  // namespace kor
