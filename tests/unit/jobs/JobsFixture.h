// What the job tests share: a scripted command call, a fake clock, and the check that a job
// model never writes a trace line (the pages write them).
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "DealFiles.h"
#include "JobCommon.h"
#include "clock.h"
#include "log.h"

// Answers each command line from a script: queued replies for the exact line or its first word
// first, then the standing reply, then {0, "OK"}. Records every line sent.
class ScriptedMachine {
 public:
  void Queue(const std::string& key, int code, const std::string& text = "OK") {
    queued_[key].push_back({code, text});
  }
  void Always(const std::string& key, int code, const std::string& text = "OK") {
    standing_[key] = {code, text};
  }
  SendCommand Send() {
    return [this](const char* command, std::string& reply) {
      sent.emplace_back(command);
      const Reply answer = Next(command);
      reply = answer.text;
      return answer.code;
    };
  }
  std::vector<std::string> sent;

 private:
  struct Reply {
    int code;
    std::string text;
  };
  Reply Next(const std::string& line) {
    const std::string keys[] = {line, line.substr(0, line.find(' '))};
    for (const std::string& key : keys) {
      if (!queued_[key].empty()) {
        const Reply reply = queued_[key].front();
        queued_[key].pop_front();
        return reply;
      }
    }
    for (const std::string& key : keys) {
      if (standing_.count(key) != 0) return standing_[key];
    }
    return Reply{0, "OK"};
  }

  std::map<std::string, std::deque<Reply>> queued_;
  std::map<std::string, Reply> standing_;
};

class JobsTest : public testing::Test {
 protected:
  void TearDown() override {
    for (const TraceLine& line : trace_.lines) {
      ADD_FAILURE() << "a job wrote the trace line " << line.level << " " << line.text;
    }
  }

  TraceCapture trace_;
  qclock::FakeClock clock_{10000};
  qclock::ScopedClock scoped_clock_{&clock_};
  ScriptedMachine machine_;
  JobShared shared_;
};
