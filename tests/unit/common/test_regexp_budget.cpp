// The step budget: a pattern that backtracks exponentially fails instead of hanging, and the
// budget leaves ordinary long matches alone.
#include <gtest/gtest.h>

#include <string>

#include "log.h"
#include "regexpclass.h"

namespace {

TEST(RegexpBudget, ExponentialBacktrackingGivesUp) {
  TraceResetForTests();
  TraceSetStandardOutput(nullptr);
  TraceCapture trace;
  const std::string text = std::string(40, 'a') + "!";
  for (const char* pattern : {"(a|a)+b", "(a+)+b", "\\<(a|c|a)*b"}) {
    SCOPED_TRACE(pattern);
    RegexpClass re(pattern);
    ASSERT_TRUE(re.IsValid());
    trace.lines.clear();
    EXPECT_EQ(re.Match(text.c_str()), 0);
    EXPECT_EQ(trace.Texts('W'), std::vector<std::string>{"match too complex"});
    EXPECT_EQ(re.SubStart(0), nullptr);
    // The budget is per match: the same matcher still finds an easy one.
    EXPECT_EQ(re.Match("aab"), 1);
  }
  TraceResetForTests();
}

TEST(RegexpBudget, LongOrdinaryMatchesStillSucceed) {
  const std::string text = std::string(2000, 'a') + "b" + std::string(20000, 'x') + "c";
  RegexpClass star("(a|b)*x+c$");
  ASSERT_EQ(star.Match(text.c_str()), 1);
  EXPECT_EQ(star.SubStart(0), text.c_str());
  RegexpClass reply("^([0-9][0-9])[ \t]+(.*)");
  const std::string long_reply = "14 " + std::string(100000, 'r');
  ASSERT_EQ(reply.Match(long_reply.c_str()), 1);
  EXPECT_EQ(reply.SubEnd(2), long_reply.c_str() + long_reply.size());
}

// A group repeated once per character nests once per character; on a long text the match
// fails with its line instead of overflowing the stack.
TEST(RegexpBudget, DeepNestingGivesUpBeforeTheStackRunsOut) {
  TraceResetForTests();
  TraceSetStandardOutput(nullptr);
  TraceCapture trace;
  const std::string text = std::string(200000, 'a') + "xc";
  RegexpClass re("(a|b)*c");
  EXPECT_EQ(re.Match(text.c_str()), 0);
  EXPECT_TRUE(trace.Contains('W', "match too complex"));
  TraceResetForTests();
}

}  // namespace
