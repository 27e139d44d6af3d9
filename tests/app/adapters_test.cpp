#include "app/adapters.h"

#include <gtest/gtest.h>

#include <map>

namespace kor {
namespace {

// A made-up driver enumeration: "Count" and the entries that are there.
class FakeEnumeration : public AdapterSource {
 public:
  bool Count(int& count) override {
    if (count_ < 0) return false;
    count = count_;
    return true;
  }
  bool Entry(int n, std::string& id, std::string& port) override {
    auto it = entries.find(n);
    if (it == entries.end()) return false;
    id = it->second.first;
    port = it->second.second;
    return true;
  }
  bool LatencyTimer(const std::string& id, const std::string&, unsigned& ms) override {
    auto it = latency.find(id);
    if (it == latency.end()) return false;
    ms = it->second;
    return true;
  }
  void Add(int n, const std::string& serial, const std::string& port, const char* pid = "6001") {
    entries[n] = {std::string("FTDIBUS\\VID_0403+PID_") + pid + "+" + serial + "\\0000", port};
  }
  int count_ = -1;
  std::map<int, std::pair<std::string, std::string>> entries;
  std::map<std::string, unsigned> latency;  // by instance id
};

class Adapters : public ::testing::Test {
 protected:
  void SetUp() override { set_adapter_source(&fake); }
  void TearDown() override { set_adapter_source(nullptr); }
  FakeEnumeration fake;
};

TEST(AdapterFields, CutByPositionFromTheInstanceId) {
  struct Case {
    const char* id;
    const char* vid;
    const char* pid;
    const char* serial;
  } cases[] = {
      {"FTDIBUS\\VID_0403+PID_6001+A9K3LX2Q\\0000", "0403", "6001", "A9K3LX2Q"},
      {"FTDIBUS\\VID_0403+PID_6015+AL005JLJA\\0000", "0403", "6015", "AL005JLJA"},
      // No backslash after the serial: the rest of the id, at most 30 characters.
      {"FTDIBUS\\VID_0403+PID_6001+0123456789012345678901234567890123", "0403", "6001",
       "012345678901234567890123456789"},
      // Too short for the positions: the missing fields stay empty.
      {"FTDIBUS\\VID_04", "04", "", ""},
  };
  for (const Case& c : cases) {
    AdapterEntry e;
    CutInstanceId(c.id, e);
    EXPECT_STREQ(e.vendorId, c.vid) << c.id;
    EXPECT_STREQ(e.productId, c.pid) << c.id;
    EXPECT_STREQ(e.serial, c.serial) << c.id;
  }
}

TEST(AdapterFields, PortNumberFollowsTheLastCapitalM) {
  EXPECT_EQ(PortNumberOf("COM5"), 5);
  EXPECT_EQ(PortNumberOf("COM12"), 12);
  EXPECT_EQ(PortNumberOf("MCOM7"), 7);
  EXPECT_EQ(PortNumberOf("com3"), 0);
  EXPECT_EQ(PortNumberOf("/dev/ttyUSB0"), 0);
}

TEST(AdapterFields, PortLabelUsesTheCyrillicMegabitSign) {
  EXPECT_EQ(PortLabelText("COM5", 200000), "COM5 200 Кбит/c");
  EXPECT_EQ(PortLabelText("COM5", 115200), "COM5 115,2 Кбит/c");
  EXPECT_EQ(PortLabelText("COM5", 2000000), "COM5 2 Мбит/c");
  EXPECT_EQ(PortLabelText("COM1234", 115200), "COM1234 115,2 Кбит/");  // the label holds 19 characters
}

TEST_F(Adapters, TheLastAdapterFoundIsChosen) {
  fake.Add(0, "FT1", "COM3");
  fake.Add(1, "FT2", "COM12");
  AdapterScan s = ScanAdapters();
  ASSERT_TRUE(s.any);
  EXPECT_EQ(s.chosen, 1);
  EXPECT_EQ(PortNumberOf(s.table[s.chosen].portCopy), 12);
  fake.count_ = 2;
  EXPECT_EQ(AdapterListLines(), (std::vector<std::string>{"0403   6001   FT1   COM3", "0403   6001   FT2   COM12"}));
}

TEST_F(Adapters, AGapEndsTheScanButNotTheCountedList) {
  fake.Add(0, "FT1", "COM3");
  fake.Add(2, "FT3", "COM7");
  fake.count_ = 3;
  AdapterScan s = ScanAdapters();
  EXPECT_EQ(s.chosen, 0);
  EXPECT_EQ(AdapterListLines(), (std::vector<std::string>{"0403   6001   FT1   COM3", "0403   6001   FT3   COM7"}));
}

TEST_F(Adapters, NothingEnumerated) {
  EXPECT_FALSE(ScanAdapters().any);
  EXPECT_TRUE(AdapterListLines().empty());  // no "Count"
  fake.Add(1, "FT2", "COM4");               // entry 0 missing: no adapter either
  EXPECT_FALSE(ScanAdapters().any);
}

TEST_F(Adapters, TenEntriesAtMost) {
  for (int n = 0; n < 12; ++n) fake.Add(n, "S" + std::to_string(n), "COM" + std::to_string(n + 1));
  fake.count_ = 12;
  EXPECT_EQ(ScanAdapters().chosen, 9);
  EXPECT_EQ(AdapterListLines().size(), 10u);
}

// Adapters whose driver gives no latency timer are left out, not guessed at.
TEST_F(Adapters, LatencyTimersOfTheAdaptersThatHaveOne) {
  fake.count_ = 3;
  fake.Add(0, "A1", "COM3");
  fake.Add(1, "B2", "COM7");
  fake.Add(2, "C3", "COM9");
  fake.latency[fake.entries[0].first] = 16;
  fake.latency[fake.entries[2].first] = 1;
  EXPECT_EQ(AdapterLatencyLines(), (std::vector<std::string>{"latency timer: COM3 16 ms", "latency timer: COM9 1 ms"}));
  fake.count_ = -1;
  EXPECT_TRUE(AdapterLatencyLines().empty());
}

}  // namespace
}  // namespace kor
