#include "transfer/download_title.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace kor {
namespace {

TEST(DownloadTitle, ATitleLineWinsOverTheFileName) {
  test::TempDir dir;
  struct Case {
    std::string firstBytes;
    std::string title;
  } cases[] = {
      {"%PART 12\r\n001:G90\r\n", "PART 12"},
      {"(%ВАЛ)\r\n", "(ВАЛ)"},  // only the first "%" goes
      {"%%\r\n", "%"},
      {"001:G90\r\n%LATE\r\n", "prog.txt"},                // only the first line counts
      {std::string(39, 'X') + "%T\r\n", "prog.txt"},       // past the 39 characters looked at
      {"%" + std::string(50, 'T'), std::string(38, 'T')},  // the rest of 39, cut later to 33
      {"", "prog.txt"},
  };
  for (const auto& c : cases) {
    dir.write("prog.txt", c.firstBytes);
    EXPECT_EQ(ProposedTitle(dir.file("prog.txt").c_str(), "prog.txt"), c.title) << c.firstBytes;
  }
  EXPECT_EQ(ProposedTitle(dir.file("missing.txt").c_str(), "missing.txt"), "missing.txt");
  EXPECT_EQ(ProposedTitle(dir.file("missing.txt").c_str(), std::string(45, 'n').c_str()), std::string(39, 'n'));
}

TEST(DownloadTitle, TheChoiceKeeps33CharactersAndNoSlotAsMinusOne) {
  reset_app_state();
  StoreDownloadChoice(4, std::string(40, 'A').c_str());
  EXPECT_EQ(app().slotIndex, 4);
  EXPECT_EQ(std::string(app().title), std::string(33, 'A'));
  StoreDownloadChoice(-1, "ВАЛ");
  EXPECT_EQ(app().slotIndex, -1);
  EXPECT_STREQ(app().title, "ВАЛ");
  EXPECT_EQ(DownloadCaption("kor_program_001.txt"), "Загрузка kor_program_001.txt");
  EXPECT_EQ(DownloadCaption(std::string(60, 'x').c_str()).size(), 39u);
  EXPECT_EQ(DownloadSlots(DataKind::Program), 20);
  EXPECT_EQ(DownloadSlots(DataKind::Subprogram), 50);
  EXPECT_EQ(DownloadSlots(DataKind::Parameters), 0);
  reset_app_state();
}

}  // namespace
}  // namespace kor
