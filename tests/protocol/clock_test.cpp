#include "protocol/clock.h"

#include <gtest/gtest.h>

#include <ctime>

#include "sim/firmware.h"
#include "support/sim_fixture.h"

namespace kor {
namespace {

using test::SimTest;
using test::to_hex;

TEST(ClockFrame, DateAndTimeInBcdWithYearBitsAndDayOfWeek) {
  struct Case {
    LocalDateTime t;
    const char* payload;
  } cases[] = {
      {{2024, 3, 5, 2, 14, 7, 9, 250}, "05 43 14 07 09 25 E8 07"},     // a Tuesday
      {{2025, 12, 31, 3, 23, 59, 59, 999}, "71 72 23 59 59 99 E9 07"},  // a Wednesday
      {{2027, 1, 1, 5, 0, 0, 0, 9}, "C1 A1 00 00 00 00 EB 07"},
      {{2026, 6, 20, 6, 9, 30, 45, 100}, "A0 C6 09 30 45 10 EA 07"},
  };
  for (const auto& c : cases) {
    uint8_t frame[16];
    build_clock_frame(frame, c.t);
    std::vector<uint8_t> bytes(frame, frame + 16);
    EXPECT_EQ(to_hex({bytes.begin(), bytes.begin() + 8}), "00 10 01 07 07 07 07 0C");
    EXPECT_EQ(to_hex({bytes.begin() + 8, bytes.end()}), c.payload) << c.payload;
  }
}

TEST(ClockFrame, Bcd) {
  EXPECT_EQ(to_bcd(0), 0x00);
  EXPECT_EQ(to_bcd(9), 0x09);
  EXPECT_EQ(to_bcd(10), 0x10);
  EXPECT_EQ(to_bcd(99), 0x99);
  EXPECT_EQ(to_bcd(100), 100);
  EXPECT_EQ(to_bcd(200), 200);
}

TEST(ClockFrame, LocalTimeIsPlausible) {
  const std::time_t before = std::time(nullptr);
  LocalDateTime t = local_now();
  std::tm lt{};
#ifdef _WIN32
  localtime_s(&lt, &before);
#else
  localtime_r(&before, &lt);
#endif
  EXPECT_EQ(t.year, lt.tm_year + 1900);
  EXPECT_GE(t.month, 1);
  EXPECT_LE(t.month, 12);
  EXPECT_GE(t.day, 1);
  EXPECT_LE(t.dayOfWeek, 6);
  EXPECT_LE(t.second, 59);
  EXPECT_LE(t.milliseconds, 999);
}

class SetClock : public SimTest {
 protected:
  sim::FirmwareService* fw() { return unit.Find<sim::FirmwareService>(); }
};

TEST_F(SetClock, SendsTheFrameWithoutALinkCheck) {
  EXPECT_TRUE(SetUnitClock());
  ASSERT_EQ(frames().size(), 1u);
  EXPECT_EQ(frames()[0].size(), 16u);
  EXPECT_EQ(fw()->clockFrames, 1);
  EXPECT_TRUE(fw()->clock.yearBitsMatch);
  const LocalDateTime now = local_now();
  EXPECT_EQ(fw()->clock.year, now.year);
  EXPECT_EQ(clock.slept_ms(), 100u);
  EXPECT_TRUE(rec.messages.empty());
  EXPECT_FALSE(CRs232::PortInUse());
}

TEST_F(SetClock, WrongSpeedStillWritesAndSaysNothing) {
  unit.config().speed = 115200;
  EXPECT_TRUE(SetUnitClock());
  EXPECT_EQ(driver.lastSpeed, 200000);
  EXPECT_EQ(fw()->clockFrames, 0);  // the unit heard only noise
  EXPECT_TRUE(rec.messages.empty());
}

TEST_F(SetClock, Failures) {
  {
    CRs232 other;
    ASSERT_EQ(OpenAppPort(other), 0);
    EXPECT_FALSE(SetUnitClock());
    EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Com порт занят"});
  }
  rec.messages.clear();
  driver.faults.missing = true;
  EXPECT_FALSE(SetUnitClock());
  ASSERT_EQ(rec.messages.size(), 2u);
  EXPECT_EQ(rec.messages[1].text, "Не удалось открыть порт");
  EXPECT_EQ(rec.messages[1].caption, "Korsync");

  rec.messages.clear();
  driver.faults.missing = false;
  driver.faults.writeFails = true;
  EXPECT_FALSE(SetUnitClock());
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Связь потеряна, переподключите кабель"});
  EXPECT_EQ(driver.abandoned, 1);
}

TEST_F(SetClock, OnAnOpenPortTheLinkStateIsTheCallersAffair) {
  CRs232 rs;
  ASSERT_EQ(OpenAppPort(rs), 0);
  EXPECT_TRUE(SendClockFrame(rs));
  EXPECT_EQ(fw()->clockFrames, 1);
  EXPECT_EQ(clock.slept_ms(), 100u);
  driver.faults.writeFails = true;
  EXPECT_FALSE(SendClockFrame(rs));
  EXPECT_EQ(rs.linkState, 0);
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Связь потеряна, переподключите кабель"});
}

}  // namespace
}  // namespace kor
