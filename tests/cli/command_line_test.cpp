// The whole command line in process: arguments in, exit status and both output
// streams out, against made-up adapters and the simulated unit on virtual time.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/adapters.h"
#include "cli/context.h"
#include "app/cp1251.h"
#include "link/overlapped.h"
#include "sim/sim_overlapped.h"
#include "sim/programs.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

#ifdef _WIN32
#include <io.h>
#define dup _dup
#define dup2 _dup2
#define close _close
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace kor::test {
namespace {

// Literals here are code page 1251, as everywhere; the terminal gets UTF-8.
std::string utf8(const char* text) { return cp1251_to_utf8(text); }

struct Outcome {
  int status = 0;
  std::string out, err;  // UTF-8, as the terminal gets them
};

// Standard output and error into files for the length of one run.
class Capture {
 public:
  Capture() : out_(std::tmpfile()), err_(std::tmpfile()) {
    std::fflush(stdout);
    std::fflush(stderr);
    savedOut_ = dup(1);
    savedErr_ = dup(2);
    dup2(fileno(out_), 1);
    dup2(fileno(err_), 2);
  }
  Outcome Finish(int status) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(savedOut_, 1);
    dup2(savedErr_, 2);
    close(savedOut_);
    close(savedErr_);
    return {status, Slurp(out_), Slurp(err_)};
  }

 private:
  static std::string Slurp(std::FILE* f) {
    std::rewind(f);
    std::string s;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
    return s;
  }
  std::FILE* out_;
  std::FILE* err_;
  int savedOut_, savedErr_;
};

class FakeAdapters : public AdapterSource {
 public:
  bool Count(int& count) override {
    count = int(ports.size());
    return !ports.empty();
  }
  bool Entry(int n, std::string& id, std::string& port) override {
    if (n < 0 || size_t(n) >= ports.size()) return false;
    id = "FTDIBUS\\VID_0403+PID_6001+SER" + std::to_string(n) + "\\0000";
    port = ports[size_t(n)];
    return true;
  }
  std::vector<std::string> ports;
};

class CommandLine : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    set_adapter_source(&adapters);
  }
  void TearDown() override {
    set_adapter_source(nullptr);
    SimTest::TearDown();
  }

  Outcome Korsync(std::vector<std::string> args) {
    args.insert(args.begin(), {"korsync", "--config", dir.file("settings.ini"), "--data", dir.path()});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    Capture c;
    const int status = cli::run(int(argv.size()), argv.data());
    return c.Finish(status);
  }

  TempDir dir;
  FakeAdapters adapters;
};

#ifdef _WIN32
const char* const kComPort = "COM5";
#else
const char* const kComPort = "/dev/ttyS4";
#endif

TEST_F(CommandLine, ImpossiblePortsAreUsageErrors) {
  for (const char* port : {"COM0", "COM300", "com257", "0", "300", "COM", "COMx", "COM1234"}) {
    Outcome r = Korsync({"--port", port, "info"});
    EXPECT_EQ(r.status, 2) << port;
    EXPECT_NE(r.err.find("--port: " + std::string(port) + " is no port"), std::string::npos) << r.err;
    EXPECT_TRUE(frames().empty()) << port;
  }
  for (const char* port : {"COM1", "com256", "5"}) EXPECT_EQ(Korsync({"--port", port, "ports"}).status, 0) << port;
}

TEST_F(CommandLine, NoAdapterAndNoPortSaysWhatToDo) {
  app().comPort = 0;
  Outcome r = Korsync({"info"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(utf8("подключите адаптер или укажите --port")), std::string::npos) << r.err;
  // A port that is given but cannot be opened is another fault: no such advice.
  driver.faults.missing = true;
  r = Korsync({"--port", "COM9", "info"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.find(utf8("укажите --port")), std::string::npos) << r.err;
}

TEST_F(CommandLine, PortsMarksTheAdapterThatWouldBeUsed) {
  adapters.ports = {"COM3", "COM5"};
#ifndef _WIN32
  adapters.ports = {"/dev/ttyUSB0", "/dev/ttyUSB1"};
#endif
  Outcome r = Korsync({"ports"});
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("  0403   6001   SER0   " + adapters.ports[0] + "\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("* 0403   6001   SER1   " + adapters.ports[1] + "\n"), std::string::npos) << r.out;

  // --port names the first adapter: the mark moves with it.
  r = Korsync({"--port", adapters.ports[0], "ports"});
  EXPECT_NE(r.out.find("* 0403   6001   SER0"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  0403   6001   SER1"), std::string::npos) << r.out;

  r = Korsync({"--json", "ports"});
  ASSERT_EQ(r.status, 0);
  const auto doc = nlohmann::json::parse(r.out);
  ASSERT_EQ(doc["adapters"].size(), 2u);
  EXPECT_EQ(doc["adapters"][0]["serial"], "SER0");
  EXPECT_EQ(doc["adapters"][0]["used"], false);
  EXPECT_EQ(doc["adapters"][1]["used"], true);
  EXPECT_EQ(doc["adapters"][1]["vid"], "0403");
  EXPECT_EQ(doc["port"], adapters.ports[1]);
}

TEST_F(CommandLine, HelpShowsPositionalsSpeedsAndCommandsInOrder) {
  struct Case {
    std::vector<std::string> command;
    std::string usage;
  } cases[] = {
      {{"params", "edit"}, "params edit [OPTIONS] FILE GROUP ROW [VALUE]"},
      {{"params", "show"}, "params show [OPTIONS] FILE [GROUP]"},
      {{"read", "program"}, "read program [OPTIONS] N"},
      {{"write", "program"}, "write program [OPTIONS] FILE"},
      {{"program", "check"}, "program check [OPTIONS] FILE"},
      {{"read", "correction"}, "read correction [OPTIONS] direction"},
      {{"flash"}, "flash [OPTIONS] FILE"},
      {{"send"}, "send [OPTIONS] text"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.command;
    args.push_back("--help");
    Outcome r = Korsync(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(c.usage), std::string::npos) << r.out;
  }

  Outcome r = Korsync({"--help"});
  EXPECT_NE(r.out.find("115200, 128000, 200000, 256000, 921600, 2000000, 3000000"), std::string::npos);
  size_t last = 0;
  for (const char* name : {"info", "read", "write", "params", "program", "flash", "clock", "test", "ports", "config"}) {
    const size_t at = r.out.find("\n  " + std::string(name) + " ");
    ASSERT_NE(at, std::string::npos) << name;
    EXPECT_GT(at, last) << name << " out of order";
    last = at;
  }
}

TEST_F(CommandLine, FilesSentToTheUnitNeedTheWindowsExtensions) {
  dir.write("prog.TXT", "%A\r\nG01 X1.000\r\n");
  dir.write("prog", "%A\r\n");
  dir.write("fw.bin", ":00000001FF\r\n");
  struct Case {
    std::vector<std::string> args;
    const char* expected;
  } cases[] = {
      {{"write", "program", dir.file("prog.TXT"), "--slot", "1"}, "(ожидается .txt или .bin)"},
      {{"write", "subprogram", dir.file("prog"), "--slot", "1"}, "(ожидается .txt или .bin)"},
      {{"flash", dir.file("fw.bin")}, "(ожидается .hex)"},
  };
  for (const Case& c : cases) {
    Outcome r = Korsync(c.args);
    EXPECT_EQ(r.status, 1) << c.args[0];
    EXPECT_EQ(r.err, utf8("ошибка: Неверный формат файла ") + utf8(c.expected) + "\n");
    EXPECT_TRUE(frames().empty()) << "the unit was reached for " << c.args[1];
  }
}

// --json: one document on stdout whatever happened, the messages still on stderr.
TEST_F(CommandLine, JsonInfoNamesTheUnit) {
  Outcome r = Korsync({"--port", "COM5", "--json", "info"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const auto doc = nlohmann::json::parse(r.out);
  EXPECT_EQ(doc["model"], 461);
  EXPECT_EQ(doc["protocol"], "block");
  EXPECT_EQ(doc["version"].get<std::string>().substr(0, 3), "461");
  EXPECT_EQ(doc["ok"], true);
  EXPECT_TRUE(doc["messages"].empty());

  // The port refused: the same exit status as without --json, the failure in the document too.
  driver.faults.missing = true;
  r = Korsync({"--port", "COM5", "--json", "info"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(utf8("ошибка: ")), std::string::npos);
  const auto failed = nlohmann::json::parse(r.out);
  EXPECT_EQ(failed["ok"], false);
  ASSERT_EQ(failed["messages"].size(), 1u);
  EXPECT_EQ(failed["messages"][0]["icon"], "error");
  EXPECT_FALSE(failed.contains("model"));
}

TEST_F(CommandLine, JsonProgramCheckSaysWhereTheParseStopped) {
  dir.write("good.txt", "001:G90\r\n002:X1\r\n");
  dir.write("bad.txt", "001:G90\r\n002:X1\r\n003:G1X5\r\n");
  Outcome r = Korsync({"--json", "program", "check", dir.file("good.txt")});
  EXPECT_EQ(r.status, 0) << r.err;
  auto doc = nlohmann::json::parse(r.out);
  EXPECT_EQ(doc["complete"], true);
  EXPECT_TRUE(doc["stopped"].is_null());
  EXPECT_GT(doc["accepted"].get<int>(), 0);
  EXPECT_NE(doc["unit_text"].get<std::string>().find("X1.000"), std::string::npos);

  r = Korsync({"--json", "program", "check", dir.file("bad.txt")});
  EXPECT_EQ(r.status, 1);
  doc = nlohmann::json::parse(r.out);
  EXPECT_EQ(doc["complete"], false);
  EXPECT_EQ(doc["accepted"], 2);
  EXPECT_EQ(doc["stopped"]["line"], 3);
  EXPECT_EQ(doc["stopped"]["text"], "003:G1X5");
  EXPECT_EQ(doc["stopped"]["reason"], "no reader accepted it");
}

TEST_F(CommandLine, JsonReadListsTheFilesSaved) {
  dir.write("kor_program_005.txt", "%FIVE\r\n001:G90\r\n002:X1.000\r\n");
  std::string error;
  ASSERT_GE(sim::LoadPrograms(unit, dir.path(), error), 0) << error;
  Outcome r = Korsync({"--port", "COM5", "--json", "read", "program", "5"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto doc = nlohmann::json::parse(r.out);
  EXPECT_EQ(doc["kind"], "program");
  EXPECT_EQ(doc["slot"], 5);
  ASSERT_EQ(doc["saved"].size(), 1u);
  EXPECT_NE(doc["saved"][0].get<std::string>().find("kor_program_005.txt"), std::string::npos);
  EXPECT_EQ(doc["messages"][0]["icon"], "question");
}

TEST_F(CommandLine, JsonBackupAndCompareGiveItemsAndVerdicts) {
  dir.write("kor_program_005.txt", "%FIVE\r\n001:G90\r\n002:X1.000\r\n");
  std::string error;
  ASSERT_GE(sim::LoadPrograms(unit, dir.path(), error), 0) << error;
  sim::SimOverlappedDriver ov{unit, &driver};  // the correction tables
  set_overlapped_driver(&ov);
  struct Reset {
    ~Reset() { set_overlapped_driver(nullptr); }
  } reset;
  Outcome r = Korsync({"--port", "COM5", "--json", "backup", "--out", dir.file("copy")});
  ASSERT_EQ(r.status, 0) << r.err;
  auto doc = nlohmann::json::parse(r.out);  // the item lines stay off stdout
  EXPECT_EQ(doc["complete"], true);
  EXPECT_EQ(doc["ok"], true);
  EXPECT_NE(doc["folder"].get<std::string>().find("copy"), std::string::npos);
  EXPECT_EQ(doc["failed"], 0);
  ASSERT_EQ(doc["items"].size(), 73u);
  EXPECT_EQ(doc["items"][4]["name"], "program 005");
  EXPECT_EQ(doc["items"][4]["state"], "program");
  EXPECT_GT(doc["items"][4]["bytes"].get<int>(), 0);

  r = Korsync({"--port", "COM5", "--json", "compare", dir.file("copy")});
  ASSERT_EQ(r.status, 0) << r.err;
  doc = nlohmann::json::parse(r.out);
  EXPECT_EQ(doc["same"], true);
  ASSERT_FALSE(doc["verdicts"].empty());
  for (const auto& v : doc["verdicts"]) EXPECT_EQ(v["same"], true) << v;

  // The unit changed since: the same exit status as the text, one verdict that says how.
  dir.write("kor_program_005.txt", "%FIVE\r\n001:G91\r\n002:X1.000\r\n");
  ASSERT_GE(sim::LoadPrograms(unit, dir.path(), error), 0) << error;
  r = Korsync({"--port", "COM5", "--json", "compare", dir.file("copy")});
  EXPECT_EQ(r.status, 1);
  doc = nlohmann::json::parse(r.out);
  EXPECT_EQ(doc["same"], false);
  EXPECT_EQ(doc["ok"], false);
  int differing = 0;
  for (const auto& v : doc["verdicts"])
    if (!v["same"].get<bool>()) {
      ++differing;
      EXPECT_EQ(v["name"], "program 005");
      EXPECT_EQ(v["verdict"].get<std::string>().rfind("differs: ", 0), 0u) << v;
    }
  EXPECT_EQ(differing, 1);
}

#ifndef _WIN32
// A folder named in Russian on the command line is made and found under that
// name (paths are the system's UTF-8, not the program's code page).
TEST_F(CommandLine, BackupFolderNamedInRussianIsMadeAsTyped) {
  sim::SimOverlappedDriver ov{unit, &driver};
  set_overlapped_driver(&ov);
  struct Reset {
    ~Reset() { set_overlapped_driver(nullptr); }
  } reset;
  const std::string folder = dir.path() + "/\xd0\x9a\xd0\xbe\xd0\xbf\xd0\xb8\xd1\x8f";  // "Копия"
  Outcome r = Korsync({"--port", "COM5", "backup", "--out", folder});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(std::filesystem::is_directory(folder)) << r.out;
  EXPECT_NE(r.out.find("backup: " + folder + "\n"), std::string::npos) << r.out;
  EXPECT_EQ(Korsync({"--port", "COM5", "compare", folder}).status, 0);
}
#endif

TEST_F(CommandLine, JsonIsRefusedWhereThereIsNoDocument) {
  for (std::vector<std::string> args : {std::vector<std::string>{"--json", "send", "abc"}, {"--json", "test"}}) {
    Outcome r = Korsync(args);
    EXPECT_EQ(r.status, 2) << args[1];
    EXPECT_EQ(r.out, "");
  }
  EXPECT_TRUE(frames().empty());
}

TEST_F(CommandLine, VersionNamesTheProjectVersionAndTheBuild) {
  Outcome r = Korsync({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.substr(0, r.out.find(utf8("Сборка: "))), utf8("korsync 0.0.4\nKorSync, версия 0.0.004\n"));
  EXPECT_NE(r.out.find(" gcc\n"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace kor::test
