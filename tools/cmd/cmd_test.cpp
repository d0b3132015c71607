// quadrelle-cmd against a scripted machine that connects to the first emulator slot.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

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
#include "TestSystem.h"

namespace {

#ifndef _WIN32
// Waits for the tool's slot to appear, connects, and answers until the tool hangs up.
void ServeMachine(const std::string& path) {
  const auto start = std::chrono::steady_clock::now();
  struct stat st;
  while (::stat(path.c_str(), &st) != 0) {
    if (std::chrono::steady_clock::now() - start > std::chrono::seconds(10)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
  // The file appears when the tool binds, a moment before it listens: try again until then.
  int fd = -1;
  for (;;) {
    fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) break;
    ::close(fd);
    if (std::chrono::steady_clock::now() - start > std::chrono::seconds(10)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  uint32_t transmission = 0;
  PacketRecord p;
  while (::recv(fd, p.bytes, sizeof p.bytes, 0) == static_cast<ssize_t>(kPacketRecordSize)) {
    if (PacketTypeOf(p) == PACKET_HEADER) transmission = HeaderTransmission(p);
    if (PacketTypeOf(p) != PACKET_COMMAND) continue;
    const std::string command = CommandText(p);
    std::vector<PacketRecord> reply;
    if (command == "FIRMWARE") {
      reply = MakeReply(transmission, "00 V1.2", 7);
    } else if (command == "STAT") {
      reply = MakeReply(transmission, "01 busy", 7);
    } else if (command == "BUTSTAT") {
      reply = MakeReply(transmission, "40 YES", 6);
    } else if (command == "FEEDFEEDER") {
      reply = MakeReply(transmission, "03 feeder empty", 15);
    } else if (command == "EXERCISE") {
      reply = MakeReply(transmission, "77 odd", 6);
    } else {
      reply = {MakeStatus(3, "Unknown command")};
    }
    for (const PacketRecord& r : reply) ::send(fd, r.bytes, kPacketRecordSize, MSG_NOSIGNAL);
  }
  ::close(fd);
}
#else
// The scripted machine is a client of the POSIX slots, which are Unix sockets; the cases that
// need it skip themselves on Windows.
void ServeMachine(const std::string&) {}
#endif

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
  QUADRELLE_SKIP_ON_WINDOWS("the scripted machine is a Unix-socket client");
  std::thread machine(ServeMachine, dir_ + "/tppipe00");
  int status = -1;
  const std::string out = RunTool("-emulator --wait 10 FIRMWARE STAT BOGUS", &status);
  machine.join();
  EXPECT_EQ(out, "00 V1.2\n01 busy\nno reply: Command response was (3) \"Unknown command\"\n");
  EXPECT_EQ(status, 1);
}

// Standard output keeps the machine's reply; standard error names the machine's error codes.
TEST_F(CmdTool, MachineErrorsAreNamedOnStandardError) {
  QUADRELLE_SKIP_ON_WINDOWS("the scripted machine is a Unix-socket client");
  std::thread machine(ServeMachine, dir_ + "/tppipe00");
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
  QUADRELLE_SKIP_ON_WINDOWS("the scripted machine is a Unix-socket client");
  std::thread machine(ServeMachine, dir_ + "/tppipe04");
  int status = -1;
  EXPECT_EQ(RunTool("-emulator --wait 1 --list", &status),
            "46\temulator\t" + dir_ + "/tppipe04\t-\tfree\n");
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
