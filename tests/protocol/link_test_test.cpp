#include "protocol/link_test.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/rs232.h"
#include "support/sim_fixture.h"

namespace kor {
namespace {

using test::SimTest;

const char kLinkCheckRow[] = " 0     8     1     55     55     55     55     10";
const char kZeroRow[] = " 0     0     0     0     0     0     0     0";

// The test window's three controls; asks to stop after a number of cycles.
class RecordingView : public LinkTestView {
 public:
  explicit RecordingView(int cycles = 0) : cycles_(cycles) {}
  void SetButtonText(const char* text) override {
    std::lock_guard<std::mutex> lock(m_);
    button.push_back(text);
  }
  void SetSent(const char* text) override {
    std::lock_guard<std::mutex> lock(m_);
    sent.push_back(text);
  }
  void SetReceived(const char* text) override {
    std::lock_guard<std::mutex> lock(m_);
    received.push_back(text);
    if (std::string(text) != " " && ++done_ == cycles_) request_link_test_stop();
  }

  std::vector<std::string> button, sent, received;

 private:
  std::mutex m_;
  int cycles_;
  int done_ = 0;
};

TEST(LinkTestRow, EightBytesInLowerCaseHexWithoutLeadingZeros) {
  const uint8_t request[8] = {0x00, 0x08, 0x01, 0x55, 0x55, 0x55, 0x55, 0x10};
  const uint8_t other[8] = {0xFF, 0xAB, 0x0C, 0, 0, 0, 0, 0x7};
  char row[kLinkTestRowSize];
  format_byte_row(row, request);
  EXPECT_STREQ(row, kLinkCheckRow);
  format_byte_row(row, other);
  EXPECT_STREQ(row, " ff     ab     c     0     0     0     0     7");
}

class LinkTest : public SimTest {};

TEST_F(LinkTest, ShowsWhatWentOutAndWhatCameBackEachCycle) {
  RecordingView view(2);
  RunLinkTest(view);
  EXPECT_EQ(view.sent, (std::vector<std::string>{" ", kLinkCheckRow, " ", kLinkCheckRow}));
  EXPECT_EQ(view.received, (std::vector<std::string>{" ", kLinkCheckRow, " ", kLinkCheckRow}));
  EXPECT_EQ(view.button, std::vector<std::string>{"Тест"});
  EXPECT_EQ(frames().size(), 2u);
  EXPECT_EQ(clock.slept_ms(), 800u);  // 100 ms for the answer, 300 ms pause
  EXPECT_FALSE(link_test_stop_requested());  // seen and cleared
  EXPECT_FALSE(CRs232::PortInUse());
  EXPECT_TRUE(rec.messages.empty());
}

TEST_F(LinkTest, WithoutAUnitTheAnswerRowIsZeros) {
  unit.config().speed = 115200;
  RecordingView view(1);
  RunLinkTest(view);
  EXPECT_EQ(view.sent.back(), kLinkCheckRow);
  EXPECT_EQ(view.received.back(), kZeroRow);
  EXPECT_TRUE(rec.messages.empty());  // the test judges nothing
}

TEST_F(LinkTest, AStopRequestedBeforehandSendsNothing) {
  RecordingView view;
  request_link_test_stop();
  RunLinkTest(view);
  EXPECT_TRUE(frames().empty());
  EXPECT_FALSE(link_test_stop_requested());
  EXPECT_EQ(view.button, std::vector<std::string>{"Тест"});
}

TEST_F(LinkTest, WaysOutWithoutAStop) {
  {
    CRs232 other;
    ASSERT_EQ(OpenAppPort(other), 0);
    RecordingView view;
    RunLinkTest(view);
    EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Com порт занят"});
    EXPECT_EQ(view.button, std::vector<std::string>{"Тест"});
    EXPECT_TRUE(view.sent.empty());
  }
  {
    rec.messages.clear();
    driver.faults.writeFails = true;
    RecordingView view;
    RunLinkTest(view);
    EXPECT_TRUE(rec.messages.empty());
    EXPECT_EQ(rec.silent.size(), 1u);  // the command line must not call it a success
    EXPECT_EQ(view.button, std::vector<std::string>{"Тест"});
    EXPECT_EQ(driver.abandoned, 1);
  }
}

TEST_F(LinkTest, RunsOnItsOwnThreadAndClearsItsHandle) {
  RecordingView view;
  ASSERT_TRUE(StartLinkTest(view));
  EXPECT_NE(app().testThread, nullptr);
  // Let it run a few cycles (on virtual time), then ask it to stop.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  request_link_test_stop();
  for (int i = 0; i < 1000 && link_test_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_FALSE(link_test_running());
  EXPECT_EQ(view.button, std::vector<std::string>{"Тест"});
  EXPECT_FALSE(link_test_stop_requested());
  EXPECT_FALSE(view.sent.empty());

  // A new test can start once the handle is gone.
  RecordingView again(1);
  ASSERT_TRUE(StartLinkTest(again));
  for (int i = 0; i < 1000 && link_test_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_FALSE(link_test_running());
  EXPECT_EQ(again.received.back(), kLinkCheckRow);
}

}  // namespace
}  // namespace kor
