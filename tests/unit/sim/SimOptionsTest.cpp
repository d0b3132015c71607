#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SimControl.h"
#include "SimOptions.h"

namespace qsim {
namespace {

TEST(SimOptions, OptionsBecomeStartUpStateAndControlLines) {
  const SimArgs args =
      ParseSimArgs({"--slot",      "4",       "--dir",         "/run/q",      "--control",
                    "/run/q/ctl",  "--deck",  "doubled:HQ:30", "--card-ms",   "40",
                    "--seed",      "9",       "--firmware",    "FW 1.0",      "--tray",
                    "--unplugged", "--quiet", "--no-stdin",    "--stray-log", "3",
                    "--fault",     "late"});
  ASSERT_EQ(args.error, "");
  EXPECT_EQ(args.slot, 4);
  EXPECT_EQ(args.directory, "/run/q");
  EXPECT_EQ(args.control_socket, "/run/q/ctl");
  EXPECT_EQ(args.machine.seed, 9u);
  EXPECT_EQ(args.machine.firmware, "FW 1.0");
  EXPECT_TRUE(args.quiet);
  EXPECT_FALSE(args.read_stdin);
  EXPECT_EQ(args.control_lines,
            (std::vector<std::string>{"deck doubled HQ 30", "cardtime 40", "tray on", "unplug",
                                      "stray log 3", "fault late"}));

  // Every line the options make must be one the control channel takes.
  SimState state(args.machine);
  for (const std::string& line : args.control_lines) {
    EXPECT_TRUE(RunControlLine(state, line, 0).ok) << line;
  }
  EXPECT_EQ(state.machine.options().deck.doubled_at, 30);
  EXPECT_FALSE(state.link.plugged);
}

TEST(SimOptions, BadCommandLinesAreRefused) {
  const std::vector<std::vector<std::string>> cases = {
      {"--slot", "10"}, {"--slot"}, {"--slot", "x"}, {"--seed", "-1"}, {"--deck"}, {"--frobnicate"},
  };
  for (const auto& c : cases) {
    EXPECT_NE(ParseSimArgs(c).error, "") << c[0];
  }
  EXPECT_TRUE(ParseSimArgs({"--help"}).help);
}

}  // namespace
}  // namespace qsim
