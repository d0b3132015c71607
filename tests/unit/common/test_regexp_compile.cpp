// What the compiler refuses, and the message each refusal leaves in the log.
#include <gtest/gtest.h>

#include <string>

#include "log.h"
#include "regexpclass.h"

namespace {

struct BadPattern {
  const char* pattern;
  const char* message;
};

class RegexpCompileError : public ::testing::TestWithParam<BadPattern> {};

TEST_P(RegexpCompileError, FailsWithItsMessageAtLevelW) {
  TraceCapture capture;
  RegexpClass re(GetParam().pattern);
  EXPECT_FALSE(re.IsValid());
  EXPECT_EQ(capture.Texts('W'), std::vector<std::string>{GetParam().message});
}

INSTANTIATE_TEST_SUITE_P(
    Messages, RegexpCompileError,
    ::testing::Values(BadPattern{nullptr, "NULL argument"}, BadPattern{"a**", "nested *?+"},
                      BadPattern{"(ab)+?", "nested *?+"}, BadPattern{"*a", "?+* follows nothing"},
                      BadPattern{"x(?a)", "?+* follows nothing"},
                      BadPattern{"x|+", "?+* follows nothing"}, BadPattern{"(ab", "unmatched ()"},
                      BadPattern{"ab)", "unmatched ()"}, BadPattern{"(a))", "unmatched ()"},
                      BadPattern{"[ab", "unmatched []"}, BadPattern{"[^]", "unmatched []"},
                      BadPattern{"[z-a]", "invalid [] range"},
                      BadPattern{"(a*)*", "*+ operand could be empty"},
                      BadPattern{"(|b)+", "*+ operand could be empty"},
                      BadPattern{"ab\\", "trailing \\"},
                      BadPattern{"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)", "too many ()"}));

TEST(RegexpCompile, NineGroupsAndEdgeSetsAreAccepted) {
  TraceCapture capture;
  for (const char* pattern :
       {"(a)(b)(c)(d)(e)(f)(g)(h)(i)", "[a-a]", "[]x]", "[-a]", "[a-]", "(a?)?", "x{2}]-", "^$"}) {
    RegexpClass re(pattern);
    EXPECT_TRUE(re.IsValid()) << pattern;
  }
  EXPECT_TRUE(capture.Texts('W').empty());
}

// The program block holds at most 32766 bytes: a literal of n characters takes n + 11.
TEST(RegexpCompile, ProgramSizeLimit) {
  TraceCapture capture;
  std::string fits = "a" + std::string(32753, 'q') + "z";
  RegexpClass largest(fits.c_str());
  ASSERT_TRUE(largest.IsValid());
  std::string text = "xx" + fits;
  EXPECT_EQ(largest.Match(text.c_str()), 1);  // offsets above 255 use the high byte
  EXPECT_EQ(largest.SubStart(0), text.c_str() + 2);
  text.back() = 'y';
  EXPECT_EQ(largest.Match(text.c_str()), 0);

  RegexpClass too_big((fits + "q").c_str());
  EXPECT_FALSE(too_big.IsValid());
  // Sets grow the program too: each of these adds 259 bytes.
  std::string sets;
  for (int i = 0; i < 127; ++i) sets += "[\x01-\xff]";
  RegexpClass too_many_sets(sets.c_str());
  EXPECT_FALSE(too_many_sets.IsValid());
  EXPECT_EQ(capture.Texts('W'), (std::vector<std::string>{"regexp too big", "regexp too big"}));
}

TEST(RegexpCompile, FailedObjectFailsEveryOperation) {
  RegexpClass re("(");
  TraceCapture capture;
  char dest[8] = "keep";
  EXPECT_EQ(re.Match("abc"), 0);
  EXPECT_EQ(re.NextMatch(), 0);
  EXPECT_EQ(re.regsub("&", dest, sizeof dest), 0);
  EXPECT_STREQ(dest, "keep");
  EXPECT_EQ(re.SubStart(0), nullptr);
  EXPECT_EQ(capture.Texts('W'), (std::vector<std::string>{"NULL parameter", "Error in NextMatch",
                                                          "NULL parm to regsub"}));
}

}  // namespace
