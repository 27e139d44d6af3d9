#include "sim/unit.h"

#include <gtest/gtest.h>

#include "sim/programs.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

namespace kor::sim {
namespace {

using test::hex;
using test::to_hex;

std::vector<uint8_t> take_all(Unit& u, uint64_t now) {
  std::vector<uint8_t> out(8192);
  out.resize(u.Take(out.data(), out.size(), now));
  return out;
}

TEST(SimUnit, AnswersAfterItsLatencyOnlyAtItsSpeed) {
  Unit u;
  auto link = hex("00 08 01 55 55 55 55 10");
  u.Receive(link.data(), link.size(), 1000, 200000);
  EXPECT_TRUE(take_all(u, 1000 + 4999).empty());
  EXPECT_EQ(to_hex(take_all(u, 1000 + 5000)), "00 08 01 55 55 55 55 10");

  u.Receive(link.data(), link.size(), 1000, 115200);
  EXPECT_TRUE(take_all(u, 1000000).empty());
}

TEST(SimUnit, FindsFramesInNoiseAndAcrossPieces) {
  Unit u;
  auto bytes = hex("FF 13 00 08 01 55 55 55 55 10");
  u.Receive(bytes.data(), 4, 0, 200000);
  u.Receive(bytes.data() + 4, bytes.size() - 4, 10, 200000);
  ASSERT_EQ(u.frames().size(), 1u);
  EXPECT_EQ(to_hex(take_all(u, 100000)), "00 08 01 55 55 55 55 10");
}

TEST(SimUnit, FaultsApplyPerCommandAfterSkips) {
  Unit u;
  Fault f;
  ASSERT_TRUE(parse_fault("no-answer:55:1:1", f));
  u.Inject(f);
  auto link = hex("00 08 01 55 55 55 55 10");
  uint64_t t = 0;
  std::vector<size_t> sizes;
  for (int i = 0; i < 3; ++i) {
    u.Receive(link.data(), 8, t, 200000);
    t += 100000;
    sizes.push_back(take_all(u, t).size());
  }
  EXPECT_EQ(sizes, (std::vector<size_t>{8, 0, 8}));
  EXPECT_FALSE(parse_fault("melt", f));
  EXPECT_FALSE(parse_fault("cut:zz", f));
}

TEST(SimUnit, ServesParameterMemoryCutWhenAsked) {
  Unit u;
  u.paramServe = 3000;
  auto req = hex("00 08 01 04 04 04 04 04");
  u.Receive(req.data(), 8, 0, 200000);
  EXPECT_EQ(take_all(u, 1000000).size(), 3000u);
}

TEST(SimUnit, SilentModelGivesNoVersionAnswer) {
  Unit u;
  u.config().model = 0;
  auto req = hex("00 08 01 0D 0D 0D 0D 0C");
  u.Receive(req.data(), 8, 0, 200000);
  EXPECT_TRUE(take_all(u, 1000000).empty());
}

TEST(SimUnit, ProgramsThatDoNotParseWholeAreRefusedByThePageGeneration) {
  test::TempDir dir;
  dir.write("kor_program_001.txt", "%T\r\n001:G90\r\n002:G91\r\n");
  dir.write("kor_program_002.txt", "%T\r\n001:G90\r\n002:g91\r\n003:G17\r\n");
  std::string error;
  Unit page;
  page.config().model = 0;
  EXPECT_EQ(LoadPrograms(page, dir.path(), error), -1);
  EXPECT_NE(error.find("kor_program_002.txt"), std::string::npos) << error;
  EXPECT_NE(error.find("line 3"), std::string::npos) << error;

  // The block generation serves the lines as they are.
  Unit block;
  error.clear();
  EXPECT_EQ(LoadPrograms(block, dir.path(), error), 2) << error;
}

// An FTDI-like adapter: a full packet of 62 goes on at once, a short one waits
// out the latency after its first byte, and nothing is passed on in between.
TEST(SimUnit, AnAdapterPassesAnswersOnInPackets) {
  UnitConfig cfg;
  cfg.emulateWire = true;  // 50 us a byte at 200000 bit/s, after 5 ms
  cfg.adapterLatencyUs = 16000;
  Unit u(cfg);
  auto link = hex("00 08 01 55 55 55 55 10");
  u.Receive(link.data(), link.size(), 0, 200000);
  // Bytes through the line at 5450 .. 5800 us; the packet goes 16 ms after the first.
  EXPECT_EQ(u.NextDueUs(), 21450u);
  EXPECT_TRUE(take_all(u, 21449).empty());
  EXPECT_EQ(to_hex(take_all(u, 21450)), "00 08 01 55 55 55 55 10");

  auto memory = hex("00 08 01 04 04 04 04 04");
  u.Receive(memory.data(), memory.size(), 100000, 200000);
  // Byte k is through at 105400 + 50 (k + 1): the 62nd fills the first packet.
  EXPECT_TRUE(take_all(u, 108499).empty());
  EXPECT_EQ(take_all(u, 108500).size(), 62u);
  EXPECT_EQ(u.NextDueUs(), 111600u);
  // 4096 = 66 packets of 62 and 4 bytes, which wait 16 ms after the first of them.
  EXPECT_EQ(take_all(u, 326049).size(), 4092u - 62u);
  EXPECT_EQ(take_all(u, 326050).size(), 4u);
  EXPECT_EQ(u.NextDueUs(), UINT64_MAX);
}

}  // namespace
}  // namespace kor::sim
