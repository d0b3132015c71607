// A stand-in for the main dialog in page tests: it answers every command line from a script
// and records what the page sent and showed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CommandScript.h"
#include "MachineHost.h"

// Queue and Always script the replies (see CommandScript).
class ScriptedHost : public MachineHost, public CommandScript {
 public:
  // Every command line sent, in order, and the tick count at which it was sent.
  std::vector<std::string> commands;
  std::vector<uint32_t> command_ticks;
  std::vector<std::string> status_texts;
  int menu_not_busy_calls = 0;

  // The commands sent since the last call.
  std::vector<std::string> TakeCommands();
  std::string LastStatus() const { return status_texts.empty() ? "" : status_texts.back(); }
  int Count(const std::string& command) const;

  int SendMachineCommand(const char* command, char* reply, size_t size) override;
  void StatusCodeText(int code, std::string& text) override;
  void SetStatusText(const char* text) override;
  void SetMenuBusy(bool busy) override;

 private:
  size_t taken_ = 0;
};
