#include "link/overlapped.h"

#include <gtest/gtest.h>

#include "link/rs232.h"
#include "protocol/frames.h"
#include "sim/correction.h"
#include "sim/sim_overlapped.h"
#include "support/sim_fixture.h"

namespace kor {
namespace {

using test::SimTest;

class Overlapped : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    set_overlapped_driver(&ov);
  }
  void TearDown() override {
    set_overlapped_driver(nullptr);
    SimTest::TearDown();
  }
  // The summary request of the "+" correction table: the unit answers 4 bytes.
  void AskSummary(OverlappedChannel& ch) {
    uint8_t req[8];
    build_command_frame(req, 0x08, 0x08, 0x00, 0x0A);
    ASSERT_EQ(ch.Write(req, 8), 8);
  }

  sim::SimOverlappedDriver ov{unit, &driver};
};

TEST_F(Overlapped, OpeningTwiceConfiguresOnceAndClosesOnce) {
  OverlappedChannel ch;
  EXPECT_EQ(ch.Open(5, 200000), 1);
  EXPECT_EQ(ch.Open(5, 115200), 1);  // already open: nothing changes
  EXPECT_EQ(ov.opens, 1);
  EXPECT_EQ(ov.configures, 1);
  EXPECT_EQ(ov.lastPath, com_device_path(5));
  EXPECT_EQ(ov.lastSpeed, 200000);
  EXPECT_FALSE(CRs232::PortInUse());  // no part in the port-in-use flag
  ch.Close();
  ch.Close();
  EXPECT_EQ(ov.closes, 1);
  EXPECT_FALSE(ch.IsOpen());
}

TEST_F(Overlapped, FailedOpenLeavesNothingBehind) {
  {
    CRs232 rs;  // the same port held through the other object
    ASSERT_EQ(rs.OpenComport(5, 200000, nullptr), 0);
    OverlappedChannel ch;
    EXPECT_EQ(ch.Open(5, 200000), 0);
    EXPECT_EQ(ov.opens, 0);
  }
  ov.faults.badConfig = true;
  {
    OverlappedChannel ch;
    EXPECT_EQ(ch.Open(5, 200000), 0);
    EXPECT_FALSE(ch.IsOpen());
    EXPECT_EQ(ov.closes, 1);  // the device that could not be configured is closed at once
    EXPECT_FALSE(ov.open);
  }
  ov.faults.badConfig = false;
  ov.faults.missing = true;
  OverlappedChannel ch;
  EXPECT_EQ(ch.Open(5, 200000), 0);
  EXPECT_EQ(ch.Write(reinterpret_cast<const uint8_t*>("x"), 1), 0);  // a closed channel sends nothing
  EXPECT_TRUE(rec.messages.empty());  // the caller reports
}

TEST_F(Overlapped, ReadTakesOnlyWhatIsQueuedAndNeverWaitsForMore) {
  OverlappedChannel ch;
  ASSERT_EQ(ch.Open(5, 200000), 1);
  uint8_t buf[20] = {};
  EXPECT_EQ(ch.Read(buf, 20), 0);
  EXPECT_EQ(ov.reads, 0);  // nothing queued: the driver is not even asked
  EXPECT_EQ(clock.slept_ms(), 0u);

  AskSummary(ch);
  clock.Advance(10000);
  EXPECT_EQ(ch.Read(buf, 20), 4);
  EXPECT_EQ(ov.reads, 1);
  EXPECT_EQ(clock.slept_ms(), 0u);
  EXPECT_EQ(buf[0], 10);  // the sample table's coefficient
}

TEST_F(Overlapped, WriteOfNothingSendsNothing) {
  OverlappedChannel ch;
  ASSERT_EQ(ch.Open(5, 200000), 1);
  const uint8_t b[1] = {0x55};
  EXPECT_EQ(ch.Write(b, 0), 0);
  EXPECT_EQ(ch.Write(b, -1), 0);
  EXPECT_EQ(ov.written, 0);
}

TEST_F(Overlapped, ByteThatNeverCompletesCountsAsSentAfterOneSecond) {
  OverlappedChannel ch;
  ASSERT_EQ(ch.Open(5, 200000), 1);
  ov.faults.deadLine = true;
  const uint8_t b[3] = {1, 2, 3};
  EXPECT_EQ(ch.Write(b, 3), 3);
  EXPECT_EQ(clock.slept_ms(), 3000u);
  EXPECT_TRUE(frames().empty());
}

TEST_F(Overlapped, ReadFullWaitsForLateBytesUpToTwoSeconds) {
  auto* corr = unit.Find<sim::CorrectionService>();
  corr->blockDelayUs = 1500000;
  OverlappedChannel ch;
  ASSERT_EQ(ch.Open(5, 200000), 1);
  uint8_t req[8];
  build_command_frame(req, 0x08, 0x08, 0x01, 0x0A);
  ch.Write(req, 8);
  uint8_t v[4] = {};
  EXPECT_EQ(ch.ReadFull(v, 4), 4);
  EXPECT_GE(clock.slept_ms(), 1500u);
  EXPECT_LT(clock.slept_ms(), 1600u);
  const int32_t first = sim::sample_reference_values(10, 1)[0];
  EXPECT_EQ(int32_t(v[0] | v[1] << 8 | v[2] << 16 | uint32_t(v[3]) << 24), first);

  // The sample table has 100 points: the 101st value never comes.
  uint8_t rest[400];
  EXPECT_EQ(ch.ReadFull(rest, 396), 396);
  const unsigned before = clock.slept_ms();
  EXPECT_EQ(ch.ReadFull(v, 4), 0);
  EXPECT_GE(clock.slept_ms() - before, 2000u);
  EXPECT_LT(clock.slept_ms() - before, 2010u);
}

}  // namespace
}  // namespace kor
