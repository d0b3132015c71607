#include "CommandScript.h"

void CommandScript::Queue(const std::string& key, int code, const std::string& text) {
  queued_[key].push_back(ScriptedReply{code, text});
}

void CommandScript::Always(const std::string& key, int code, const std::string& text) {
  standing_[key] = ScriptedReply{code, text};
}

ScriptedReply CommandScript::Next(const std::string& command) {
  const std::string first_word = command.substr(0, command.find(' '));
  for (const std::string& key : {command, first_word}) {
    auto queue = queued_.find(key);
    if (queue != queued_.end() && !queue->second.empty()) {
      const ScriptedReply reply = queue->second.front();
      queue->second.pop_front();
      return reply;
    }
  }
  for (const std::string& key : {command, first_word}) {
    auto standing = standing_.find(key);
    if (standing != standing_.end()) {
      return standing->second;
    }
  }
  return ScriptedReply{};
}
