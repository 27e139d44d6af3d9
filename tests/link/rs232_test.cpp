#include "link/rs232.h"

#include <gtest/gtest.h>

#include "protocol/transactions.h"
#include "support/sim_fixture.h"

namespace kor {
namespace {

using test::SimTest;

class Rs232 : public SimTest {};

TEST_F(Rs232, ComNumberOutsideRangeIsRefusedBeforeOpening) {
  for (int com : {0, 257, -1}) {
    CRs232 rs;
    EXPECT_EQ(rs.OpenComport(com, 200000, nullptr), 1) << com;
  }
  ASSERT_EQ(rec.messages.size(), 3u);
  for (const auto& m : rec.messages) {
    EXPECT_EQ(m.text, "Не выбран Com port");
    EXPECT_EQ(m.caption, "CRs232::OpenComport");
    EXPECT_EQ(m.icon, Icon::Error);
  }
  EXPECT_EQ(driver.opens, 0);
  EXPECT_TRUE(driver.lastPath.empty());

  CRs232 rs;
  EXPECT_EQ(rs.OpenComport(256, 200000, nullptr), 0);
  EXPECT_EQ(driver.lastPath, com_device_path(256));
}

TEST_F(Rs232, UnacceptedSpeedFailsSilently) {
  CRs232 rs;
  EXPECT_EQ(rs.OpenComport(5, 14400, nullptr), 1);
  EXPECT_TRUE(rec.messages.empty());
  EXPECT_EQ(driver.opens, 0);
  EXPECT_FALSE(CRs232::PortInUse());
  for (int s : {110, 76800, 128000, 200000, 256000, 921600, 3000000}) EXPECT_TRUE(CRs232::SpeedAccepted(s)) << s;
  for (int s : {0, 14400, 230400, 1000000}) EXPECT_FALSE(CRs232::SpeedAccepted(s)) << s;
}

TEST_F(Rs232, SecondOpenIsBusyAndLeavesTheFirstUsable) {
  CRs232 first;
  ASSERT_EQ(first.OpenComport(5, 200000, nullptr), 0);
  {
    CRs232 second;
    EXPECT_EQ(second.OpenComport(5, 200000, nullptr), 1);
  }  // its destruction must not close the first object's port
  ASSERT_EQ(rec.messages.size(), 1u);
  EXPECT_EQ(rec.messages[0].text, "ComPort is busy");
  EXPECT_TRUE(CRs232::PortInUse());
  EXPECT_EQ(LinkCheck(first), 0);
}

TEST_F(Rs232, EveryFailedStepReportsAndFreesThePort) {
  struct Case {
    bool sim::PortFaults::*fault;
    const char* text;
    int closes;  // the device is closed when it had been opened
  } cases[] = {
      {&sim::PortFaults::missing, "Не удалось открыть порт : invalid handle,\nпереподключите кабель", 0},
      {&sim::PortFaults::busy, "Не удалось открыть порт : порт занят другой программой,\nзакройте её", 0},
      {&sim::PortFaults::denied, "Не удалось открыть порт : нет доступа,\nдобавьте пользователя в группу dialout", 0},
      {&sim::PortFaults::badLine, "unable to set comport dcb settings", 1},
      {&sim::PortFaults::badState, "unable to set comport cfg settings", 1},
      {&sim::PortFaults::badTimeouts, "unable to set comport time-out settings", 1},
      {&sim::PortFaults::badPurge, "error PurgeComm", 1},
  };
  for (const auto& c : cases) {
    driver.faults = {};
    driver.faults.*c.fault = true;
    driver.closes = 0;
    rec.messages.clear();
    CRs232 rs;
    EXPECT_EQ(rs.OpenComport(5, 200000, nullptr), 1) << c.text;
    ASSERT_EQ(rec.messages.size(), 1u) << c.text;
    EXPECT_EQ(rec.messages[0].text, c.text);
    EXPECT_EQ(rec.messages[0].caption, "CRs232::OpenComport");
    EXPECT_FALSE(CRs232::PortInUse()) << c.text;
    EXPECT_EQ(driver.closes, c.closes) << c.text;
  }
}

TEST_F(Rs232, ReadWithNothingArrivedReturnsZeroAtOnce) {
  CRs232 rs;
  ASSERT_EQ(rs.OpenComport(5, 200000, nullptr), 0);
  uint8_t buf[16];
  EXPECT_EQ(rs.Read(buf, sizeof buf), 0u);
  EXPECT_EQ(clock.slept_ms(), 0u);
}

TEST_F(Rs232, LostLinkAbandonsTheHandleAndFreesThePort) {
  {
    CRs232 rs;
    ASSERT_EQ(rs.OpenComport(5, 200000, nullptr), 0);
    driver.faults.writeFails = true;
    const uint8_t b = 0;
    EXPECT_EQ(rs.Write(&b, 1), -1);
    rs.linkState = -1;
  }
  EXPECT_FALSE(CRs232::PortInUse());
  EXPECT_EQ(driver.closes, 0);
  EXPECT_EQ(driver.abandoned, 1);
  driver.faults.writeFails = false;
  CRs232 again;
  EXPECT_EQ(again.OpenComport(5, 200000, nullptr), 0);
}

TEST_F(Rs232, DevicePathTakesTheSameChecks) {
  CRs232 rs;
  EXPECT_EQ(rs.OpenDevice("/dev/pts/7", 14400, nullptr), 1);
  EXPECT_EQ(rs.OpenDevice("/dev/pts/7", 115200, nullptr), 0);
  EXPECT_EQ(driver.lastPath, "/dev/pts/7");
  EXPECT_EQ(driver.lastSpeed, 115200);
}

TEST(ModeString, ReadsTheBuildCommDcbForm) {
  LineSettings s;
  ASSERT_TRUE(parse_mode_string("baud=200000 data=8 parity=N stop=1", s));
  EXPECT_EQ(s.baud, 200000);
  EXPECT_EQ(s.dataBits, 8);
  EXPECT_EQ(s.parity, 'N');
  EXPECT_EQ(s.stopBits, 1);
  for (const char* bad : {"", "data=8", "baud=", "baud=12x", "baud=9600 speed=1", "baud=9600 stop=3"})
    EXPECT_FALSE(parse_mode_string(bad, s)) << bad;
}

}  // namespace
}  // namespace kor
