// A stand-in for the main dialog in page tests: it answers every command line from a script
// and records what the page sent and showed.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "MachineHost.h"

struct ScriptedReply {
  int code = 0;
  std::string text = "OK";
};

class ScriptedHost : public MachineHost {
 public:
  // The next reply to `key`: an exact command line, or its first word ("SORT"). Queued replies
  // are given in order; once a command's queue is empty its standing reply answers, and
  // without one, {0, "OK"}.
  void Queue(const std::string& key, int code, const std::string& text = "OK");
  void Always(const std::string& key, int code, const std::string& text = "OK");

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
  const ScriptedReply* Find(const std::string& command);

  std::map<std::string, std::deque<ScriptedReply>> queued_;
  std::map<std::string, ScriptedReply> standing_;
  ScriptedReply current_;
  size_t taken_ = 0;
};
