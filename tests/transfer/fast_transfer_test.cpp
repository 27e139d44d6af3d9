// Fast mode moves the same bytes as the default, only sooner: every file, every
// message and what the unit ends up holding are the same in both modes.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "app/app_state.h"
#include "transfer/download_title.h"
#include "transfer/program_read.h"
#include "transfer/program_write.h"
#include "transfer/program_fixture.h"

namespace kor {
namespace {

namespace fs = std::filesystem;

class FastTransfer : public test::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    unit.config().emulateWire = true;
  }

  struct Run {
    uint64_t elapsedUs = 0;
    std::vector<std::string> messages;
    std::map<std::string, std::string> files;  // data folder, relative path -> bytes
  };

  // One run of the operation in a fresh data folder.
  Run Once(bool fast, const std::function<void()>& operation) {
    test::TempDir folder;
    std::strcpy(app().dataFolder, folder.path().c_str());
    app().fastMode = fast;
    rec.messages.clear();
    const uint64_t start = clock.NowUs();
    operation();
    Run r;
    r.elapsedUs = clock.NowUs() - start;
    r.messages = rec.MessageTexts();
    for (const auto& e : fs::recursive_directory_iterator(folder.path()))
      if (e.is_regular_file()) r.files[fs::relative(e.path(), folder.path()).generic_string()] = folder.read(
          fs::relative(e.path(), folder.path()).string());
    return r;
  }

  void Choose(const std::string& text, int slot, const char* title) {
    dir.write("in.txt", text);
    std::strcpy(app().selectedFile, dir.file("in.txt").c_str());
    StoreDownloadChoice(slot, title);
  }

  void SeedImages(int kind, int count) {
    for (int i = 0; i < count; ++i)
      store->slot(kind, i).image = image_of(moves(40 + i), kind == 1, uint16_t(i + 1));
  }
};

TEST_F(FastTransfer, BlockReadsGiveTheSameFilesSooner) {
  BlockUnit();
  for (int i : {0, 3, 19}) {
    store->slot(0, i).title = "ВАЛ " + std::to_string(i);
    store->slot(0, i).lines = numbered_lines(i == 19 ? 500 : 7 + i);
  }
  const Run slow = Once(false, [] { ReadPrograms(20); });
  const Run fast = Once(true, [] { ReadPrograms(20); });
  EXPECT_EQ(slow.files.size(), 3u);
  EXPECT_EQ(fast.files, slow.files);
  EXPECT_EQ(fast.messages, slow.messages);
  EXPECT_LT(fast.elapsedUs * 3, slow.elapsedUs);
}

// The last page's length is the unit's choice; one longer than expected must
// still be seen whole (and reported) although fast mode had what it expected.
TEST_F(FastTransfer, PageReadsGiveTheSameFilesAndMessages) {
  PageUnit();
  SeedImages(0, 20);
  SeedImages(1, 50);
  struct Case {
    size_t lastPage;
    int kind;
    int selection;
  } cases[] = {{661, 0, 4}, {924, 0, 4}, {661, 0, 20}, {924, 0, 20}, {924, 1, 7}, {924, 1, 50}};
  for (const Case& c : cases) {
    store->lastPageSize = c.lastPage;
    auto read = [&] { c.kind ? ReadSubprograms(c.selection) : ReadPrograms(c.selection); };
    const Run slow = Once(false, read);
    const Run fast = Once(true, read);
    const std::string where = std::to_string(c.lastPage) + " " + std::to_string(c.kind) + "/" +
                              std::to_string(c.selection);
    EXPECT_FALSE(slow.files.empty()) << where;
    EXPECT_EQ(fast.files, slow.files) << where;
    EXPECT_EQ(fast.messages, slow.messages) << where;
    EXPECT_LT(fast.elapsedUs, slow.elapsedUs) << where;
  }
}

TEST_F(FastTransfer, WritesLeaveTheUnitHoldingTheSame) {
  struct Case {
    bool block;
    int kind;
    int earlyEndPage;  // the page after which the unit says "966666"
  } cases[] = {{true, 0, -1}, {true, 1, -1}, {false, 0, -1}, {false, 0, 10}, {false, 1, -1}};
  for (const Case& c : cases) {
    c.block ? BlockUnit() : PageUnit();
    store->earlyEndPage = c.earlyEndPage;
    Choose(moves(c.kind ? 90 : 480), 6, "ДИСК");
    auto write = [&] {
      StoreDownloadChoice(6, "ДИСК");
      c.kind ? WriteSubprogram() : WriteProgram();
    };
    store->slot(c.kind, 6) = {};
    const Run slow = Once(false, write);
    const sim::StoredProgram slowSlot = store->slot(c.kind, 6);
    store->slot(c.kind, 6) = {};
    const Run fast = Once(true, write);
    const sim::StoredProgram& fastSlot = store->slot(c.kind, 6);
    const std::string where = std::string(c.block ? "block " : "page ") + std::to_string(c.kind) + " " +
                              std::to_string(c.earlyEndPage);
    EXPECT_FALSE(slowSlot.lines.empty() && slowSlot.image.empty()) << where;
    EXPECT_EQ(fastSlot.title, slowSlot.title) << where;
    EXPECT_EQ(fastSlot.lines, slowSlot.lines) << where;
    EXPECT_EQ(fastSlot.image, slowSlot.image) << where;
    EXPECT_EQ(fast.messages, slow.messages) << where;
    ASSERT_EQ(fast.messages.size(), 1u) << where;  // the completion notice alone
    EXPECT_LT(fast.elapsedUs * 3, slow.elapsedUs) << where;
  }
}

}  // namespace
}  // namespace kor
