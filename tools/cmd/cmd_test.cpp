// quadrelle-cmd against a scripted machine that connects to the first emulator slot.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "PacketFormat.h"
#include "RunProgram.h"
#include "ScopedEnvironment.h"
#include "ScratchFolder.h"
#include "SimSlot.h"
#include "SlotMachine.h"

namespace {

// The scripted machine's answers.
std::vector<PacketRecord> CmdReplies(uint32_t transmission, const std::string& command) {
  if (command == "FIRMWARE") return MakeReply(transmission, "00 V1.2", 7);
  if (command == "STAT") return MakeReply(transmission, "01 busy", 7);
  if (command == "BUTSTAT") return MakeReply(transmission, "40 YES", 6);
  if (command == "FEEDFEEDER") return MakeReply(transmission, "03 feeder empty", 15);
  if (command == "EXERCISE") return MakeReply(transmission, "77 odd", 6);
  return {MakeStatus(3, "Unknown command")};
}

// Waits up to 10 s for the tool's slot to appear, connects, and answers until the tool hangs up.
void ServeMachine(const std::string& path) {
  SlotMachine machine(path, CmdReplies, 10000);
  machine.WaitFinished();
}

class CmdTool : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakeScratchFolder("quadrelle-cmd");
    ASSERT_FALSE(folder_.empty());
    dir_ = folder_.string();
    emulator_dir_ = std::make_unique<ScopedEnvironment>("QUADRELLE_EMULATOR_DIR", dir_.c_str());
  }
  void TearDown() override {
    emulator_dir_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  // Runs the tool; returns its standard output. Its standard error goes to `errors` (a file
  // path), else nowhere.
  std::string RunTool(const std::string& arguments, int* status, const std::string& errors = "") {
    const std::string out = dir_ + "/stdout";
    *status = RunProgram(QUADRELLE_CMD, arguments, out, errors);
    return CapturedText(out);
  }

  std::filesystem::path folder_;
  std::string dir_;
  std::unique_ptr<ScopedEnvironment> emulator_dir_;
};

TEST_F(CmdTool, PrintsOneLinePerCommand) {
  std::thread machine(ServeMachine, qsim::SlotPath(dir_, 0));
  int status = -1;
  const std::string out = RunTool("-emulator --wait 10 FIRMWARE STAT BOGUS", &status);
  machine.join();
  EXPECT_EQ(out, "00 V1.2\n01 busy\nno reply: Command response was (3) \"Unknown command\"\n");
  EXPECT_EQ(status, 1);
}

// Standard output keeps the machine's reply; standard error names the machine's error codes.
TEST_F(CmdTool, MachineErrorsAreNamedOnStandardError) {
  std::thread machine(ServeMachine, qsim::SlotPath(dir_, 0));
  int status = -1;
  const std::string errors = dir_ + "/errors";
  const std::string out =
      RunTool("-emulator --wait 10 STAT BUTSTAT FEEDFEEDER EXERCISE", &status, errors);
  machine.join();
  EXPECT_EQ(out, "01 busy\n40 YES\n03 feeder empty\n77 odd\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(CapturedText(errors),
            "quadrelle-cmd: FEEDFEEDER: status 3 (error feeding card)\n"
            "quadrelle-cmd: EXERCISE: status 77 (unknown code)\n");
}

TEST_F(CmdTool, NoMachineIsExitStatusTwo) {
  int status = -1;
  EXPECT_EQ(RunTool("-emulator --wait 0.3 STAT", &status), "");
  EXPECT_EQ(status, 2);
  EXPECT_EQ(RunTool("", &status), "");
  EXPECT_EQ(status, 2);
}

// The list shows the machine waiting on a slot, takes none, and says when there is none.
TEST_F(CmdTool, ListShowsOneLinePerMachine) {
  std::thread machine(ServeMachine, qsim::SlotPath(dir_, 4));
  int status = -1;
  EXPECT_EQ(RunTool("-emulator --wait 1 --list", &status),
            "46\temulator\t" + qsim::SlotPath(dir_, 4) + "\t-\tfree\n");
  EXPECT_EQ(status, 0);
  machine.join();  // the tool hung up on it
  EXPECT_EQ(RunTool("-emulator --wait 0.3 --list", &status), "");
  EXPECT_EQ(status, 2);
  EXPECT_EQ(RunTool("--list STAT", &status), "");
  EXPECT_EQ(status, 2);
}

// Help and version answer at once on standard output, without looking for a machine; an unknown
// option is a wrong call.
TEST_F(CmdTool, HelpVersionAndWrongCalls) {
  const struct {
    const char* arguments;
    int status;
    const char* out_start;
  } cases[] = {
      {"--help", 0, "usage: quadrelle-cmd"},
      {"--version", 0, "quadrelle-cmd 1.17"},
      {"--bogus STAT", 2, ""},
      {"--wait", 2, ""},
  };
  for (const auto& c : cases) {
    int status = -1;
    const std::string out = RunTool(c.arguments, &status);
    EXPECT_EQ(status, c.status) << c.arguments;
    EXPECT_EQ(out.rfind(c.out_start, 0), 0u) << c.arguments << ": " << out;
  }
}

}  // namespace
