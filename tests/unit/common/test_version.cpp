// Version strings: the numbers, the test mark, the build stamp and the operator's short text.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "ScopedEnvironment.h"
#include "version.h"

namespace {

// Build stamps are local time; the tests pin the zone so the seconds are known.
class VersionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tz_ = std::make_unique<ScopedEnvironment>("TZ", "UTC");
    tzset();
  }
  void TearDown() override {
    tz_.reset();
    tzset();
  }
  static std::vector<int> Numbers(const VersionRecord& r) {
    return std::vector<int>(r.numbers, r.numbers + r.count);
  }
  static std::string Text(const char* version) {
    char buffer[80];
    MakeVersionText(version, buffer, sizeof buffer);
    return buffer;
  }

 private:
  std::unique_ptr<ScopedEnvironment> tz_;
};

TEST_F(VersionTest, ReleaseString) {
  VersionRecord r;
  ASSERT_TRUE(ParseVersion(r, "1.17 13.03.17.10:48.22"));
  EXPECT_EQ(Numbers(r), (std::vector<int>{1, 17}));
  EXPECT_EQ(r.test_mark, 0);
  EXPECT_EQ(r.valid, 1);
  EXPECT_EQ(r.build_time, 1363517302);  // 2013-03-17 10:48:22
  EXPECT_EQ(Text("1.17 13.03.17.10:48.22"), "1.17 rel");
}

struct TextCase {
  const char* version;
  std::vector<int> numbers;
  const char* text;
};

class VersionText : public VersionTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(VersionText, NumbersAndText) {
  VersionRecord r;
  ASSERT_TRUE(ParseVersion(r, GetParam().version));
  EXPECT_EQ(Numbers(r), GetParam().numbers);
  EXPECT_EQ(Text(GetParam().version), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, VersionText,
    ::testing::Values(
        TextCase{"1.17 *13.03.17.10:48.22", {1, 17}, "1.17* tst 2013.03.17 10.48:22"},
        TextCase{"1.010 13.03.17.10:48.22", {1, 8}, "1.8 rel"},  // "%i": 010 is octal
        TextCase{"1.17 *2013.03.17.10:48.22", {1, 17}, "1.17* tst 2020.03.17 10.48:22"},
        TextCase{"1.17\t*13.03.17.10:00.22", {1, 17}, "1.17* tst 2013.03.17 10.00:22"},
        TextCase{"2.0.3 *13.12.31.23:59.59", {2, 0, 3}, "2.0.3* tst 2013.12.31 23.59:59"},
        TextCase{"1.2.3.4.5.6.7.8.9.10.11.12 13.03.17.10:48.22",
                 {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
                 "1.2.3.4.5.6.7.8.9.10 rel"}));

TEST_F(VersionTest, NoBuildStamp) {
  VersionRecord r;
  ASSERT_TRUE(ParseVersion(r, "007.2 x"));
  EXPECT_EQ(Numbers(r), (std::vector<int>{7, 2}));
  EXPECT_EQ(r.build_time, 0);
  EXPECT_EQ(r.valid, 1);
}

TEST_F(VersionTest, NotAVersionClearsTheRecord) {
  for (const char* text : {"v1.17 13.03.17", "", " 1.17"}) {
    VersionRecord r;
    std::memset(&r, 0x5A, sizeof r);
    EXPECT_FALSE(ParseVersion(r, text)) << text;
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(r.valid, 0);
    EXPECT_EQ(r.test_mark, 0);
    EXPECT_EQ(r.build_time, 0);
  }
}

// The operator's text has 80 characters; ten numbers of ten digits need more.
TEST_F(VersionTest, LongTextsAreCutToTheBuffer) {
  std::string version;
  for (int i = 0; i < 10; ++i) version += (i ? ".2147483647" : "2147483647");
  version += " *13.03.17.10:48.22";
  char buffer[96];
  std::memset(buffer, '#', sizeof buffer);
  MakeVersionText(version.c_str(), buffer, 80);
  EXPECT_EQ(std::strlen(buffer), 79u);
  EXPECT_EQ(std::string(buffer, 11), "2147483647.");
  for (size_t i = 80; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], '#');

  VersionRecord r;
  std::memset(&r, 0, sizeof r);
  r.count = 1000;  // a damaged record stays inside its ten numbers
  r.test_mark = 1;
  char small[6];
  FormatVersionNumbers(r, small, sizeof small);
  EXPECT_STREQ(small, "0.0.0");
}

TEST_F(VersionTest, ProgramVersionIsParsedOnce) {
  VersionRecord r;
  EXPECT_TRUE(ParseVersion(r, GetVersionString()));
  const char* text = GetVersionText();
  EXPECT_EQ(text, GetVersionText());
  EXPECT_EQ(std::string(text), Text(GetVersionString()));
}

}  // namespace
