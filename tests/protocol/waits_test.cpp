// Every fixed wait the unit needs, pinned at the request it follows: the
// simulated unit answers within milliseconds, so a shortened wait would pass
// every other test.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/timing.h"
#include "firmware/flashing.h"
#include "firmware/hex_text.h"
#include "link/rs232.h"
#include "params/param_memory.h"
#include "protocol/clock.h"
#include "protocol/link_test.h"
#include "sim/programs.h"
#include "sim/sim_port.h"
#include "support/recorder.h"
#include "support/temp_dir.h"
#include "transfer/download_title.h"
#include "transfer/program_read.h"
#include "transfer/program_write.h"

namespace kor {
namespace {

// What happened on the line and on the clock, in order: a write ("W" with its
// bytes), a purge ("P"), a sleep ("S18"), a read ("R"), a close ("C").
struct Event {
  std::string what;
  std::vector<uint8_t> bytes;
};

using Trace = std::vector<Event>;

class TracingTiming : public VirtualTiming {
 public:
  explicit TracingTiming(Trace& t) : trace_(t) {}
  void Sleep(unsigned ms) override {
    trace_.push_back({"S" + std::to_string(ms), {}});
    VirtualTiming::Sleep(ms);
  }

 private:
  Trace& trace_;
};

class TracingDevice : public SerialDevice {
 public:
  TracingDevice(std::unique_ptr<SerialDevice> d, Trace& t) : d_(std::move(d)), trace_(t) {}
  bool BuildLine(const char* mode) override { return d_->BuildLine(mode); }
  bool SetLine() override { return d_->SetLine(); }
  bool SetNonBlockingReads() override { return d_->SetNonBlockingReads(); }
  bool Purge() override {
    trace_.push_back({"P", {}});
    return d_->Purge();
  }
  long Read(uint8_t* buf, unsigned count) override {
    trace_.push_back({"R", {}});
    return d_->Read(buf, count);
  }
  long Write(const uint8_t* buf, unsigned count) override {
    trace_.push_back({"W", {buf, buf + count}});
    return d_->Write(buf, count);
  }
  // Fast mode's read, bounded by the wait it replaces ("X40").
  long ReadExact(uint8_t* buf, unsigned count, uint64_t waitUs) override {
    trace_.push_back({"X" + std::to_string(waitUs / 1000), {}});
    return d_->ReadExact(buf, count, waitUs);
  }
  bool RequestLowLatency() override { return d_->RequestLowLatency(); }
  void Close() override {
    trace_.push_back({"C", {}});
    d_->Close();
  }

 private:
  std::unique_ptr<SerialDevice> d_;
  Trace& trace_;
};

class TracingDriver : public PortDriver {
 public:
  TracingDriver(PortDriver& d, Trace& t) : d_(d), trace_(t) {}
  std::unique_ptr<SerialDevice> Open(const std::string& path) override {
    auto dev = d_.Open(path);
    if (!dev) return nullptr;
    return std::make_unique<TracingDevice>(std::move(dev), trace_);
  }

 private:
  PortDriver& d_;
  Trace& trace_;
};

// The kinds of request, told apart by their bytes.
bool is_command(const std::vector<uint8_t>& f, uint8_t v) {
  return f.size() == 8 && f[0] == 0x00 && f[3] == v && f[4] == v && f[5] == v && f[6] == v;
}
bool link_check(const std::vector<uint8_t>& f) { return is_command(f, 0x55); }
bool version_query(const std::vector<uint8_t>& f) { return is_command(f, 0x0D); }
bool memory_read(const std::vector<uint8_t>& f) { return is_command(f, 0x04); }
bool flash_closing(const std::vector<uint8_t>& f) { return is_command(f, 0x3C); }
bool program_request(const std::vector<uint8_t>& f) {
  return f.size() == 8 && f[0] == 0x00 && f[3] <= 1 && f[4] == 0x02;
}
bool sized(const std::vector<uint8_t>& f, size_t n) { return f.size() == n; }

struct Pin {
  const char* request;
  std::function<bool(const std::vector<uint8_t>&)> match;
  // What follows every such write until the next write or the close.
  std::vector<std::string> after;
};

class Waits : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_app_state();
    app().comPort = 5;
    app().speed = 200000;
    std::strcpy(app().dataFolder, dir.path().c_str());
    set_timing(&clock);
    set_port_driver(&tracing);
    set_operator(&rec);
    store = unit.Find<sim::ProgramStore>();
  }
  void TearDown() override {
    EXPECT_FALSE(CRs232::PortInUse());
    set_operator(nullptr);
    set_port_driver(nullptr);
    set_timing(nullptr);
    reset_app_state();
  }

  // Each pin must match at least once, and every write it matches must be
  // followed by exactly its events.
  void Expect(const std::vector<Pin>& pins) {
    ASSERT_FALSE(trace.empty());
    for (const Pin& pin : pins) {
      int seen = 0, wrong = 0;
      for (size_t i = 0; i < trace.size(); ++i) {
        if (trace[i].what != "W" || !pin.match(trace[i].bytes)) continue;
        ++seen;
        std::vector<std::string> after;
        for (size_t j = i + 1; j < trace.size() && trace[j].what != "W" && trace[j].what != "C"; ++j)
          after.push_back(trace[j].what);
        if (after != pin.after && !wrong++)
          ADD_FAILURE() << pin.request << " (write " << seen << "): " << ::testing::PrintToString(after)
                        << " instead of " << ::testing::PrintToString(pin.after);
      }
      EXPECT_GT(seen, 0) << pin.request << " never sent";
    }
  }

  void SelectFile(const std::string& name, const std::string& bytes) {
    dir.write(name, bytes);
    std::strcpy(app().selectedFile, dir.file(name).c_str());
  }

  sim::Unit unit;
  sim::SimPortDriver driver{unit};
  Trace trace;
  TracingTiming clock{trace};
  TracingDriver tracing{driver, trace};
  test::Recorder rec;
  test::TempDir dir;
  sim::ProgramStore* store = nullptr;
};

const Pin kLinkCheck{"link check", link_check, {"S18", "R"}};
const Pin kVersion{"version query", version_query, {"P", "S30", "R"}};
const Pin kAxisTable{"axis-table read", memory_read, {"S750", "R"}};
const Pin kBlockReads{"header/data block read", program_request, {"S40", "R"}};

TEST_F(Waits, BlockTransferReadsAndWrites) {
  store->slot(0, 2) = {"P3", {"001:G90", "002:G91", "003:G17"}, {}};
  store->slot(1, 0) = {"S1", {"001:G90"}, {}};
  ReadPrograms(2);
  ReadSubprograms(50);
  Expect({kLinkCheck, kVersion, kBlockReads});

  trace.clear();
  SelectFile("p.txt", "001:G90\r\n002:G91\r\n003:G17\r\n");
  StoreDownloadChoice(4, "T");
  WriteProgram();
  Expect({kLinkCheck,
          kVersion,
          {"header write", [](auto& f) { return sized(f, 50); }, {"P", "S50", "R"}},
          {"block write", [](auto& f) { return sized(f, 142); }, {"P", "S50", "R"}}});
  EXPECT_EQ(store->blockWrites, 2);
}

TEST_F(Waits, PageTransferReadsAndWrites) {
  unit.config().model = 0;
  ReadPrograms(0);
  Expect({kLinkCheck, kVersion, kAxisTable, {"program page read", program_request, {"S540", "R"}}});

  trace.clear();
  ReadPrograms(20);
  Expect({kAxisTable, {"program page read (all)", program_request, {"S340", "R"}}});

  for (int all : {0, 50}) {
    trace.clear();
    ReadSubprograms(all);
    Expect({kAxisTable, {"subprogram page read", program_request, {"S340", "R"}}});
  }

  trace.clear();
  SelectFile("p.txt", "001:G90\r\n002:X1.000\r\n");
  StoreDownloadChoice(0, "T");
  WriteProgram();
  Expect({kLinkCheck, kVersion, kAxisTable,
          {"page write", [](auto& f) { return sized(f, 272) && f[4] == 0x03; }, {"S105", "R"}},
          // Nothing is waited for after the closing frame.
          {"closing frame", [](auto& f) { return sized(f, 272) && f[4] == 0x16; }, {}}});
  EXPECT_EQ(store->closings, 1);
}

TEST_F(Waits, ParameterMemory) {
  ReadParameterMemory();
  // The version query after the read names the file's unit.
  Expect({kLinkCheck, {"memory read", memory_read, {"P", "S550", "R"}}, kVersion});

  trace.clear();
  SelectFile("p.koreep", std::string(4096, '\x11'));
  WriteParametersCommand();
  Expect({kLinkCheck,
          {"backup read", memory_read, {"S750", "R"}},
          {"parameter frame", [](auto& f) { return sized(f, 40); }, {"S65"}}});
  EXPECT_EQ(unit.paramMemory[4095], 0x11);
}

TEST_F(Waits, FlashingAtEachProbedSpeed) {
  // The page-answer delay follows the speed the probe found the unit at.
  struct Case {
    int speed;
    const char* delay;
    int probes;
  } cases[] = {{200000, "S80", 1}, {2000000, "S30", 2}, {115200, "S30", 3}};
  std::vector<int> image(1024);
  for (size_t i = 0; i < image.size(); ++i) image[i] = int(i & 0xFF);
  const std::string hex = test::hex_file(image);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.speed);
    trace.clear();
    unit.config().speed = c.speed;
    SelectFile("fw.hex", hex);
    FlashFirmware();
    ASSERT_EQ(rec.MessageTexts().back(), "Прошивка завершена");
    Expect({{"speed probe", link_check, {"S100", "R"}},
            {"flash page", [](auto& f) { return sized(f, 524); }, {c.delay, "R"}},
            {"clock frame", [](auto& f) { return sized(f, 16); }, {"S100"}},
            {"closing", flash_closing, {"S500", "R"}}});
    int probes = 0;
    for (const Event& e : trace) probes += e.what == "W" && link_check(e.bytes);
    EXPECT_EQ(probes, c.probes);
  }
}

class CountedView : public LinkTestView {
 public:
  void SetButtonText(const char*) override {}
  void SetSent(const char*) override {}
  // Each cycle blanks the row before it shows the answer.
  void SetReceived(const char* text) override {
    if (std::strcmp(text, " ") != 0 && ++rows == 3) request_link_test_stop();
  }
  int rows = 0;
};

TEST_F(Waits, ConnectionTestAndClock) {
  CountedView view;
  clear_link_test_stop();
  RunLinkTest(view);
  EXPECT_EQ(view.rows, 3);
  Expect({{"test cycle", link_check, {"S100", "R", "S300"}}});

  trace.clear();
  ASSERT_TRUE(SetUnitClock());
  Expect({{"clock frame", [](auto& f) { return sized(f, 16); }, {"S100", "R"}}});
}

}  // namespace
}  // namespace kor
