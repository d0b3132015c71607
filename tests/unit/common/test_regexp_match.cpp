// Matching semantics the callers rely on: leftmost-first, last repetition, literal runs, sets,
// word boundaries, NextMatch, and never reading past the text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "log.h"
#include "regexpclass.h"

namespace {

// Sub-match n of the last match, "-" when it took no part.
std::string Sub(const RegexpClass& re, int n) {
  if (re.SubStart(n) == nullptr || re.SubEnd(n) == nullptr) return "-";
  return std::string(re.SubStart(n), re.SubEnd(n));
}

struct Case {
  const char* pattern;
  const char* text;
  const char* whole;  // nullptr: no match
  const char* group1;
};

class RegexpMatch : public ::testing::TestWithParam<Case> {};

TEST_P(RegexpMatch, FindsTheExpectedMatch) {
  const Case& c = GetParam();
  RegexpClass re(c.pattern);
  ASSERT_TRUE(re.IsValid());
  // The text sits in a heap block of exactly its size, so that a read past its NUL is caught.
  std::vector<char> text(c.text, c.text + std::strlen(c.text) + 1);
  char* heap = new char[text.size()];
  std::memcpy(heap, text.data(), text.size());
  int found = re.Match(heap);
  if (c.whole == nullptr) {
    EXPECT_EQ(found, 0);
  } else {
    ASSERT_EQ(found, 1);
    EXPECT_EQ(Sub(re, 0), c.whole);
    if (c.group1 != nullptr) {
      EXPECT_EQ(Sub(re, 1), c.group1);
    }
  }
  delete[] heap;
}

INSTANTIATE_TEST_SUITE_P(
    Reply, RegexpMatch,
    ::testing::Values(Case{"^([0-9][0-9])[ \t]+(.*)", "00 Sort done", "00 Sort done", "00"},
                      Case{"^([0-9][0-9])[ \t]+(.*)", "41\tNO", "41\tNO", "41"},
                      Case{"^([0-9][0-9])[ \t]+(.*)", "0 busy", nullptr, nullptr},
                      Case{"^([0-9][0-9])[ \t]+(.*)", "123 x", nullptr, nullptr}));

INSTANTIATE_TEST_SUITE_P(
    LeftmostFirst, RegexpMatch,
    ::testing::Values(Case{"ab|abcd", "abcd", "ab", nullptr}, Case{"a|ab", "ab", "a", nullptr},
                      Case{"(ab|a)(c|bcd)", "abcd", "abc", "ab"},
                      Case{"cat|dog|bird|fish", "a fish and a dog", "fish", nullptr},
                      Case{"cat\ndog\nbird\nfish", "a fish and a dog", "fish", nullptr},
                      Case{"x\ny", "ayb", "y", nullptr}, Case{"b+c", "abbbc", "bbbc", nullptr},
                      Case{"a*bcd", "aabcx aabcd", "aabcd", nullptr}));

INSTANTIATE_TEST_SUITE_P(
    Repetition, RegexpMatch,
    ::testing::Values(Case{"(x[0-9])*", "x1x2x3", "x1x2x3", "x3"},
                      Case{"(x[0-9])+y", "x1x2x3y", "x1x2x3y", "x3"},
                      Case{"a(b)?c", "ac", "ac", "-"}, Case{"(a|b)*c", "abbac", "abbac", "a"},
                      Case{"abc*", "abd", "ab", nullptr}, Case{"abc*", "abccc", "abccc", nullptr},
                      Case{"abc+", "abd", nullptr, nullptr}, Case{"ab?c", "ac", "ac", nullptr},
                      Case{"x\\.*y", "x..y", "x..y", nullptr}, Case{"x\\.*y", "xy", "xy", nullptr},
                      Case{"a.*b", "axxbxxb", "axxbxxb", nullptr}));

INSTANTIATE_TEST_SUITE_P(
    SetsAndEscapes, RegexpMatch,
    ::testing::Values(Case{"^0*([0-9\\.]+)[ \t]*(.*)", "01\\7.2 x", "01\\7.2 x", "1\\7.2"},
                      Case{"[^a-c]+", "abcxyzc", "xyz", nullptr},
                      Case{"[]x]+", "a]x]b", "]x]", nullptr}, Case{"[a-]+", "x-a-", "-a-", nullptr},
                      Case{"\\(a\\)", "(a)", "(a)", nullptr},
                      Case{"a{2}", "aa a{2}", "a{2}", nullptr},
                      Case{"[\x80-\xff]", "a\xe9", "\xe9", nullptr},
                      Case{"x$", "xax", "x", nullptr}, Case{"x$", "xa", nullptr, nullptr}));

INSTANTIATE_TEST_SUITE_P(
    WordBoundaries, RegexpMatch,
    ::testing::Values(Case{"\\<ab", "ab", "ab", nullptr}, Case{"\\<ab", "x ab", "ab", nullptr},
                      Case{"\\<ab", "xab", nullptr, nullptr},
                      Case{"\\<ab", "_ab", nullptr, nullptr}, Case{"ab\\>", "ab c", "ab", nullptr},
                      Case{"ab\\>", "abc", nullptr, nullptr}, Case{"ab\\>", "ab", "ab", nullptr},
                      Case{"\\<", "  ", nullptr, nullptr}));

// Texts that end where a node still wants a character.
INSTANTIATE_TEST_SUITE_P(
    EndOfText, RegexpMatch,
    ::testing::Values(Case{"abc", "ab", nullptr, nullptr}, Case{".*", "", "", nullptr},
                      Case{"[^x]*$", "abc", "abc", nullptr}, Case{"a.", "a", nullptr, nullptr},
                      Case{"[a-z]+q", "abc", nullptr, nullptr}, Case{"x\\>", "x", "x", nullptr},
                      Case{"(ab)*abx", "ababab", nullptr, nullptr}));

TEST(RegexpNextMatch, WalksTheNumbersOfAVersion) {
  TraceCapture capture;
  RegexpClass re("([0-9]+)");
  EXPECT_EQ(re.NextMatch(), 0);  // nothing matched yet
  ASSERT_EQ(re.Match("1.17"), 1);
  EXPECT_EQ(Sub(re, 1), "1");
  ASSERT_EQ(re.NextMatch(), 1);
  EXPECT_EQ(Sub(re, 1), "17");
  EXPECT_EQ(re.NextMatch(), 0);
  EXPECT_EQ(re.NextMatch(), 0);
  EXPECT_EQ(capture.Texts('W'),
            (std::vector<std::string>{"Error in NextMatch", "Error in NextMatch"}));
}

TEST(RegexpNextMatch, NewLineStartAndEmptyMatchesEnd) {
  RegexpClass anchored("^a");
  ASSERT_EQ(anchored.Match("aab"), 1);
  EXPECT_EQ(anchored.NextMatch(), 1);  // the end of the last match is the new line start
  EXPECT_EQ(anchored.NextMatch(), 0);

  RegexpClass empty("x*");
  int matches = empty.Match("ab") ? 1 : 0;
  while (matches < 10 && empty.NextMatch()) ++matches;
  EXPECT_EQ(matches, 3);  // before a, before b, at the end
}

TEST(RegexpMatch, FailedMatchLeavesNoSubMatches) {
  RegexpClass re("a([0-9])");  // begins with a literal: texts without "a" are not even tried
  ASSERT_EQ(re.Match("a1"), 1);
  EXPECT_EQ(re.Match("zzz"), 0);
  EXPECT_EQ(re.SubStart(1), nullptr);
  char dest[8] = "keep";
  EXPECT_EQ(re.regsub("<\\1>", dest, sizeof dest), 1);
  EXPECT_STREQ(dest, "<>");
}

TEST(RegexpMatch, NullTextIsRefused) {
  TraceCapture capture;
  RegexpClass re("a");
  EXPECT_EQ(re.Match(nullptr), 0);
  EXPECT_TRUE(capture.Contains('W', "NULL parameter"));
}

}  // namespace
