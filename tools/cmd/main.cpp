// quadrelle-cmd [-emulator] [--wait SECONDS] [--trace] COMMAND...
//
// For the service technician: finds the machine as the program does, sends each command line
// with the program's 1,000 ms first-reply time-out, and prints one line per command: the raw
// reply text, or "no reply: " and the failure. With "-emulator" the emulator slots are served
// too. --wait keeps searching (every 200 ms, as the program polls) for up to SECONDS.
// --trace shows the trace lines on standard error. Exit status: 0 when every exchange
// succeeded, 1 when one failed, 2 when no machine was found or the command line is wrong.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "MachineNotices.h"
#include "USBinterface.h"
#include "clock.h"
#include "log.h"

namespace {

constexpr int kFirstReplyTimeout = 1000;
constexpr uint32_t kSearchInterval = 200;

int Usage() {
  std::fprintf(stderr, "usage: quadrelle-cmd [-emulator] [--wait SECONDS] [--trace] COMMAND...\n");
  return 2;
}

// The failure an exchange traced last, without its line end.
std::string Failure(const TraceCapture& capture) {
  std::string reason = "exchange failed";
  for (const TraceLine& line : capture.lines) {
    if (line.level == 'W' || line.level == 'C') reason = line.text;
  }
  while (!reason.empty() &&
         (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ')) {
    reason.pop_back();
  }
  return reason;
}

UsbInterface* Search(uint32_t wait_ms) {
  const uint32_t start = qclock::GetTickCount();
  for (;;) {
    if (UsbInterface* device = FindDevice(0)) return device;
    if (qclock::GetTickCount() - start >= wait_ms) return nullptr;
    qclock::Sleep(kSearchInterval);
  }
}

}  // namespace

int main(int argc, char** argv) {
  TraceSetStandardOutput(nullptr);  // keep standard output for the replies
  bool emulator = false;
  uint32_t wait_ms = 0;
  std::vector<const char*> commands;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-emulator") == 0) {
      emulator = true;
    } else if (std::strcmp(argv[i], "--wait") == 0 && i + 1 < argc) {
      char* end = nullptr;
      const double seconds = std::strtod(argv[++i], &end);
      if (end == argv[i] || *end != '\0' || seconds < 0 || seconds > 86400) return Usage();
      wait_ms = static_cast<uint32_t>(seconds * 1000);
    } else if (std::strcmp(argv[i], "--trace") == 0) {
      TraceSetStandardOutput(stderr);
    } else if (argv[i][0] == '-' && argv[i][1] == '-') {
      return Usage();
    } else {
      commands.push_back(argv[i]);
    }
  }
  if (commands.empty()) return Usage();

  CreateConnectionMutex();
  if (emulator) EnableEmulatorLink(true);
  UsbInterface* device = Search(wait_ms);
  if (device == nullptr) {
    std::fprintf(stderr, "quadrelle-cmd: no machine found\n");
    // A machine that is there but could not be opened says why.
    for (const std::string& notice : machine_notices::Current()) {
      std::fprintf(stderr, "quadrelle-cmd: %s\n", notice.c_str());
    }
    EnableEmulatorLink(false);
    return 2;
  }
  device->ClientInit();

  int status = 0;
  std::vector<char> reply(65536);
  for (const char* command : commands) {
    TraceCapture capture;
    uint32_t length = 0;
    if (device->SendCommand(command, kFirstReplyTimeout, reply.data(),
                            static_cast<uint32_t>(reply.size()), &length)) {
      std::string text(reply.data(), length);
      // One line per command, whatever the machine put in its text.
      for (char& c : text) {
        if (c == '\n' || c == '\r' || c == '\0') c = ' ';
      }
      std::printf("%s\n", text.c_str());
    } else {
      std::printf("no reply: %s\n", Failure(capture).c_str());
      status = 1;
    }
    std::fflush(stdout);
  }
  delete device;
  EnableEmulatorLink(false);
  if (std::ferror(stdout)) return 1;
  return status;
}
