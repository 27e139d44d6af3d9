#include "unit/unit_restore.h"

#include <gtest/gtest.h>

#include "unit/unit_compare.h"
#include "unit_fixture.h"

namespace kor {
namespace {

class Restore : public test::UnitTest {
 protected:
  std::string Backup() {
    BackupSummary s;
    EXPECT_TRUE(BackupUnit(dir.file("b1"), s));
    EXPECT_TRUE(s.complete);
    return dir.file("b1");
  }
  std::vector<std::string> Errors() const {
    std::vector<std::string> out;
    for (const auto& m : rec.messages)
      if (m.icon == Icon::Error) out.push_back(m.text);
    return out;
  }
};

TEST_F(Restore, PutsBackWhatChangedWithItsTitleAndListsWhatItCannotErase) {
  Fill(false);
  store->slot(0, 19).title = "";  // a program without a title stays without one
  const std::string b = Backup();
  const sim::StoredProgram five = store->slot(0, 4), twenty = store->slot(0, 19);
  Put(0, 4, "001:M30\r\n", "OTHER");
  Put(0, 7, "001:M30\r\n", "NEW");  // not in the backup
  unit.paramMemory[176] = 5;
  const std::vector<uint8_t> params = sim::sample_parameter_memory();

  RestorePlan plan;
  ASSERT_TRUE(PlanRestore(b, {}, plan));
  EXPECT_EQ(restore_overview(plan), "программы 1, 5, 20; подпрограммы 1, 50; параметры");
  RestoreResult r;
  EXPECT_TRUE(RestoreUnit(plan, r));
  EXPECT_TRUE(r.fresh.complete);
  ASSERT_EQ(r.rows.size(), 6u);
  for (const RestoreRow& row : r.rows) EXPECT_EQ(row.written + ", " + row.verified, "written, verified") << row.name;
  EXPECT_EQ(store->slot(0, 4).title, five.title);
  EXPECT_EQ(store->slot(0, 4).lines, five.lines);
  EXPECT_EQ(store->slot(0, 19).title, "");
  EXPECT_EQ(store->slot(0, 19).lines, twenty.lines);
  EXPECT_EQ(unit.paramMemory, params);
  EXPECT_EQ(r.left, std::vector<std::string>{"program 008"});
  EXPECT_TRUE(Errors().empty());
}

TEST_F(Restore, PageUnitNamesEachProgramAfterItsFile) {
  Fill(true);
  const std::string b = Backup();
  RestoreChoice only;
  only.subprograms = only.params = false;
  RestorePlan plan;
  ASSERT_TRUE(PlanRestore(b, only, plan));
  EXPECT_EQ(restore_overview(plan), "программы 1, 5, 20");
  RestoreResult r;
  EXPECT_TRUE(RestoreUnit(plan, r)) << (r.rows.empty() ? "" : r.rows[0].verified);
  EXPECT_EQ(store->slot(0, 4).title, "kor_program_005.txt");
  EXPECT_EQ(store->closings, 3);
}

TEST_F(Restore, RefusesADamagedOrIncompleteFolderBeforeAnyFrame) {
  Fill(false);
  const std::string b = Backup();
  struct Case {
    const char* what;
    std::function<void()> spoil;
    const char* error;
  } cases[] = {
      {"one byte changed",
       [&] {
         std::string t = dir.read("b1/kor_programs/kor_program_020.txt");
         t[3] ^= 1;
         dir.write("b1/kor_programs/kor_program_020.txt", t);
       },
       "Восстановление не начато: резервная копия повреждена (program 020: SHA-256 does not match)"},
      {"a file gone", [&] { std::remove(dir.file("b1/kor_programs/kor_program_020.txt").c_str()); },
       "Восстановление не начато: резервная копия повреждена (program 020: file missing)"},
      {"not complete",
       [&] {
         std::string ini = dir.read("b1/backup.ini");
         dir.write("b1/backup.ini", ini.substr(0, ini.size() - 11) + "complete=0\n");
       },
       "Восстановление не начато: резервная копия не завершена (нет complete=1)"},
  };
  const std::string ini = dir.read("b1/backup.ini");
  const std::string prog = dir.read("b1/kor_programs/kor_program_020.txt");
  for (const Case& c : cases) {
    c.spoil();
    unit.ClearFrames();
    rec.messages.clear();
    RestorePlan plan;
    EXPECT_FALSE(PlanRestore(b, {}, plan)) << c.what;
    EXPECT_EQ(Errors(), std::vector<std::string>{c.error}) << c.what;
    EXPECT_TRUE(frames().empty());
    dir.write("b1/backup.ini", ini);
    dir.write("b1/kor_programs/kor_program_020.txt", prog);
  }
}

TEST_F(Restore, PartialTakesTheIntactItemsOfACutBackup) {
  Fill(false);
  sim::Fault f;
  ASSERT_TRUE(sim::parse_fault("cut:02:1:3::p5", f));
  unit.Inject(f);
  BackupSummary s;
  ASSERT_TRUE(BackupUnit(dir.file("cut"), s));
  ASSERT_FALSE(s.complete);
  RestorePlan plan;
  EXPECT_FALSE(PlanRestore(dir.file("cut"), {}, plan));
  EXPECT_EQ(Errors(), std::vector<std::string>{
                          "Восстановление не начато: резервная копия не завершена (program 005: failed)"});
  RestoreChoice partial;
  partial.partial = true;
  ASSERT_TRUE(PlanRestore(dir.file("cut"), partial, plan));
  EXPECT_EQ(restore_overview(plan), "программы 1, 20; подпрограммы 1, 50; параметры");
}

TEST_F(Restore, CompareListsExactlyTheChangedItems) {
  Fill(false);
  const std::string b = Backup();
  Put(0, 4, "001:M30\r\n", "OTHER");
  Put(1, 2, "001:M30\r\n", "");
  store->slot(1, 49) = {};
  unit.paramMemory[9] = 1;
  std::vector<UnitItem> saved, live;
  Manifest m;
  std::string error;
  ASSERT_TRUE(LoadBackupItems(b, saved, m, error)) << error;
  UnitFacts facts;
  ASSERT_TRUE(ReadUnit(live, facts, {}, {}));
  std::vector<std::string> lines;
  for (const ItemVerdict& v : compare_items(live, saved, "unit", "backup"))
    if (!v.same) lines.push_back(v.name + ": " + v.verdict);
  const std::vector<std::string> want = {
      "program 005: differs: line 1: unit \"%OTHER\" backup \"%ВАЛ 5\"",
      "subprogram 003: only in unit",
      "subprogram 050: only in backup",
      "params: differs: offset 9 (0x009): unit 0x01 backup 0x00, Канал P2.0: Режим работы",
  };
  EXPECT_EQ(lines, want);
}

}  // namespace
}  // namespace kor
