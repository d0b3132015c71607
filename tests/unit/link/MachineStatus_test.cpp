#include "MachineStatus.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace machine_status;

TEST(MachineStatus, ReplyParse) {
  struct Case {
    const char* reply;
    bool parsed;
    int code;
    const char* text;
  } const cases[] = {
      {"00 OK", true, 0, "OK"},
      {"14 HD already read in pocket 3", true, 14, "HD already read in pocket 3"},
      {"08 x", true, 8, "x"},  // decimal, not octal
      {"09 y", true, 9, "y"},
      {"40 \t YES", true, 40, "YES"},
      {"41 ", true, 41, ""},
      {"1 busy", false, 0, nullptr},
      {"OK done", false, 0, nullptr},
      {"12", false, 0, nullptr},
      {"123 text", false, 0, nullptr},
      {"", false, 0, nullptr},
  };
  for (const Case& c : cases) {
    ParsedReply out;
    out.code = -7;
    EXPECT_EQ(ParseReply(c.reply, out), c.parsed) << c.reply;
    if (c.parsed) {
      EXPECT_EQ(out.code, c.code) << c.reply;
      EXPECT_EQ(out.text, c.text) << c.reply;
    } else {
      EXPECT_EQ(out.code, -7) << "untouched on failure: " << c.reply;
    }
  }
  ParsedReply out;
  EXPECT_FALSE(ParseReply(nullptr, out));
}

TEST(MachineStatus, TextsAndSplitAcknowledgement) {
  EXPECT_STREQ(StatusText(kCardReadTwice), "two or more identical card detected");
  EXPECT_STREQ(StatusText(kNoMachine), "No device or device disconneted");
  EXPECT_STREQ(StatusText(kMissingJoker), "missing joker)");
  EXPECT_EQ(StatusText(2), nullptr);
  EXPECT_EQ(StatusText(kOk), nullptr);

  EXPECT_TRUE(IsSplitAcknowledgement(kExchangeFailed, ""));
  EXPECT_FALSE(IsSplitAcknowledgement(kExchangeFailed, "Test return"));
  EXPECT_FALSE(IsSplitAcknowledgement(kOk, ""));
  EXPECT_FALSE(IsSplitAcknowledgement(kNoMachine, ""));
  EXPECT_FALSE(IsSplitAcknowledgement(kExchangeFailed, nullptr));
}

}  // namespace
