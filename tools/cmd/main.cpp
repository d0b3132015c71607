// quadrelle-cmd [-emulator] [--wait SECONDS] [--trace] COMMAND...
// quadrelle-cmd [-emulator] [--wait SECONDS] --list
//
// For the service technician: finds the machine as the program does, sends each command line
// with the program's 1,000 ms first-reply time-out, and prints one line per command: the raw
// reply text, or "no reply: " and the failure. With "-emulator" the emulator slots are served
// too. --wait keeps searching (every 200 ms, as the program polls) for up to SECONDS.
// --trace shows the trace lines on standard error. A reply whose status code is a machine
// error is named on standard error too. Exit status: 0 when every exchange succeeded, 1 when one
// failed, 2 when no machine was found or the command line is wrong.
//
// --list prints one line per machine on this computer (id, kind, path, serial, held or free,
// separated by tabs) and takes none; emulator slots are watched for SECONDS (default 0.6, longer
// than a simulated machine's 250 ms between tries).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "MachineConnection.h"
#include "MachineList.h"
#include "MachineNotices.h"
#include "MachineStatus.h"
#include "USBinterface.h"
#include "log.h"
#include "version.h"

namespace {

constexpr int kFirstReplyTimeout = 1000;

constexpr const char* kUsage =
    "usage: quadrelle-cmd [-emulator] [--wait SECONDS] [--trace] COMMAND...\n"
    "       quadrelle-cmd [-emulator] [--wait SECONDS] --list\n"
    "       quadrelle-cmd --help | --version\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

constexpr const char* kHelp =
    "Finds the machine as the program does, sends each COMMAND line and prints one line per\n"
    "command: the raw reply, or \"no reply: \" and the reason. -emulator also serves the\n"
    "emulator slots; --wait keeps searching up to SECONDS; --trace shows the trace lines\n"
    "on standard error. Exit status: 0 all succeeded, 1 one failed, 2 no machine or a\n"
    "wrong call.\n"
    "--list prints one line per machine found: id, kind (HID, bulk, emulator), path,\n"
    "serial and whether another program holds it (held / free), separated by tabs.\n";

// A reply that carries one of the machine's error codes is named on standard error; standard
// output keeps the reply as the machine sent it.
void TellMachineError(const char* command, const std::string& reply) {
  machine_status::ParsedReply parsed;
  if (!machine_status::ParseReply(reply.c_str(), parsed)) return;
  switch (parsed.code) {
    case machine_status::kOk:
    case machine_status::kBusy:
    case machine_status::kYes:
    case machine_status::kNo:
      return;
    default:
      break;
  }
  const char* words = machine_status::StatusText(parsed.code);
  std::fprintf(stderr, "quadrelle-cmd: %s: status %d (%s)\n", command, parsed.code,
               words != nullptr ? words : "unknown code");
}

// Sends each command and prints one line for it. 0 when every exchange succeeded, else 1.
int RunCommands(UsbInterface& device, const MachineConnection& connection,
                const std::vector<const char*>& commands) {
  int status = 0;
  std::vector<char> reply(65536);
  for (const char* command : commands) {
    uint32_t length = 0;
    if (device.SendCommand(command, kFirstReplyTimeout, reply.data(),
                           static_cast<uint32_t>(reply.size()), &length)) {
      std::string text(reply.data(), length);
      TellMachineError(command, text);
      // One line per command, whatever the machine put in its text.
      for (char& c : text) {
        if (c == '\n' || c == '\r' || c == '\0') c = ' ';
      }
      std::printf("%s\n", text.c_str());
    } else {
      std::printf("no reply: %s\n", connection.LastFailure().text.c_str());
      status = 1;
    }
    std::fflush(stdout);
  }
  return status;
}

// Prints the machines found; 0 when there was one, 2 when none.
int ListRoom(uint32_t wait_ms) {
  const std::vector<MachineListing> machines = ListMachines(wait_ms);
  for (const MachineListing& machine : machines) {
    std::printf("%s\n", ListingLine(machine).c_str());
  }
  if (machines.empty()) {
    std::fprintf(stderr, "quadrelle-cmd: no machine found\n");
    return 2;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  TraceSetStandardOutput(nullptr);  // keep standard output for the replies
  if (AnswerHelpOrVersion(argc, argv, "quadrelle-cmd", kUsage, kHelp)) return 0;
  bool emulator = false;
  uint32_t wait_ms = 0;
  bool wait_given = false;
  bool list = false;
  std::vector<const char*> commands;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-emulator") == 0) {
      emulator = true;
    } else if (std::strcmp(argv[i], "--wait") == 0 && i + 1 < argc) {
      char* end = nullptr;
      const double seconds = std::strtod(argv[++i], &end);
      if (end == argv[i] || *end != '\0' || seconds < 0 || seconds > 86400) return Usage();
      wait_ms = static_cast<uint32_t>(seconds * 1000);
      wait_given = true;
    } else if (std::strcmp(argv[i], "--list") == 0) {
      list = true;
    } else if (std::strcmp(argv[i], "--trace") == 0) {
      TraceSetStandardOutput(stderr);
    } else if (argv[i][0] == '-' && argv[i][1] == '-') {
      return Usage();
    } else {
      commands.push_back(argv[i]);
    }
  }
  if (list) {
    if (!commands.empty()) return Usage();
    if (emulator) EnableEmulatorLink(true);
    const int listed = ListRoom(wait_given ? wait_ms : 600);
    EnableEmulatorLink(false);
    return listed == 0 && std::ferror(stdout) ? 1 : listed;
  }
  if (commands.empty()) return Usage();

  if (emulator) EnableEmulatorLink(true);
  int status = 0;
  {
    MachineConnection connection;  // closes the machine when it goes
    UsbInterface* device = connection.WaitForMachine(wait_ms);
    if (device == nullptr) {
      const std::string why = connection.LastFailure().text;
      if (why == MachineConnection::kNoMachineFound) {
        std::fprintf(stderr, "quadrelle-cmd: no machine found\n");
      } else {
        std::fprintf(stderr, "quadrelle-cmd: no machine found (%s)\n", why.c_str());
      }
      // A machine that is there but could not be opened says why.
      for (const std::string& notice : machine_notices::Current()) {
        std::fprintf(stderr, "quadrelle-cmd: %s\n", notice.c_str());
      }
      status = 2;
    } else {
      status = RunCommands(*device, connection, commands);
    }
  }
  EnableEmulatorLink(false);
  if (status != 2 && std::ferror(stdout)) return 1;
  return status;
}
