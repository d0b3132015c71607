// Scripted answers to the machine's command lines, for the stand-ins of the machine in the job
// and page tests.
#pragma once

#include <deque>
#include <map>
#include <string>

struct ScriptedReply {
  int code = 0;
  std::string text = "OK";
};

class CommandScript {
 public:
  // The next reply to `key`: an exact command line, or its first word ("SORT"). Queued replies
  // are given in order; once a command's queue is empty its standing reply answers, and
  // without one, {0, "OK"}.
  void Queue(const std::string& key, int code, const std::string& text = "OK");
  void Always(const std::string& key, int code, const std::string& text = "OK");

  // The reply to `command` as the script gives it; a queued one is used up.
  ScriptedReply Next(const std::string& command);

 private:
  std::map<std::string, std::deque<ScriptedReply>> queued_;
  std::map<std::string, ScriptedReply> standing_;
};
