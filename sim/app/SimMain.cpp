// quadrelle-sim: a simulated dealing machine that plugs into an emulator slot of a running
// Quadrelle, serves the firmware model there, and takes control lines from the operator.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "SimControl.h"
#include "SimLoop.h"
#include "SimOptions.h"
#include "SimServer.h"
#include "SimSlot.h"
#include "clock.h"

namespace {

void LogLine(const std::string& line) {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  // Only the main thread logs.
  const std::tm local = *std::localtime(&seconds);
  std::fprintf(stderr, "%02d:%02d:%02d.%03d %s\n", local.tm_hour, local.tm_min, local.tm_sec,
               static_cast<int>(ms), line.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const qsim::SimArgs args = qsim::ParseSimArgs(std::vector<std::string>(argv + 1, argv + argc));
  if (!args.error.empty()) {
    std::fprintf(stderr, "quadrelle-sim: %s\n%s", args.error.c_str(), qsim::SimUsage());
    return 2;
  }
  if (args.help) {
    std::fputs(qsim::SimUsage(), stdout);
    std::fputs("\nControl lines:\n", stdout);
    std::fputs(qsim::ControlHelp(), stdout);
    return 0;
  }

  qsim::SimState state(args.machine);
  for (const std::string& line : args.control_lines) {
    const qsim::ControlResult result = qsim::RunControlLine(state, line, qclock::GetTickCount());
    if (!result.ok) {
      std::fprintf(stderr, "quadrelle-sim: %s", result.text.c_str());
      return 2;
    }
  }
  qsim::SimServer server(state, args.quiet ? qsim::SimServer::LogSink() : LogLine);
  const std::string directory = args.directory.empty() ? qsim::EmulatorDirectory() : args.directory;
  const std::string slot_path = qsim::SlotPath(directory, args.slot);
  const int code = qsim::RunSimLoop(args, state, server, slot_path, LogLine);
  if (code == 0) LogLine("-- quadrelle-sim ends");
  return code;
}
