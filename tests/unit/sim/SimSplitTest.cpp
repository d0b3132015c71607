#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <regex>
#include <string>

#include "SimMachine.h"

namespace qsim {
namespace {

constexpr uint32_t kCardMs = 50;

// The text the program finds after the reply code, and the expression it looks for in it.
std::string TextAfterCode(const Reply& reply) {
  return reply.text.substr(3);
}
const std::regex kRemoval("00 Remove ([0-9][0-9]) cards from ([1-4])");

struct SplitRun {
  int removals = 0;
  std::map<int, std::vector<int>> removed;  // pocket → every card taken out of it, in order
  std::string last;
};

// Polls STAT like the split page does and continues after each removal request, emptying the
// pocket the machine names.
SplitRun RunSplit(Machine& machine, uint32_t& now) {
  SplitRun run;
  for (int polls = 0; polls < 10000; ++polls) {
    now += 100;
    const Reply reply = machine.Execute("STAT", now);
    if (reply.text == "01 busy") {
      continue;
    }
    run.last = reply.text;
    std::smatch match;
    const std::string text = TextAfterCode(reply);
    if (reply.text.compare(0, 3, "00 ") != 0 || !std::regex_search(text, match, kRemoval)) {
      break;
    }
    ++run.removals;
    const int pocket = std::stoi(match[2].str());
    const std::vector<int>& cards = machine.Pocket(pocket);
    EXPECT_EQ(std::stoul(match[1].str()), cards.size());
    run.removed[pocket].insert(run.removed[pocket].end(), cards.begin(), cards.end());
    EXPECT_EQ(machine.Execute("SPLIT CONTINUE", now), Reply::StatusOnly(0));
  }
  for (int pocket = 1; pocket <= 4; ++pocket) {
    const std::vector<int>& cards = machine.Pocket(pocket);
    run.removed[pocket].insert(run.removed[pocket].end(), cards.begin(), cards.end());
  }
  return run;
}

TEST(SimSplit, SeparatesTwoMixedDecksStoppingForEachFullPocket) {
  const struct {
    const char* command;
    int removals;
  } cases[] = {{"SPLIT 13", 8}, {"SPLIT 26", 4}};
  for (const auto& c : cases) {
    MachineOptions options;
    options.card_ms = kCardMs;
    options.deck.shuffled = true;
    Machine machine(options);
    uint32_t now = 1000;
    ASSERT_EQ(machine.Execute(c.command, now), Reply::StatusOnly(0)) << c.command;
    const SplitRun run = RunSplit(machine, now);
    EXPECT_EQ(run.last, "00 Split done") << c.command;
    EXPECT_FALSE(std::regex_search(TextAfterCode(Reply::Text(0, "Split done")), kRemoval));
    // A last full pocket also asks for removal before the job ends; so each deck's pocket stops
    // 52 / count times.
    EXPECT_EQ(run.removals, c.removals) << c.command;
    for (int pocket : {3, 2}) {
      std::vector<int> cards = run.removed.at(pocket);
      std::sort(cards.begin(), cards.end());
      std::vector<int> deck(52);
      std::iota(deck.begin(), deck.end(), 1);
      EXPECT_EQ(cards, deck) << c.command << " pocket " << pocket;
    }
    EXPECT_EQ(run.removed.count(1) ? run.removed.at(1).size() : 0u, 0u);
    EXPECT_EQ(machine.Execute("SERVICEINFO", now).text, "00 104,0,0,0,0,1");
  }
}

TEST(SimSplit, ThirdCopiesGoToTheCopiesPocket) {
  MachineOptions options;
  options.card_ms = kCardMs;
  options.split_decks = 3;
  Machine machine(options);
  uint32_t now = 0;
  ASSERT_EQ(machine.Execute("SPLIT 26", now), Reply::StatusOnly(0));
  const SplitRun run = RunSplit(machine, now);
  EXPECT_EQ(run.last, "00 Split done");
  EXPECT_EQ(run.removed.at(1).size(), 52u);
}

TEST(SimSplit, RemovalRequestReadsAsTheProgramExpects) {
  MachineOptions options;
  options.card_ms = kCardMs;
  Machine machine(options);
  ASSERT_EQ(machine.Execute("SPLIT 13", 0), Reply::StatusOnly(0));
  EXPECT_EQ(machine.Execute("STAT", 13 * kCardMs - 1).text, "01 busy");
  const Reply reply = machine.Execute("STAT", 13 * kCardMs);
  EXPECT_EQ(reply.text, "00 00 Remove 13 cards from 3");
  // Waiting for the operator: nothing more is read, however long it takes.
  EXPECT_EQ(machine.Execute("STAT", 1000 * kCardMs), reply);
  EXPECT_EQ(machine.FedCards().size(), 13u);
  // A new split restarts the job from a full feeder.
  ASSERT_EQ(machine.Execute("SPLIT 26", 1000 * kCardMs), Reply::StatusOnly(0));
  EXPECT_EQ(machine.FeederCount(), 104u);
  EXPECT_TRUE(machine.Pocket(3).empty());
}

TEST(SimSplit, FaultsStopTheSplitWithTheirCode) {
  MachineOptions options;
  options.card_ms = kCardMs;
  Machine machine(options);
  machine.JamAfter(20);
  ASSERT_EQ(machine.Execute("SPLIT 26", 0), Reply::StatusOnly(0));
  EXPECT_EQ(machine.Execute("STAT", 100 * kCardMs).text, "25 jam at card 21");
  EXPECT_EQ(machine.Execute("SPLIT CONTINUE", 100 * kCardMs).text, "20 no split to continue");
}

}  // namespace
}  // namespace qsim
