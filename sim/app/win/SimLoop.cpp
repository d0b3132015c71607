// quadrelle-sim's loop on Windows: the slot's pipe is looked at between waits of up to 2 ms
// (a pipe cannot be waited on together with standard input), standard input is read on a
// thread of its own, and Ctrl+C ends the loop. There is no control socket here.
#include "SimLoop.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <deque>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "clock.h"

namespace {

std::atomic<bool> g_stop{false};

BOOL WINAPI OnConsoleEvent(DWORD) {
  g_stop = true;
  return TRUE;
}

// Standard input's lines, read on a thread that ends with the input (or with the program).
class InputLines {
 public:
  InputLines() : state_(std::make_shared<State>()) {
    std::thread([state = state_] {
      std::string line;
      while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::lock_guard<std::mutex> lock(state->mutex);
        state->lines.push_back(line);
      }
      state->ended = true;
    }).detach();
  }
  // The lines that have come; false once the input has ended and all were taken.
  bool Take(std::deque<std::string>* lines) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    lines->swap(state_->lines);
    return !state_->ended || !lines->empty();
  }

 private:
  struct State {
    std::mutex mutex;
    std::deque<std::string> lines;
    std::atomic<bool> ended{false};
  };
  std::shared_ptr<State> state_;
};

}  // namespace

namespace qsim {

int RunSimLoop(const SimArgs& args, SimState& state, SimServer& server,
               const std::string& slot_path, const LogSink& log) {
  if (!args.control_socket.empty()) {
    std::fprintf(stderr,
                 "quadrelle-sim: --control is not available on Windows; control lines come from "
                 "standard input\n");
    return 1;
  }
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  std::unique_ptr<InputLines> input;
  if (args.read_stdin) input = std::make_unique<InputLines>();
  log("-- quadrelle-sim on " + slot_path + "; deck " + DescribeDeck(state.machine.options().deck) +
      "; type 'help' for control lines");

  constexpr int kRetryMs = 250;
  constexpr int kLookMs = 2;
  bool quit = false;
  while (!quit && !g_stop) {
    server.PlugInto(slot_path, qclock::GetTickCount());
    std::deque<std::string> lines;
    if (input && !input->Take(&lines)) input.reset();  // keep serving without input
    for (const std::string& line : lines) {
      const ControlResult result = RunControlLine(state, line, qclock::GetTickCount());
      quit = quit || result.quit;
      std::fputs(result.text.c_str(), stdout);
      std::fflush(stdout);
    }
    server.Pump(qclock::GetTickCount());
    const int next = server.NextWakeMs(qclock::GetTickCount());
    const std::shared_ptr<SlotChannel> channel = server.channel();
    if (channel) {
      channel->Wait(next < 0 || next > kLookMs ? kLookMs : next);
    } else {
      ::Sleep(static_cast<DWORD>(next < 0 || next > kRetryMs ? (input ? kLookMs * 10 : kRetryMs)
                                                             : next));
    }
  }
  return 0;
}

}  // namespace qsim
