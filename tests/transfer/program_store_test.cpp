// The simulated unit's program storage as tests, korsim and the demo seed it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "program_fixture.h"

namespace kor {
namespace {

namespace fs = std::filesystem;

const fs::path kSamples = fs::path(__FILE__).parent_path().parent_path() / "e2e" / "data" / "programs";

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ProgramStoreFiles : public test::ProgramTest {};

TEST_F(ProgramStoreFiles, SampleProgramsAreWholeProgramTextInTheUnitsForm) {
  int samples = 0;
  for (const auto& e : fs::directory_iterator(kSamples)) {
    const std::string text = slurp(e.path());
    ASSERT_EQ(text.rfind('%', 0), 0u) << e.path();
    const std::string body = text.substr(text.find('\n') + 1);
    ProgramImage img = blank_program_image(false, 1);
    const ProgramParse parse = parse_program_text(body, img.data(), img.size);
    EXPECT_EQ(parse.stop, ParseStop::End) << e.path() << " line " << parse.line;
    std::string back;
    format_program_text(img.data(), img.size, back);
    EXPECT_EQ(back, body) << e.path();
    ++samples;
  }
  EXPECT_GE(samples, 3);
}

TEST_F(ProgramStoreFiles, LoadedFilesDumpBackByteForByteInBothGenerations) {
  std::string error;
  ASSERT_EQ(sim::LoadPrograms(unit, kSamples.string(), error), 4) << error;
  EXPECT_EQ(store->slot(0, 4).title, "ДИСК 4 ПАЗА ПОВОРОТ A");
  EXPECT_EQ(store->slot(0, 4).lines.front(), "001:G90");
  EXPECT_TRUE(store->slot(0, 2).lines.empty());

  for (int model : {461, 0}) {
    unit.config().model = model;
    test::TempDir out;
    ASSERT_TRUE(sim::DumpPrograms(unit, out.path(), error)) << error;
    for (const auto& e : fs::directory_iterator(kSamples))
      EXPECT_EQ(out.read(e.path().filename().string()), slurp(e.path())) << model << " " << e.path();
    EXPECT_FALSE(out.exists("kor_program_003.txt"));
    EXPECT_EQ(out.exists("kor_program_005.bin"), model == 0);
  }
  EXPECT_EQ(sim::LoadPrograms(unit, (kSamples / "none").string(), error), -1);
}

}  // namespace
}  // namespace kor
