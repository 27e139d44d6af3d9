#include "transfer/program_read.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "program_fixture.h"
#include "protocol/transactions.h"
#include "transfer/program_slots.h"

namespace kor {
namespace {

using test::hex;
using test::to_hex;

class ReadBlock : public test::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    BlockUnit();
  }
};

TEST_F(ReadBlock, AllProgramsSkipEmptySlotsAndPromptOnce) {
  for (int i = 0; i < 20; ++i)
    if (i != 2 && i != 6) store->slot(0, i) = {"P" + std::to_string(i + 1), numbered_lines(i + 1), {}};
  rec.answerYes = false;

  ReadPrograms(20);

  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.file("kor_programs"))) files += e.is_regular_file();
  EXPECT_EQ(files, 18);
  EXPECT_FALSE(dir.exists(program_file(3)));
  EXPECT_FALSE(dir.exists(program_file(7)));
  EXPECT_EQ(dir.read(program_file(2)), "%P2\r\n001:G90\r\n002:G90\r\n");
  ASSERT_EQ(rec.prompts.size(), 1u);
  EXPECT_NE(rec.prompts[0].text.find("kor_program_001.txt"), std::string::npos);
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"загрузка программ завершена"});
  EXPECT_EQ(rec.messages[0].icon, Icon::Information);
  EXPECT_TRUE(rec.silent.empty());
}

TEST_F(ReadBlock, FiveLinesComeInThreeBlocks) {
  store->slot(0, 4) = {"ВАЛ 5", numbered_lines(5), {}};
  store->slot(0, 5) = {"", numbered_lines(5), {}};

  ReadPrograms(4);
  EXPECT_EQ(rec.texts, (std::vector<std::string>{"2/5", "4/5", "5/5", " "}));
  EXPECT_EQ(rec.ranges.back(), std::make_pair(0, 3));
  EXPECT_EQ(dir.read(program_file(5)), "%ВАЛ 5\r\n001:G90\r\n002:G90\r\n003:G90\r\n004:G90\r\n005:G90\r\n");
  // Header, then blocks 1..3 of slot index 4; each request is checked.
  ASSERT_EQ(requests(0x02), 4u);
  EXPECT_EQ(to_hex(frames()[2]), "00 08 01 00 02 04 00 02");
  EXPECT_EQ(to_hex(frames()[5]), "00 08 01 00 02 04 03 04");

  // No title: no "%" line.
  ReadPrograms(5);
  EXPECT_EQ(dir.read(program_file(6)), "001:G90\r\n002:G90\r\n003:G90\r\n004:G90\r\n005:G90\r\n");
  EXPECT_EQ(rec.prompts.size(), 2u);  // every single read prompts
  EXPECT_TRUE(rec.messages.empty());
}

TEST_F(ReadBlock, LineCountsBeyondTheSlotAreRefused) {
  struct Case {
    uint8_t kind;
    int lines;
    int result;
  } cases[] = {
      {0, 500, kBlockStored}, {0, 501, kBlockBadCount}, {0, 0, kBlockBadCount},
      {1, 100, kBlockStored}, {1, 101, kBlockBadCount},
  };
  CRs232 rs;
  ASSERT_EQ(OpenAppPort(rs), 0);
  for (const auto& c : cases) {
    store->slot(c.kind, 0) = {"", numbered_lines(c.lines), {}};
    const size_t before = frames().size();
    EXPECT_EQ(BlockRead(rs, c.kind, 0), c.result) << int(c.kind) << " " << c.lines;
    // A refused header costs one request and saves nothing.
    if (c.result != kBlockStored) {
      EXPECT_EQ(frames().size() - before, 1u);
    }
  }
  EXPECT_TRUE(dir.exists(program_file(1)));
  EXPECT_TRUE(dir.exists("kor_subprograms/kor_subprogram_001.txt"));
  EXPECT_FALSE(dir.exists("kor_subprograms/kor_subprogram_001(1).txt"));
}

TEST_F(ReadBlock, HeaderFaultsGiveTheirResults) {
  CRs232 rs;
  ASSERT_EQ(OpenAppPort(rs), 0);
  store->slot(0, 0) = {"T", numbered_lines(3), {}};
  // A header that does not arrive whole is asked for three times, like a data block.
  unit.Inject({sim::FaultKind::NoAnswer, 0x02, 0, 3});
  EXPECT_EQ(BlockRead(rs, 0, 0), kBlockNoHeader);
  unit.Inject({sim::FaultKind::Cut, 0x02, 0, 3, 41});
  EXPECT_EQ(BlockRead(rs, 0, 0), kBlockNoHeader);
  EXPECT_EQ(requests(0x02), 6u);
  store->slot(0, 0).lines.resize(size_t(0x8000) + 5);  // 32773 reads as negative
  EXPECT_EQ(BlockRead(rs, 0, 0), kBlockBadCount);
  EXPECT_FALSE(dir.exists("kor_programs"));
  store->slot(0, 0).lines.resize(3);
  unit.Inject({sim::FaultKind::BadCrc, 0x02, 0, 2});
  EXPECT_EQ(BlockRead(rs, 0, 0), kBlockStored);  // the third header came whole
}

TEST_F(ReadBlock, ABlockFailingTwiceIsReadTheThirdTime) {
  store->slot(0, 0) = {"", numbered_lines(4), {}};
  unit.Inject({sim::FaultKind::BadCrc, 0x02, 1, 2});  // the header passes, block 1 fails twice
  ReadPrograms(0);
  EXPECT_EQ(dir.read(program_file(1)), "001:G90\r\n002:G90\r\n003:G90\r\n004:G90\r\n");
  EXPECT_EQ(requests(0x02), 1u + 4u);
  EXPECT_TRUE(rec.messages.empty());
  EXPECT_TRUE(rec.silent.empty());
}

TEST_F(ReadBlock, ABlockFailingThreeTimesEndsAllWithNothingSaved) {
  for (int i = 0; i < 20; ++i) store->slot(0, i) = {"", numbered_lines(4), {}};
  // Slot 1 is read whole; slot 2's header passes and its block 2 never does.
  unit.Inject({sim::FaultKind::NoAnswer, 0x02, 3 + 2, 3});
  ReadPrograms(20);
  EXPECT_TRUE(dir.exists(program_file(1)));
  EXPECT_FALSE(dir.exists(program_file(2)));
  EXPECT_FALSE(dir.exists(program_file(3)));
  EXPECT_TRUE(rec.messages.empty());  // silent in the window; the command line hears why
  EXPECT_EQ(rec.silent.size(), 1u);
}

TEST_F(ReadBlock, AllNamesTheSlotsWhoseHeaderNeverCameWhole) {
  struct Case {
    uint8_t kind;
    sim::Fault fault;  // on the header of slot 2 (every slot is one block: two requests)
    const char* message;
    bool slot2Saved;
  } cases[] = {
      {0, {sim::FaultKind::Cut, 0x02, 2, 2}, "загрузка программ завершена", true},
      {0, {sim::FaultKind::Cut, 0x02, 2, 3}, "Не удалось прочитать программы: 002", false},
      {0, {sim::FaultKind::BadCrc, 0x02, 2, 3}, "Не удалось прочитать программы: 002", false},
      {1, {sim::FaultKind::NoAnswer, 0x02, 2, 3}, "Не удалось прочитать подпрограммы: 002", false},
  };
  for (const auto& c : cases) {
    test::TempDir folder;
    std::strcpy(app().dataFolder, folder.path().c_str());
    for (int i = 0; i < slot_count(c.kind); ++i) store->slot(c.kind, i) = {"", numbered_lines(2), {}};
    store->slot(c.kind, 5) = {"", {}, {}};  // an empty slot is passed over in silence
    rec.messages.clear();
    unit.Inject(c.fault);
    c.kind == kProgramKind ? ReadPrograms(20) : ReadSubprograms(50);
    const char* base = c.kind == kProgramKind ? "kor_programs/kor_program_" : "kor_subprograms/kor_subprogram_";
    EXPECT_EQ(folder.exists(std::string(base) + "002.txt"), c.slot2Saved) << c.message;
    EXPECT_TRUE(folder.exists(std::string(base) + "003.txt")) << c.message;  // the read went on
    EXPECT_FALSE(folder.exists(std::string(base) + "006.txt")) << c.message;
    EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{c.message});
    EXPECT_EQ(rec.messages.back().icon, c.slot2Saved ? Icon::Information : Icon::Warning);
  }
}

TEST_F(ReadBlock, SavingTwiceGivesANumberedName) {
  store->slot(0, 0) = {"", numbered_lines(1), {}};
  ReadPrograms(0);
  std::filesystem::current_path(std::filesystem::temp_directory_path());
  store->slot(0, 0) = {"", numbered_lines(2), {}};
  ReadPrograms(0);
  EXPECT_EQ(dir.read(program_file(1)), "001:G90\r\n");
  EXPECT_EQ(dir.read("kor_programs/kor_program_001(1).txt"), "001:G90\r\n002:G90\r\n");
}

TEST_F(ReadBlock, AFileThatCannotBeSavedEndsAllWithoutCompletion) {
  for (int i = 0; i < 20; ++i) store->slot(0, i) = {"", numbered_lines(1), {}};
  dir.write("kor_programs", "a file where the folder should be");
  ReadPrograms(20);
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Не удалось создать файл"});
  EXPECT_TRUE(rec.prompts.empty());
  EXPECT_EQ(requests(0x02), 2u);  // slot 1 only
}

TEST_F(ReadBlock, ALostLinkEndsAllWithOneMessage) {
  for (int i = 0; i < 20; ++i) store->slot(0, i) = {"", numbered_lines(2), {}};
  rec.onPump = [this] { driver.faults.writeFails = true; };
  ReadPrograms(20);
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"Связь потеряна, переподключите кабель"});
  EXPECT_TRUE(dir.exists(program_file(1)));
  EXPECT_EQ(driver.abandoned, 1);
}

TEST_F(ReadBlock, SelectionAndModelGuard) {
  ReadPrograms(-1);
  ReadSubprograms(51);
  EXPECT_EQ(rec.MessageTexts(), (std::vector<std::string>{"Ошибка выбора программы", "Ошибка выбора программы"}));
  EXPECT_EQ(driver.opens, 0);

  rec.messages.clear();
  unit.config().model = 460;
  ReadPrograms(0);
  EXPECT_EQ(frames().size(), 2u);  // link check and version query only
  EXPECT_TRUE(rec.messages.empty());
  EXPECT_EQ(rec.silent.size(), 1u);
}

class ReadPage : public test::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    PageUnit();
  }
  void Seed(int kind, int count, const std::string& text) {
    for (int i = 0; i < count; ++i) store->slot(kind, i).image = image_of(text, kind == 1, uint16_t(i + 1));
  }
  const std::string text = "001:G90\r\n002:X12.345F500.00\r\n//003:M30\r\n";
};

TEST_F(ReadPage, OneProgramInFivePages) {
  Seed(0, 20, text);
  ReadPrograms(2);
  EXPECT_EQ(dir.read(program_file(3)), text);
  EXPECT_TRUE(rec.messages.empty());
  EXPECT_EQ(rec.prompts.size(), 1u);
  // Requests name the slot number from 1, page by page, after the axis table.
  EXPECT_EQ(to_hex(frames()[2]), "00 08 01 04 04 04 04 04");
  EXPECT_EQ(to_hex(frames()[3]), "00 08 01 00 02 03 00 03");
  EXPECT_EQ(to_hex(frames()[7]), "00 08 01 00 02 03 04 04");
  EXPECT_EQ(rec.texts,
            (std::vector<std::string>{"3326/16632", "6652/16632", "9978/16632", "13304/16632", "16632/16632", " "}));
  EXPECT_EQ(clock.slept_ms(), 18u + 30u + 750u + 5u * 540u);
}

TEST_F(ReadPage, LastPageLengthExpectedDependsOnTheRead) {
  struct Case {
    size_t served;
    bool all;
    size_t tooMuch;
  } cases[] = {{661, false, 0}, {661, true, 20}, {924, false, 1}, {924, true, 0}};
  Seed(0, 20, text);
  for (const auto& c : cases) {
    test::TempDir folder;
    std::strcpy(app().dataFolder, folder.path().c_str());
    rec.messages.clear();
    store->lastPageSize = c.served;
    ReadPrograms(c.all ? 20 : 0);
    size_t tooMuch = 0;
    for (const auto& m : rec.messages) tooMuch += m.text == "TOO_MUCH_DATAS";
    EXPECT_EQ(tooMuch, c.tooMuch) << c.served << " " << c.all;
    EXPECT_EQ(rec.messages.size(), c.tooMuch);
    // The file is written either way.
    EXPECT_EQ(folder.read(program_file(1)), text);
    EXPECT_EQ(folder.exists(program_file(20)), c.all);
  }
}

TEST_F(ReadPage, AllProgramsWaitLessAndNeverPrompt) {
  Seed(0, 20, text);
  store->lastPageSize = 924;
  ReadPrograms(20);
  EXPECT_TRUE(rec.prompts.empty());
  EXPECT_TRUE(rec.messages.empty());
  EXPECT_EQ(dir.read(program_file(20)), text);
  EXPECT_EQ(clock.slept_ms(), 18u + 30u + 750u + 20u * 5u * 340u);
  EXPECT_EQ(rec.stops.back(), StopButton::Hide);
}

TEST_F(ReadPage, StopEndsAllAfterTheProgramBeingRead) {
  Seed(0, 20, text);
  store->lastPageSize = 924;
  int pumps = 0;
  rec.onPump = [&] {
    if (++pumps == 12) app().stopRequested = true;  // during program 3
  };
  ReadPrograms(20);
  EXPECT_TRUE(dir.exists(program_file(3)));
  EXPECT_FALSE(dir.exists(program_file(4)));
  EXPECT_EQ(rec.stops, (std::vector<StopButton>{StopButton::Show, StopButton::Show, StopButton::Show,
                                                StopButton::ResetText, StopButton::Hide}));
  EXPECT_FALSE(app().stopRequested);
}

TEST_F(ReadPage, AStopTheReadNeverReachedDoesNotCarryOver) {
  Seed(0, 20, text);
  store->lastPageSize = 924;
  // Stop is pressed during program 2, whose page 1 then comes short: the read
  // ends another way than by the Stop.
  unit.Inject({sim::FaultKind::Cut, 0x02, 6, 1, 3999});
  rec.onPump = [&] {
    if (rec.pumps == 6) app().stopRequested = true;
  };
  ReadPrograms(20);
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"TOO_MUCH_DATAS"});
  EXPECT_FALSE(app().stopRequested);
  EXPECT_EQ(rec.stops.back(), StopButton::ResetText);  // "Завершаю..." gone

  rec.onPump = nullptr;
  test::TempDir folder;
  std::strcpy(app().dataFolder, folder.path().c_str());
  ReadPrograms(20);
  EXPECT_TRUE(folder.exists(program_file(20)));
}

TEST_F(ReadPage, AShortFullPageSavesNothingAndEndsAll) {
  Seed(0, 20, text);
  unit.Inject({sim::FaultKind::Cut, 0x02, 1, 1, 3999});  // page 1 of program 1
  ReadPrograms(20);
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"TOO_MUCH_DATAS"});
  EXPECT_FALSE(dir.exists("kor_programs"));
  EXPECT_EQ(rec.positions.back(), 0);
  EXPECT_EQ(rec.stops.back(), StopButton::Hide);
}

TEST_F(ReadPage, AMissingLastPageEndsTheTextWhereTheBytesEnd) {
  // 490 frames: the last six live in page 4, which never comes.
  Seed(0, 1, moves(490));
  unit.Inject({sim::FaultKind::NoAnswer, 0x02, 4});
  ReadPrograms(0);
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"TOO_MUCH_DATAS"});
  EXPECT_EQ(dir.read(program_file(1)), moves(484));
}

TEST_F(ReadPage, ABadRecordChecksumIsShownAndTheFileStillWritten) {
  Seed(0, 1, text);
  store->slot(0, 0).image[33 + 31] ^= 0x01;
  store->slot(0, 0).image[33 + 32] ^= 0x01;
  ReadPrograms(0);
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"CRC_IS_WRONG"});
  EXPECT_EQ(dir.read(program_file(1)), text);
}

TEST_F(ReadPage, SubprogramsComeInOnePage) {
  Seed(1, 50, text);
  ReadSubprograms(6);
  EXPECT_EQ(dir.read("kor_subprograms/kor_subprogram_007.txt"), text);
  EXPECT_EQ(to_hex(frames()[3]), "00 08 01 01 02 07 00 05");
  EXPECT_EQ(rec.texts.front(), "3432/3432");
  EXPECT_TRUE(rec.messages.empty());

  unit.Inject({sim::FaultKind::Cut, 0x02, 0, 1, 3431});
  ReadSubprograms(0);
  EXPECT_EQ(rec.MessageTexts(), std::vector<std::string>{"TOO_MUCH_DATAS"});
  EXPECT_EQ(dir.read("kor_subprograms/kor_subprogram_001.txt"), text);
}

TEST_F(ReadPage, AllSubprogramsHonourStop) {
  Seed(1, 50, text);
  rec.onPump = [&] { app().stopRequested = rec.pumps == 2; };
  ReadSubprograms(50);
  EXPECT_TRUE(dir.exists("kor_subprograms/kor_subprogram_002.txt"));
  EXPECT_FALSE(dir.exists("kor_subprograms/kor_subprogram_003.txt"));
  EXPECT_TRUE(rec.prompts.empty());
  EXPECT_EQ(rec.stops.back(), StopButton::Hide);
}

}  // namespace
}  // namespace kor
