// The POSIX backend on a real pseudo-terminal: what a USB adapter looks like to it.
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "link/serial_device.h"
#include "support/pty_fixture.h"

namespace kor {
int linux_get_speed(int fd);
int linux_get_input_speed(int fd);

namespace {

// errno of a plain open() of path by another process (0 when it opened). That
// process lacks CAP_SYS_ADMIN, which would let it past an exclusive terminal.
int OtherProcessOpens(const std::string& path) {
  pid_t pid = fork();
  if (pid == 0) {
    __user_cap_header_struct h{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2] = {};
    if (syscall(SYS_capget, &h, caps) != 0) _exit(250);
    caps[CAP_SYS_ADMIN / 32].effective &= ~(1u << (CAP_SYS_ADMIN % 32));
    caps[CAP_SYS_ADMIN / 32].permitted &= ~(1u << (CAP_SYS_ADMIN % 32));
    if (syscall(SYS_capset, &h, caps) != 0) _exit(251);
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    _exit(fd >= 0 ? 0 : errno);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class PosixPort : public test::PtyTest {
 protected:
  void SetUp() override {
    PtyTest::SetUp();
    driver = make_platform_port_driver();
  }

  std::unique_ptr<SerialDevice> OpenAt(int speed) {
    auto d = driver->Open(path);
    if (!d) return d;
    char mode[64];
    snprintf(mode, sizeof mode, "baud=%d data=8 parity=N stop=1", speed);
    EXPECT_TRUE(d->BuildLine(mode));
    EXPECT_TRUE(d->SetLine());
    EXPECT_TRUE(d->SetNonBlockingReads());
    EXPECT_TRUE(d->Purge());
    return d;
  }

  std::unique_ptr<PortDriver> driver;
};

TEST_F(PosixPort, SetsNonStandardSpeeds) {
  for (int speed : {200000, 115200, 2000000}) {
    auto d = OpenAt(speed);
    ASSERT_TRUE(d);
    EXPECT_EQ(linux_get_speed(master), speed);  // the master sees the slave's settings
    d->Close();
  }
}

TEST_F(PosixPort, InputSpeedFollowsTheOutputSpeed) {
  // A standard speed after a non-standard one must not leave input at the old rate.
  for (int speed : {200000, 115200, 2000000, 9600}) {
    auto d = OpenAt(speed);
    ASSERT_TRUE(d);
    EXPECT_EQ(linux_get_speed(master), speed);
    EXPECT_EQ(linux_get_input_speed(master), speed);
    d->Close();
  }
}

TEST_F(PosixPort, RawBytesBothWaysAndReadsNeverWait) {
  auto d = OpenAt(200000);
  ASSERT_TRUE(d);
  uint8_t buf[4200];
  EXPECT_EQ(d->Read(buf, 8), 0);  // nothing there: at once
  const uint8_t frame[] = {0x00, 0x08, 0x01, 0x0D, 0x0A, 0x11, 0x13, 0xFF};
  EXPECT_EQ(d->Write(frame, 8), 8);
  uint8_t got[8];
  ASSERT_EQ(ReadMaster(got, 8), 8u);  // no CR/LF mapping, no flow control eaten
  EXPECT_EQ(0, memcmp(got, frame, 8));

  // A 4096-byte answer arrives whole although one read() stops at 4095.
  std::vector<uint8_t> big(4096);
  for (size_t i = 0; i < big.size(); ++i) big[i] = uint8_t(i * 13);
  size_t off = 0;
  while (off < big.size()) {
    ssize_t w = write(master, big.data() + off, big.size() - off);
    ASSERT_GT(w, 0);
    off += size_t(w);
  }
  usleep(20000);
  EXPECT_EQ(d->Read(buf, 4096), 4096);
  EXPECT_EQ(0, memcmp(buf, big.data(), 4096));
  d->Close();
}

// The unit's answer comes in pieces, as an adapter hands it over: the read
// collects them until the count is reached, and gives what came when the
// limit passes first.
TEST_F(PosixPort, ReadExactGathersPiecesUpToTheCountOrTheLimit) {
  auto d = OpenAt(200000);
  ASSERT_TRUE(d);
  std::vector<uint8_t> answer(4096);
  for (size_t i = 0; i < answer.size(); ++i) answer[i] = uint8_t(i * 31 + 7);
  std::thread unit([&] {
    for (size_t off = 0; off < answer.size(); off += 1000) {
      usleep(3000);
      size_t n = std::min<size_t>(1000, answer.size() - off);
      for (size_t done = 0; done < n;) {
        ssize_t w = write(master, answer.data() + off + done, n - done);
        if (w > 0) done += size_t(w);
      }
    }
  });
  std::vector<uint8_t> buf(4096 + 10, 0);
  EXPECT_EQ(d->ReadExact(buf.data(), 4096, 5000000), 4096);
  unit.join();
  EXPECT_TRUE(std::equal(answer.begin(), answer.end(), buf.begin()));

  const uint8_t part[5] = {1, 2, 3, 4, 5};
  ASSERT_EQ(write(master, part, 5), 5);
  EXPECT_EQ(d->ReadExact(buf.data(), 8, 30000), 5);
  EXPECT_EQ(0, memcmp(buf.data(), part, 5));
  EXPECT_EQ(d->ReadExact(buf.data(), 8, 1000), 0);  // nothing more
  d->Close();
}

// A pseudo-terminal has no USB-serial driver to ask.
TEST_F(PosixPort, LowLatencyIsRefusedWhereThereIsNoSuchDriver) {
  auto d = OpenAt(200000);
  ASSERT_TRUE(d);
  EXPECT_FALSE(d->RequestLowLatency());
  d->Close();
}

TEST_F(PosixPort, PurgeDropsOnlyStaleInput) {
  auto d = OpenAt(200000);
  ASSERT_TRUE(d);
  const uint8_t stale[] = {1, 2, 3};
  ASSERT_EQ(write(master, stale, 3), 3);
  usleep(10000);
  const uint8_t req[] = {0x00, 0x08, 0x01};
  EXPECT_EQ(d->Write(req, 3), 3);
  EXPECT_TRUE(d->Purge());
  uint8_t got[3];
  ASSERT_EQ(ReadMaster(got, 3), 3u);  // the request still left
  uint8_t buf[8];
  EXPECT_EQ(d->Read(buf, 8), 0);       // the stale bytes are gone
  d->Close();
}

TEST_F(PosixPort, SecondOpenOfAHeldPortFails) {
  auto d = OpenAt(200000);
  ASSERT_TRUE(d);
  EXPECT_FALSE(driver->Open(path));
  d->Close();
  auto again = driver->Open(path);
  EXPECT_TRUE(again);
  if (again) again->Close();
  EXPECT_FALSE(driver->Open("/dev/korsync-no-such-port"));
  EXPECT_EQ(driver->LastFailure(), OpenFailure::Unavailable);
}

TEST_F(PosixPort, HeldPortTurnsAwayEveryOtherOpener) {
  auto d = OpenAt(200000);
  ASSERT_TRUE(d);
  EXPECT_EQ(OtherProcessOpens(path), EBUSY);  // not only those that flock
  EXPECT_FALSE(driver->Open(path));
  EXPECT_EQ(driver->LastFailure(), OpenFailure::Busy);
  d->Close();
  EXPECT_EQ(OtherProcessOpens(path), 0);  // let go for everyone on close
}

TEST_F(PosixPort, APortTheUserMayNotOpenIsToldFromABusyOne) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to become a user without access";
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  pid_t pid = fork();
  if (pid == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    auto d = make_platform_port_driver();
    _exit(!d->Open(path) && d->LastFailure() == OpenFailure::Denied ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(PosixPort, LostDeviceLetsGoOfThePath) {
  // The link was lost: the device is dropped without a close, as after a
  // pulled cable. The same path must open again after the replug.
  auto d = OpenAt(200000);
  ASSERT_TRUE(d);
  d.reset();
  auto again = driver->Open(path);
  EXPECT_TRUE(again);
  if (again) again->Close();
  EXPECT_EQ(OtherProcessOpens(path), 0);
}

}  // namespace
}  // namespace kor
