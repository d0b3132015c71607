#include "ScriptedHost.h"

#include <algorithm>
#include <cstdio>

#include "clock.h"

std::vector<std::string> ScriptedHost::TakeCommands() {
  std::vector<std::string> taken(commands.begin() + static_cast<long>(taken_), commands.end());
  taken_ = commands.size();
  return taken;
}

int ScriptedHost::Count(const std::string& command) const {
  return static_cast<int>(std::count(commands.begin(), commands.end(), command));
}

int ScriptedHost::SendMachineCommand(const char* command, char* reply, size_t size) {
  commands.emplace_back(command);
  command_ticks.push_back(qclock::GetTickCount());
  std::snprintf(reply, size, "Test return");
  const ScriptedReply answer = Next(command);
  // Without a machine the buffer keeps "Test return"; for 90 it holds what the call left
  // there: the raw reply (empty for a bare status packet), or "Test return" when the exchange
  // itself failed.
  if (answer.code != kNoMachine) {
    std::snprintf(reply, size, "%s", answer.text.c_str());
  }
  return answer.code;
}

void ScriptedHost::StatusCodeText(int code, std::string& text) {
  // The operator's words for the codes these tests use.
  switch (code) {
    case 1:
      text = "busy";
      break;
    case 14:
      text = "two or more identical card detected";
      break;
    case 25:
      text = "jam";
      break;
    case 90:
      text = "internal USB error";
      break;
    case 91:
      text = "No device or device disconneted";
      break;
    default:
      break;
  }
}

void ScriptedHost::SetStatusText(const char* text) {
  status_texts.emplace_back(text);
}

void ScriptedHost::SetMenuBusy(bool busy) {
  if (!busy) {
    ++menu_not_busy_calls;
  }
}
