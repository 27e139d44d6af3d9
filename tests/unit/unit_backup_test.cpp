#include "unit/unit_backup.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "unit/sha256.h"
#include "unit_fixture.h"

namespace kor {
namespace {

namespace fs = std::filesystem;

class Backup : public test::UnitTest {
 protected:
  std::string Read(const std::string& rel) { return dir.read("out/" + rel); }

  BackupSummary Run(const ItemDone& done = {}) {
    BackupSummary s;
    EXPECT_TRUE(BackupUnit(dir.file("out"), s, done));
    return s;
  }

  // Every file SHA256SUMS names, hashed again.
  void ExpectSumsHold() {
    std::map<std::string, std::string> sums;
    ASSERT_TRUE(parse_sums(Read(kSumsName), sums));
    for (const auto& [file, hash] : sums) {
      const std::string bytes = Read(file);
      EXPECT_EQ(sha256_hex(bytes.data(), bytes.size()), hash) << file;
    }
  }
};

TEST(Sha256, KnownDigests) {
  EXPECT_EQ(sha256_hex("abc", 3), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(sha256_hex("", 0), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST_F(Backup, BlockUnitGivesACompleteFolder) {
  Fill(false);
  std::vector<std::string> seen;
  const BackupSummary s = Run([&](int k, int n, const UnitItem& i) {
    seen.push_back(std::to_string(k) + "/" + std::to_string(n) + " " + item_name(i) + " " + state_word(i));
    return true;
  });
  EXPECT_TRUE(s.complete);
  EXPECT_EQ(s.held, 8);
  EXPECT_EQ(s.empty, 65);
  ASSERT_EQ(seen.size(), 73u);
  EXPECT_EQ(seen[4], "5/73 program 005 program");
  EXPECT_EQ(seen[5], "6/73 program 006 empty");
  EXPECT_EQ(seen[72], "73/73 correction - read");

  // Each file is what a read of that item saves.
  EXPECT_EQ(Read("kor_programs/kor_program_005.txt"), "%ВАЛ 5\r\n001:G90\r\n002:X1.000 F100.00\r\n003:M30\r\n");
  EXPECT_EQ(Read("kor_subprograms/kor_subprogram_050.txt"), "001:G91\r\n002:Z-5.000 F90.00\r\n");
  EXPECT_FALSE(dir.exists("out/kor_programs/kor_program_002.txt"));
  const std::string params = Read("kor_parameters/kor_eeprom.koreep");
  ASSERT_EQ(params.size(), 4096u + std::strlen("461 v1.07"));
  EXPECT_EQ(params.substr(0, 4096), std::string(unit.paramMemory.begin(), unit.paramMemory.end()));
  EXPECT_NE(Read("kor_correction/kor_correction-.txt").find("кол-во_точек -:00002"), std::string::npos);

  ExpectSumsHold();
  std::map<std::string, std::string> sums;
  parse_sums(Read(kSumsName), sums);
  EXPECT_EQ(sums.size(), 8u);

  Manifest m;
  const std::string ini = Read(kManifestName);
  ASSERT_TRUE(parse_manifest(ini, m));
  EXPECT_TRUE(m.complete);
  EXPECT_EQ(ini.substr(ini.size() - 11), "complete=1\n");
  EXPECT_EQ(m.facts["model"], "461");
  EXPECT_EQ(m.facts["protocol"], "block");
  EXPECT_EQ(m.facts["version"], "461 v1.07");
  EXPECT_EQ(m.facts["port"], "COM5");
  EXPECT_EQ(m.states.size(), 73u);
  EXPECT_NE(ini.find("program_020=program\nsubprogram_001=program\n"), std::string::npos);
  EXPECT_NE(ini.find("correction+=read\n"), std::string::npos);
}

TEST_F(Backup, AnAnswerCutInsideSlotFiveLeavesTheFolderIncomplete) {
  Fill(false);
  // The header of slot 5 comes; every attempt at its first block is cut.
  sim::Fault f;
  ASSERT_TRUE(sim::parse_fault("cut:02:1:3::p5", f));
  unit.Inject(f);

  const BackupSummary s = Run();
  EXPECT_FALSE(s.complete);
  EXPECT_EQ(s.failed, 1);
  EXPECT_EQ(s.items[4].state, ItemState::Failed);
  EXPECT_EQ(s.items[19].state, ItemState::Held);  // the run goes on past a failed slot
  EXPECT_FALSE(dir.exists("out/kor_programs/kor_program_005.txt"));
  Manifest m;
  const std::string ini = Read(kManifestName);
  ASSERT_TRUE(parse_manifest(ini, m));
  EXPECT_FALSE(m.complete);
  EXPECT_NE(ini.find("program_005=failed\n"), std::string::npos);
  EXPECT_NE(ini.find("failed=1 program_005\n"), std::string::npos);
  ExpectSumsHold();
  // Reported in the summary, not as a message box per item.
  EXPECT_TRUE(rec.messages.empty());
}

TEST_F(Backup, PageUnitTakesEitherLastPageAndKnowsEmptySlots) {
  Fill(true);
  store->lastPageSize = 924;
  const BackupSummary s = Run();
  EXPECT_TRUE(s.complete) << backup_summary_line(s);
  EXPECT_EQ(s.held, 8);
  // The image holds no title: the text alone.
  EXPECT_EQ(Read("kor_programs/kor_program_020.txt"), "001:G90\r\n002:X1.000F100.00\r\n003:M30\r\n");
  EXPECT_EQ(Read("kor_subprograms/kor_subprogram_001.txt"), "001:G91\r\n002:Z-5.000F90.00\r\n");
  Manifest m;
  parse_manifest(Read(kManifestName), m);
  EXPECT_EQ(m.facts["protocol"], "page");
  EXPECT_EQ(m.facts["model"], "-1");
  EXPECT_EQ(manifest_state(m, s.items[1]), "empty");
}

TEST_F(Backup, LateAnswersOfOneItemDoNotSpoilTheNext) {
  Fill(false);
  // Empty slot 2 answers later than its read waits: the retry takes the first
  // answer, the second comes in before slot 3 is asked for. Taken as slot 3's,
  // every slot after would get the answer of the one before: slot 5 would pass
  // for empty.
  const BackupSummary s = Run([&](int k, int, const UnitItem&) {
    if (k == 1) unit.config().latencyUs = 45000;
    if (k == 2) {
      unit.config().latencyUs = 5000;
      clock.Advance(10000);
    }
    return true;
  });
  EXPECT_TRUE(s.complete) << backup_summary_line(s);
  EXPECT_EQ(s.items[1].state, ItemState::Empty);
  EXPECT_EQ(s.items[4].state, ItemState::Held);
  EXPECT_EQ(Read("kor_programs/kor_program_005.txt"), "%ВАЛ 5\r\n001:G90\r\n002:X1.000 F100.00\r\n003:M30\r\n");
}

TEST_F(Backup, StopEndsAfterTheCurrentItem) {
  Fill(false);
  const BackupSummary s = Run([&](int k, int, const UnitItem&) {
    if (k == 3) app().stopRequested = true;
    return true;
  });
  EXPECT_TRUE(s.stopped);
  EXPECT_FALSE(s.complete);
  EXPECT_EQ(s.items[2].state, ItemState::Empty);
  EXPECT_EQ(s.items[3].state, ItemState::Pending);
  Manifest m;
  parse_manifest(Read(kManifestName), m);
  EXPECT_FALSE(m.complete);
  EXPECT_FALSE(app().stopRequested);
}

TEST_F(Backup, NothingIsLeftWhenTheUnitIsSilentOrTheFolderTaken) {
  BackupSummary s;
  sim::Fault f;
  ASSERT_TRUE(sim::parse_fault("no-answer:55", f));
  unit.Inject(f);
  EXPECT_FALSE(BackupUnit(dir.file("out"), s));
  EXPECT_FALSE(dir.exists("out"));
  EXPECT_EQ(rec.silent, std::vector<std::string>{"КОР не отвечает"});

  fs::create_directory(dir.file("taken"));
  EXPECT_FALSE(BackupUnit(dir.file("taken"), s));
  ASSERT_EQ(rec.messages.size(), 1u);
  EXPECT_EQ(rec.messages[0].text.rfind("Папка уже существует", 0), 0u);
  EXPECT_TRUE(frames().size() == 1u);  // only the unanswered link check
}

TEST(Manifest, CompleteOnlyAsTheLastLine) {
  Manifest m;
  ASSERT_TRUE(parse_manifest("[backup]\nmodel=461\n[items]\nparams=read\n[result]\ncomplete=1\n", m));
  EXPECT_TRUE(m.complete);
  // Cut short after the mark, or the mark not last: not complete.
  ASSERT_TRUE(parse_manifest("[backup]\n[result]\ncomplete=1\nfailed=0\n", m));
  EXPECT_FALSE(m.complete);
  ASSERT_TRUE(parse_manifest("[backup]\n[result]\ncomplete=0\n", m));
  EXPECT_FALSE(m.complete);
  EXPECT_FALSE(parse_manifest("not a manifest\n", m));
}

TEST(Sums, ReadWhatSha256sumWrites) {
  const std::string h(64, 'a');
  std::map<std::string, std::string> sums;
  ASSERT_TRUE(parse_sums(h + "  kor_programs/kor_program_001.txt\n" + h + " *bin\n", sums));
  EXPECT_EQ(sums.size(), 2u);
  EXPECT_EQ(sums["bin"], h);
  EXPECT_FALSE(parse_sums(h + " x\n", sums));
  EXPECT_FALSE(parse_sums(std::string(64, 'G') + "  x\n", sums));
}

}  // namespace
}  // namespace kor
