// What the job tests share: a scripted command call, a fake clock, and the check that a job
// model never writes a trace line (the pages write them).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CommandScript.h"
#include "DealFiles.h"
#include "JobCommon.h"
#include "clock.h"
#include "log.h"

// Answers each command line from its script (see CommandScript) and records every line sent.
class ScriptedMachine : public CommandScript {
 public:
  SendCommand Send() {
    return [this](const char* command, std::string& reply) {
      sent.emplace_back(command);
      const ScriptedReply answer = Next(command);
      reply = answer.text;
      return answer.code;
    };
  }
  std::vector<std::string> sent;
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
