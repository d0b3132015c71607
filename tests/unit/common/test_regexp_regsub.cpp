// regsub: what the template writes, the per-sub-match limit, and the destination's bounds.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "log.h"
#include "regexpclass.h"

namespace {

struct SubCase {
  const char* tmpl;
  int limit;
  const char* expected;
};

class RegexpRegsub : public ::testing::TestWithParam<SubCase> {};

TEST_P(RegexpRegsub, WritesTheTemplate) {
  RegexpClass re("([a-z]+)-([0-9]+)(x)?");
  ASSERT_EQ(re.Match("id hello-12345 end"), 1);
  char dest[64];
  ASSERT_EQ(re.regsub(GetParam().tmpl, dest, sizeof dest, GetParam().limit), 1);
  EXPECT_STREQ(dest, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Templates, RegexpRegsub,
    ::testing::Values(SubCase{"&", -1, "hello-12345"}, SubCase{"\\0", -1, "hello-12345"},
                      SubCase{"\\2/\\1", -1, "12345/hello"}, SubCase{"[\\3]", -1, "[]"},
                      SubCase{"\\1", 2, "he"}, SubCase{"<\\1><\\2><&>", 3, "<hel><123><hel>"},
                      SubCase{"\\1", 0, ""}, SubCase{"\\\\1 \\& \\x", -1, "\\1 & \\x"},
                      SubCase{"a\\", -1, "a\\"}, SubCase{"\\9", -1, ""}));

// The destination's size is a hard bound, whether the text comes from the template or a
// sub-match; what fits is written and terminated.
TEST(RegexpRegsubBounds, NeverWritesPastTheDestination) {
  RegexpClass re("([a-z]+)");
  ASSERT_EQ(re.Match("abcdefgh"), 1);
  struct {
    const char* tmpl;
    size_t size;
    const char* expected;
  } cases[] = {{"\\1", 1, ""},
               {"\\1", 4, "abc"},
               {"xy\\1", 4, "xya"},
               {"\\1xy", 9, "abcdefgh"},
               {"\\1\\1", 12, "abcdefghabc"},
               {"1234567", 3, "12"}};
  for (const auto& c : cases) {
    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(re.regsub(c.tmpl, buffer, c.size), 1) << c.tmpl;
    EXPECT_STREQ(buffer, c.expected) << c.tmpl << " size " << c.size;
    for (size_t i = c.size; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], '#') << c.tmpl;
  }
}

TEST(RegexpRegsubBounds, RefusesMissingArguments) {
  RegexpClass re("a");
  ASSERT_EQ(re.Match("a"), 1);
  TraceCapture capture;
  char dest[4] = "old";
  EXPECT_EQ(re.regsub(nullptr, dest, sizeof dest), 0);
  EXPECT_EQ(re.regsub("&", nullptr, 4), 0);
  EXPECT_EQ(re.regsub("&", dest, 0), 0);
  EXPECT_STREQ(dest, "old");
  EXPECT_EQ(capture.Texts('W'), std::vector<std::string>(3, "NULL parm to regsub"));
}

TEST(RegexpRegsubBounds, TextChangedAfterTheMatchIsDamaged) {
  char text[] = "key=value";
  RegexpClass re("=(.*)");
  ASSERT_EQ(re.Match(text), 1);
  text[6] = '\0';  // the caller cut its text after matching
  TraceCapture capture;
  char dest[16];
  EXPECT_EQ(re.regsub("[\\1]", dest, sizeof dest), 0);
  EXPECT_STREQ(dest, "[va");
  EXPECT_TRUE(capture.Contains('W', "damaged match string"));
}

}  // namespace
