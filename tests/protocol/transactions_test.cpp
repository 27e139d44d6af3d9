#include "protocol/transactions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "program/axis_table.h"
#include "protocol/frames.h"
#include "support/sim_fixture.h"

namespace kor {
namespace {

using test::hex;
using test::SimTest;
using test::to_hex;

// Serves program reads with fixed blocks and acknowledges writes, for the
// primitives alone (the program storage of the unit is tested with the transfers).
class BlockService : public sim::Service {
 public:
  bool Handle(sim::Unit&, const std::vector<uint8_t>& f, std::vector<uint8_t>& answer) override {
    if (f[0] == 0x00 && f.size() == 8 && f[4] == 0x02) {
      size_t len = f[6] == 0 ? 40 : 132;
      answer.assign(len, 0);
      for (size_t i = 0; i < len; ++i) answer[i] = uint8_t(i + f[6]);
      uint16_t crc = block_crc(answer.data(), uint16_t(len));
      answer.push_back(uint8_t(crc >> 8));
      answer.push_back(uint8_t(crc));
      return true;
    }
    if (f[0] == 0x01 && f[4] == 0x03) {
      answer.assign(f.end() - 2, f.end());
      if (wrongAck) answer[0] ^= 1;
      return true;
    }
    return false;
  }
  bool wrongAck = false;
};

class Transactions : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    auto s = std::make_unique<BlockService>();
    blocks = s.get();
    unit.AddServiceFirst(std::move(s));
    ASSERT_EQ(OpenAppPort(rs), 0);
  }
  void TearDown() override {
    rs.Close();
    SimTest::TearDown();
  }
  CRs232 rs;
  BlockService* blocks = nullptr;
};

TEST_F(Transactions, LinkCheckSendsTheFrameAndWaits18ms) {
  EXPECT_EQ(LinkCheck(rs), 0);
  ASSERT_EQ(frames().size(), 1u);
  EXPECT_EQ(to_hex(frames()[0]), "00 08 01 55 55 55 55 10");
  EXPECT_EQ(clock.slept_ms(), 18u);
}

TEST_F(Transactions, LinkCheckJudgesBySumSoASwappedEchoPasses) {
  unit.Inject({sim::FaultKind::Swap, 0x55});
  EXPECT_EQ(LinkCheck(rs), 0);
  unit.Inject({sim::FaultKind::WrongByte, 0x55});
  EXPECT_EQ(LinkCheck(rs), -1);
  unit.Inject({sim::FaultKind::NoAnswer, 0x55});
  EXPECT_EQ(LinkCheck(rs), -1);
  EXPECT_TRUE(rec.messages.empty());
}

TEST_F(Transactions, VersionAnswersSelectTheProtocol) {
  struct Case {
    int model;
    const char* text;
    int code;
    ProgramProtocol protocol;
  } cases[] = {
      {461, "461 v2.15", 461, ProgramProtocol::Block},
      {462, "462", 462, ProgramProtocol::Block},
      {460, "460abc", 460, ProgramProtocol::None},
      {461, "46x", -1, ProgramProtocol::Page},   // reads as 46
      {0, "", -1, ProgramProtocol::Page},
  };
  for (const auto& c : cases) {
    unit.config().model = c.model;
    unit.config().versionText = c.text;
    int code = VersionQuery(rs);
    EXPECT_EQ(code, c.code) << c.text;
    EXPECT_EQ(protocol_of(code), c.protocol) << c.text;
    EXPECT_STREQ(app().versionBuffer, c.model ? c.text : "");
  }
  EXPECT_EQ(to_hex(frames()[0]), "00 08 01 0D 0D 0D 0D 0C");
}

TEST(DecodeModel, ReadsLikeStrToInt) {
  EXPECT_EQ(decode_model("461xyz"), 461);
  EXPECT_EQ(decode_model("46x"), 46);
  EXPECT_EQ(decode_model("-46"), -46);
  EXPECT_EQ(decode_model("x46"), 0);
  EXPECT_EQ(decode_model("\0\0\0"), 0);
}

TEST_F(Transactions, AxisTableReadNeedsTwoBytes) {
  unit.paramServe = 1;
  EXPECT_EQ(ReadAxisTable(rs), 0);
  ASSERT_EQ(rec.messages.size(), 1u);
  EXPECT_EQ(rec.messages[0].text, "Выберите в меню 'Режим обмена с ПК' \nи проверьте скорость передачи");
  EXPECT_EQ(rec.messages[0].icon, Icon::Warning);
  EXPECT_EQ(rec.messages[0].caption, "Korsync");
  EXPECT_EQ(clock.slept_ms(), 750u);

  // Two bytes: channels 0 and 1 get their axes, the rest of the buffer is zero.
  axis_channels() = {};
  unit.paramMemory[0] = 3;
  unit.paramMemory[1] = 7;
  unit.paramServe = 2;
  EXPECT_EQ(ReadAxisTable(rs), 1);
  EXPECT_EQ(axis_channels().channels[0].axis, 3);
  EXPECT_EQ(axis_channels().channels[1].axis, 7);
  EXPECT_EQ(axis_channels().channels[2].axis, 0);
  EXPECT_EQ(axis_channels().channels[0].formatWord, 0);
}

TEST_F(Transactions, AxisTableReadTakesFormatWordsFromTheDescriptors) {
  unit.paramMemory[2] = 9;
  unit.paramMemory[28 + 32 * 2] = 0x80;  // format 3 in bits 7..11
  unit.paramMemory[28 + 32 * 2 + 1] = 0x01;
  EXPECT_EQ(ReadAxisTable(rs), 1);
  EXPECT_EQ(axis_channels().channels[2].axis, 9);
  EXPECT_EQ(axis_channels().channels[2].formatWord, 0x0180);
  EXPECT_EQ((axis_channels().channels[2].formatWord >> 7) & 0x1F, 3);
}

TEST_F(Transactions, BlockReadsCheckTheirCrc) {
  uint8_t buf[134];
  EXPECT_TRUE(ReadHeaderBlock(rs, 0, 4, buf));
  EXPECT_EQ(to_hex(frames().back()), "00 08 01 00 02 04 00 02");
  EXPECT_TRUE(ReadDataBlock(rs, 1, 2, 3, buf));
  EXPECT_EQ(to_hex(frames().back()), "00 08 01 01 02 02 03 05");

  unit.Inject({sim::FaultKind::Cut, 0x02, 0, 1, 41});
  EXPECT_FALSE(ReadHeaderBlock(rs, 0, 4, buf));  // 41 bytes: CRC incomplete
  unit.Inject({sim::FaultKind::BadCrc, 0x02});
  EXPECT_FALSE(ReadDataBlock(rs, 0, 4, 1, buf));
  unit.Inject({sim::FaultKind::NoAnswer, 0x02});
  EXPECT_FALSE(ReadDataBlock(rs, 0, 4, 1, buf));
  EXPECT_TRUE(rec.messages.empty());
}

TEST_F(Transactions, WritesNeedTheFrameCrcAsAcknowledgement) {
  app().slotIndex = 6;
  std::strcpy(app().title, "ВАЛ");
  EXPECT_TRUE(WriteHeader(rs, 0, 7));
  ASSERT_EQ(frames().back().size(), 50u);
  EXPECT_EQ(frames().back()[5], 6);
  uint8_t block[132] = {'G', '1'};
  EXPECT_TRUE(WriteBlock(rs, 0, 1, block));
  EXPECT_TRUE(rec.messages.empty());

  blocks->wrongAck = true;
  EXPECT_FALSE(WriteHeader(rs, 0, 7));
  EXPECT_TRUE(rec.messages.empty());  // the caller decides what to say
  EXPECT_FALSE(WriteBlock(rs, 0, 2, block));
  ASSERT_EQ(rec.messages.size(), 1u);
  EXPECT_EQ(rec.messages[0].text, "Ошибка CRC");
  EXPECT_EQ(rec.messages[0].icon, Icon::Error);
}

TEST_F(Transactions, WriteFailureReportsLostLinkAndAbandonsThePort) {
  driver.faults.writeFails = true;
  uint8_t buf[134];
  EXPECT_FALSE(ReadDataBlock(rs, 0, 0, 1, buf));
  EXPECT_EQ(rs.linkState, -1);
  ASSERT_EQ(rec.messages.size(), 1u);
  EXPECT_EQ(rec.messages[0].text, "Связь потеряна, переподключите кабель");
  ASSERT_FALSE(rec.positions.empty());
  EXPECT_EQ(rec.positions.back(), 0);

  rs.Close();
  EXPECT_FALSE(CRs232::PortInUse());
  EXPECT_EQ(driver.closes, 0);
  EXPECT_EQ(driver.abandoned, 1);
}

TEST_F(Transactions, PrimitivesReportWriteFailureWithTheirOwnResults) {
  driver.faults.writeFails = true;
  EXPECT_EQ(LinkCheck(rs), -1);
  EXPECT_EQ(VersionQuery(rs), -1);
  EXPECT_EQ(ReadAxisTable(rs), 0);
  EXPECT_EQ(rec.messages.size(), 3u);
}

class OpeningSequence : public SimTest {};

TEST_F(OpeningSequence, RefusesWhilePortIsInUse) {
  CRs232 first;
  ASSERT_EQ(OpenAppPort(first), 0);
  CRs232 second;
  EXPECT_FALSE(BeginDeviceOperation(second));
  ASSERT_EQ(rec.messages.size(), 1u);
  EXPECT_EQ(rec.messages[0].text, "Com порт занят");
  EXPECT_EQ(rec.messages[0].caption, "Korsync");
  EXPECT_EQ(LinkCheck(first), 0);  // the first port is untouched
}

TEST_F(OpeningSequence, SilentUnitEndsWithoutAMessageBox) {
  unit.config().speed = 115200;  // deaf at 200000
  {
    CRs232 rs;
    EXPECT_FALSE(BeginDeviceOperation(rs));
  }
  EXPECT_TRUE(rec.messages.empty());
  EXPECT_EQ(rec.silent.size(), 1u);
  EXPECT_EQ(driver.closes, 1);
}

TEST_F(OpeningSequence, OpensAndChecksTheLink) {
  CRs232 rs;
  EXPECT_TRUE(BeginDeviceOperation(rs));
  EXPECT_EQ(driver.lastSpeed, 200000);
  EXPECT_EQ(driver.lastPath, com_device_path(5));
}

class SpeedProbeTest : public SimTest {};

TEST_F(SpeedProbeTest, FindsTheUnitsSpeedInOrder) {
  struct Case {
    int unitSpeed;
    int found;
    int delay;
  } cases[] = {{200000, 200000, 80}, {2000000, 2000000, 30}, {115200, 115200, 30}, {9600, -1, 30}};
  for (const auto& c : cases) {
    unit.config().speed = c.unitSpeed;
    unit.ClearFrames();
    app().pageAnswerDelay = 0;
    EXPECT_EQ(SpeedProbe(), c.found) << c.unitSpeed;
    EXPECT_EQ(app().pageAnswerDelay, c.delay) << c.unitSpeed;
    EXPECT_FALSE(CRs232::PortInUse());
  }
  EXPECT_TRUE(rec.messages.empty());
}

TEST_F(SpeedProbeTest, ComparesByteByByte) {
  unit.Inject({sim::FaultKind::Swap, 0x55, 0, -1});
  EXPECT_EQ(SpeedProbe(), -1);
}

TEST_F(SpeedProbeTest, RefusesWhilePortIsInUse) {
  CRs232 other;
  ASSERT_EQ(OpenAppPort(other), 0);
  EXPECT_EQ(SpeedProbe(), -1);
  ASSERT_EQ(rec.messages.size(), 1u);
  EXPECT_EQ(rec.messages[0].text, "Com порт занят");
}

// Fast mode against the same unit, with every byte taking its time on the line
// (50 us at 200000 bit/s) after the unit's 5 ms.
class FastMode : public Transactions {
 protected:
  void SetUp() override {
    Transactions::SetUp();
    // Opened in fast mode: the simulated line holds nothing back, as a
    // low-latency adapter would not.
    rs.Close();
    app().fastMode = true;
    ASSERT_EQ(OpenAppPort(rs), 0);
    app().fastMode = false;
    unit.config().emulateWire = true;
    app().title[0] = 'T';
  }

  struct Primitive {
    const char* name;
    int command;      // byte 4 of the request, for faults
    unsigned waitMs;  // the fixed wait
    unsigned request, answer;  // bytes each way
    std::function<int()> run;
    bool partialDoes = false;  // a part of the answer is enough
  };

  std::vector<Primitive> primitives() {
    uint8_t* b = buf;
    return {
        {"link check", 0x55, 18, 8, 8, [this] { return LinkCheck(rs); }},
        {"header block", 0x02, 40, 8, 42, [this, b] { return int(ReadHeaderBlock(rs, 0, 1, b)); }},
        {"data block", 0x02, 40, 8, 134, [this, b] { return int(ReadDataBlock(rs, 0, 1, 3, b)); }},
        {"header write", 0x03, 50, 50, 2, [this] { return int(WriteHeader(rs, 0, 7)); }},
        {"block write", 0x03, 50, 142, 2, [this, b] { return int(WriteBlock(rs, 0, 1, b)); }},
        {"axis table", 0x04, 750, 8, 4096, [this] { return ReadAxisTable(rs); }, true},
    };
  }

  struct Outcome {
    int result;
    uint64_t elapsedUs;
    std::vector<std::string> messages;
  };
  Outcome Run(const Primitive& p, bool fast) {
    app().fastMode = fast;
    rec.messages.clear();
    const uint64_t start = clock.NowUs();
    const int r = p.run();
    Outcome o{r, clock.NowUs() - start, rec.MessageTexts()};
    // An answer that missed its wait must not land in the next exchange.
    clock.SleepUs(2 * p.waitMs * 1000ull);
    rs.Purge();
    return o;
  }
  // When the last byte of a whole answer is in, counted from the request.
  static uint64_t complete_us(const Primitive& p) { return 5000 + 50 * uint64_t(p.request + p.answer); }

  uint8_t buf[4096] = {};
};

TEST_F(FastMode, EachFixedLengthAnswerEndsItsWaitWhenComplete) {
  for (const Primitive& p : primitives()) {
    const Outcome slow = Run(p, false);
    const Outcome fast = Run(p, true);
    EXPECT_EQ(slow.elapsedUs, p.waitMs * 1000ull) << p.name;
    EXPECT_EQ(fast.elapsedUs, complete_us(p)) << p.name;
    EXPECT_LT(fast.elapsedUs, slow.elapsedUs) << p.name;
    EXPECT_EQ(fast.result, slow.result) << p.name;
    EXPECT_EQ(fast.result, 1 - (p.command == 0x55)) << p.name;  // success (LinkCheck says 0)
    EXPECT_TRUE(fast.messages.empty()) << p.name;
  }
  EXPECT_EQ(axis_channels().channels[1].axis, 1);  // the table came whole
}

// A missing or cut answer is judged at the moment the default judges it, with
// the same result and the same words; a late one inside the wait still counts.
TEST_F(FastMode, FailuresTakeTheFullWaitAndLateAnswersAreTaken) {
  struct Trouble {
    const char* what;
    std::function<void(const Primitive&)> arrange;
    bool answered;  // the whole answer is in within the wait
    bool fullWait;  // fast mode waits the whole fixed time
    bool partial;   // some of it is
  };
  const Trouble troubles[] = {
      {"no answer", [this](const Primitive& p) { unit.Inject({sim::FaultKind::NoAnswer, p.command, 0, 2}); }, false,
       true, false},
      {"cut answer", [this](const Primitive& p) { unit.Inject({sim::FaultKind::Cut, p.command, 0, 2}); }, false,
       true, true},
      {"last byte 0.1 ms before the end",
       [this](const Primitive& p) {
         unit.config().latencyUs = unsigned(p.waitMs * 1000 - 100 - 50 * (p.request + p.answer));
       },
       true, false, true},
      {"last byte 0.1 ms after the end",
       [this](const Primitive& p) {
         unit.config().latencyUs = unsigned(p.waitMs * 1000 + 100 - 50 * (p.request + p.answer));
       },
       false, true, true},
  };
  for (const Trouble& t : troubles) {
    for (const Primitive& p : primitives()) {
      unit.config().latencyUs = 5000;
      t.arrange(p);
      const Outcome slow = Run(p, false);
      const Outcome fast = Run(p, true);
      const std::string where = std::string(t.what) + ": " + p.name;
      EXPECT_EQ(fast.result, slow.result) << where;
      EXPECT_EQ(fast.messages, slow.messages) << where;
      EXPECT_EQ(fast.result == 1 - (p.command == 0x55), t.answered || (t.partial && p.partialDoes)) << where;
      if (t.fullWait)
        EXPECT_EQ(fast.elapsedUs, p.waitMs * 1000ull) << where;
      else
        EXPECT_EQ(fast.elapsedUs, p.waitMs * 1000ull - 100) << where;
    }
  }
}

TEST_F(FastMode, TheVersionTextEndsWhenTheLineFallsQuiet) {
  app().fastMode = true;
  uint64_t start = clock.NowUs();
  EXPECT_EQ(VersionQuery(rs), kModel461);
  EXPECT_STREQ(app().versionBuffer, "461 v1.07");
  const uint64_t elapsed = clock.NowUs() - start;
  EXPECT_GE(elapsed, 5000u + 50 * (8 + 9));
  EXPECT_LT(elapsed, 30000u);

  // No answer: the same -1 after the same 30 ms.
  unit.Inject({sim::FaultKind::NoAnswer, 0x0D});
  start = clock.NowUs();
  EXPECT_EQ(VersionQuery(rs), -1);
  EXPECT_EQ(clock.NowUs() - start, 30000u);
}

TEST(QuietGap, CoversAFewCharactersAndTheAdapter) {
  EXPECT_EQ(quiet_gap_us(200000, 1), 5 * 50 + 1000 + 1000u);
  EXPECT_EQ(quiet_gap_us(115200, 16), 5 * 87 + 16000 + 1000u);
}

}  // namespace
}  // namespace kor
