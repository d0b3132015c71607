#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "SimCards.h"
#include "SimMachine.h"

namespace qsim {
namespace {

constexpr uint32_t kCardMs = 100;

// The program splits every reply into its code and its text with this expression; a text reply
// that does not fit would reach the pages as the program's own failure code.
const std::regex kReplyExpression("^([0-9][0-9])[ \t]+(.*)");

int CodeOf(const Reply& reply) {
  std::smatch match;
  if (reply.status_only || !std::regex_search(reply.text, match, kReplyExpression)) {
    return -1;
  }
  return std::stoi(match[1].str());
}

std::string TextOf(const Reply& reply) {
  std::smatch match;
  std::regex_search(reply.text, match, kReplyExpression);
  return match[2].str();
}

// Pocket digits for a deal in which the suits go to pockets 4, 3, 2, 1 (spades to 4).
std::string SuitDigits() {
  return std::string(13, '4') + std::string(13, '3') + std::string(13, '2') + std::string(13, '1');
}

MachineOptions Options() {
  MachineOptions options;
  options.card_ms = kCardMs;
  options.deck.shuffled = true;
  return options;
}

TEST(SimMachine, AnswersEveryCommandOfTheVocabulary) {
  const struct {
    const char* line;
    const char* reply;  // nullptr: a STATUS packet alone with status 0
  } cases[] = {
      {"STAT", "00 OK"},
      {"BUTSTAT", "41 NO"},
      {"TRAYSTAT", "41 NO"},
      {"BUTTONSTART ON", "00 OK"},
      {"BUTTONSTART OFF", "00 OK"},
      {"TRAYSTART OFF", "00 OK"},
      {"STOPCARD ON", "00 OK"},
      {"STOPCARD OFF", "00 OK"},
      {"BARCODE 5BAR", "00 OK"},
      {"BARCODE 7BAR", "00 OK"},
      {"SERVICEINFO", "00 0,0,0,0,0,0"},
      {"FEEDFEEDER", "00 OK"},
      {"EXERCISE ON", "00 OK"},
      {"EXERCISE OFF", "00 OK"},
      {"FIRMWARE", "00 QSIM 2.04 simulated dealer"},
      {"SPLIT CONTINUE", "20 no split to continue"},
      {"BUTTONSTART MAYBE", "20 bad parameter"},
      {"BUTTONSTART", "20 bad parameter"},
      {"BARCODE 6BAR", "20 bad parameter"},
      {"EXERCISE", "20 bad parameter"},
      {"HELLO", "20 unknown command"},
      {"STAT NOW", "20 unknown command"},
      {"", "20 unknown command"},
      {"SPLIT 26", nullptr},
      {"STAT", "01 busy"},
      {"SORT 1111111111111111111111111111111111111111111111111111", "01 busy"},
      {"SPLIT 13", "01 busy"},
      {"EXERCISE ON", "01 busy"},
      {"BARCODE 7BAR", "00 OK"},
  };
  Machine machine(Options());
  for (const auto& c : cases) {
    const Reply reply = machine.Execute(c.line, 1000);
    if (c.reply == nullptr) {
      EXPECT_EQ(reply, Reply::StatusOnly(0)) << c.line;
    } else {
      EXPECT_EQ(reply.text, c.reply) << c.line;
      EXPECT_FALSE(reply.status_only) << c.line;
      EXPECT_GE(CodeOf(reply), 0) << c.line;
    }
  }
}

TEST(SimMachine, RefusesMalformedSortAndSplit) {
  Machine machine(Options());
  for (const std::string& line : std::vector<std::string>{
           "SORT", "SORT 123", "SORT " + std::string(51, '1'), "SORT " + std::string(53, '1'),
           "SORT " + std::string(51, '1') + "5", "SORT " + std::string(51, '1') + "0",
           "SORT " + SuitDigits() + " 1", "SPLIT", "SPLIT 12", "SPLIT 13 26"}) {
    const Reply reply = machine.Execute(line, 1000);
    EXPECT_EQ(CodeOf(reply), 20) << line;
  }
  EXPECT_EQ(machine.job(), JobKind::kNone);
}

TEST(SimMachine, ButtonPressIsReportedOncePerPress) {
  Machine machine(Options());
  machine.PressButton(10);
  machine.PressButton(20);
  EXPECT_EQ(machine.Execute("BUTSTAT", 30).text, "40 YES");
  EXPECT_EQ(machine.Execute("BUTSTAT", 40).text, "41 NO");
  machine.PressButton(50);
  EXPECT_EQ(machine.Execute("BUTSTAT", 60).text, "40 YES");
}

TEST(SimMachine, TrayReportsCardsUntilAJobTakesThem) {
  Machine machine(Options());
  machine.SetTrayCards(true, 0);
  EXPECT_EQ(machine.Execute("TRAYSTAT", 10).text, "40 YES");
  EXPECT_EQ(machine.Execute("TRAYSTAT", 20).text, "40 YES");
  EXPECT_EQ(machine.Execute("SORT " + SuitDigits(), 30).text, "00 OK");
  EXPECT_EQ(machine.Execute("TRAYSTAT", 40).text, "41 NO");
}

TEST(SimMachine, SortFillsEachPocketWithItsCardsInFeedingOrder) {
  Machine machine(Options());
  std::string digits;
  for (int card = 1; card <= 52; ++card) {
    digits += static_cast<char>('1' + (card * 7) % 4);
  }
  const uint32_t start = 5000;
  ASSERT_EQ(machine.Execute("SORT " + digits, start).text, "00 OK");
  EXPECT_EQ(machine.Execute("STAT", start + 52 * kCardMs - 1).text, "01 busy");
  EXPECT_EQ(machine.FedCards().size(), 51u);
  EXPECT_EQ(machine.Execute("STAT", start + 52 * kCardMs).text, "00 OK");
  EXPECT_EQ(machine.Execute("STAT", start + 60 * kCardMs).text, "00 OK");

  const std::vector<int>& fed = machine.FedCards();
  ASSERT_EQ(fed.size(), 52u);
  for (int pocket = 1; pocket <= 4; ++pocket) {
    std::vector<int> expected;
    for (int card : fed) {
      if (digits[card - 1] == '0' + pocket) {
        expected.push_back(card);
      }
    }
    EXPECT_EQ(machine.Pocket(pocket), expected) << "pocket " << pocket;
    EXPECT_EQ(machine.Pocket(pocket).size(), 13u);
  }
  EXPECT_EQ(machine.Execute("SERVICEINFO", start + 61 * kCardMs).text, "00 52,1,1,0,0,0");
}

TEST(SimMachine, SortRunsAcrossTheTickCountWrap) {
  Machine machine(Options());
  const uint32_t start = 0xFFFFFFFFu - 10 * kCardMs;
  ASSERT_EQ(machine.Execute("SORT " + SuitDigits(), start).text, "00 OK");
  EXPECT_EQ(machine.Execute("STAT", start + 20 * kCardMs).text, "01 busy");
  EXPECT_EQ(machine.FedCards().size(), 20u);
  EXPECT_EQ(machine.Execute("STAT", start + 52 * kCardMs).text, "00 OK");
}

// Each physical fault ends the sort with its code; the table gives the deck and the moment.
TEST(SimMachine, PhysicalFaultsEndTheSortWithTheirCode) {
  const struct {
    const char* name;
    void (*arrange)(Machine&);
    int code;
    const char* text;  // the text after the code
    size_t cards_read;
  } cases[] = {
      {"doubled card",
       [](Machine& m) {
         m.deck().shuffled = false;
         m.deck().doubled = ParseCard("HQ");
         m.deck().doubled_at = 30;
       },
       14, "HD already read in pocket 3", 31},
      {"doubled ten of diamonds at the end",
       [](Machine& m) {
         m.deck().shuffled = false;
         m.deck().doubled = ParseCard("DT");
         m.deck().doubled_at = 52;
       },
       14, "R10 already read in pocket 2", 53},
      {"missing card", [](Machine& m) { m.deck().missing = ParseCard("C2"); }, 3,
       "feeder empty after 51 cards", 51},
      {"wrong barcode", [](Machine& m) { m.deck().barcode = Barcode::k5Bar; }, 16,
       "card barcode is not 7BAR", 0},
      {"jam", [](Machine& m) { m.JamAfter(12); }, 25, "jam at card 13", 12},
      {"card box out", [](Machine& m) { m.SetCardBox(false, 0); }, 28, "cardbox not inserted", 0},
  };
  for (const auto& c : cases) {
    Machine machine(Options());
    c.arrange(machine);
    ASSERT_EQ(machine.Execute("SORT " + SuitDigits(), 1000).text, "00 OK") << c.name;
    const Reply reply = machine.Execute("STAT", 1000 + 60 * kCardMs);
    EXPECT_EQ(CodeOf(reply), c.code) << c.name;
    EXPECT_EQ(TextOf(reply), c.text) << c.name;
    EXPECT_EQ(machine.FedCards().size(), c.cards_read) << c.name;
    EXPECT_EQ(machine.phase(), Phase::kFailed) << c.name;
    // The fault stays the answer until the next job.
    EXPECT_EQ(machine.Execute("STAT", 1000 + 70 * kCardMs), reply) << c.name;
  }
}

TEST(SimMachine, NextSortAfterAJamWorksAndTheCountersFollow) {
  Machine machine(Options());
  machine.JamAfter(5);
  ASSERT_EQ(machine.Execute("SORT " + SuitDigits(), 0).text, "00 OK");
  EXPECT_EQ(CodeOf(machine.Execute("STAT", 10 * kCardMs)), 25);
  ASSERT_EQ(machine.Execute("SORT " + SuitDigits(), 20 * kCardMs).text, "00 OK");
  EXPECT_EQ(machine.Execute("STAT", 80 * kCardMs).text, "00 OK");
  ASSERT_EQ(machine.Execute("SORT " + SuitDigits(), 100 * kCardMs).text, "00 OK");
  EXPECT_EQ(machine.Execute("STAT", 200 * kCardMs).text, "00 OK");
  EXPECT_EQ(machine.Execute("SERVICEINFO", 200 * kCardMs).text, "00 109,2,2,1,0,0");
}

TEST(SimMachine, CardBoxRemovedDuringTheSortStopsIt) {
  Machine machine(Options());
  ASSERT_EQ(machine.Execute("SORT " + SuitDigits(), 0).text, "00 OK");
  machine.SetCardBox(false, 10 * kCardMs);
  EXPECT_EQ(machine.Execute("STAT", 20 * kCardMs).text, "28 cardbox not inserted");
  EXPECT_EQ(machine.FedCards().size(), 10u);
  machine.SetCardBox(true, 30 * kCardMs);
  ASSERT_EQ(machine.Execute("SORT " + SuitDigits(), 30 * kCardMs).text, "00 OK");
  EXPECT_EQ(machine.Execute("STAT", 90 * kCardMs).text, "00 OK");
}

TEST(SimMachine, WrongBarcodeSettingIsCuredBySettingTheRightOne) {
  Machine machine(Options());
  machine.deck().barcode = Barcode::k5Bar;
  ASSERT_EQ(machine.Execute("SORT " + SuitDigits(), 0).text, "00 OK");
  EXPECT_EQ(CodeOf(machine.Execute("STAT", kCardMs)), 16);
  EXPECT_EQ(machine.Execute("BARCODE 5BAR", kCardMs).text, "00 OK");
  ASSERT_EQ(machine.Execute("SORT " + SuitDigits(), kCardMs).text, "00 OK");
  EXPECT_EQ(machine.Execute("STAT", 60 * kCardMs).text, "00 OK");
}

TEST(SimMachine, StopCardTakesOneMoreCardTime) {
  Machine machine(Options());
  ASSERT_EQ(machine.Execute("STOPCARD ON", 0).text, "00 OK");
  ASSERT_EQ(machine.Execute("SORT " + SuitDigits(), 0).text, "00 OK");
  EXPECT_EQ(machine.Execute("STAT", 52 * kCardMs).text, "01 busy");
  EXPECT_EQ(machine.Execute("STAT", 53 * kCardMs).text, "00 OK");
  EXPECT_EQ(machine.StopCards(), 1);
  EXPECT_EQ(machine.Pocket(4).size(), 13u);
}

TEST(SimMachine, MachineStartTriggersHoldTheJobUntilButtonOrTray) {
  Machine machine(Options());
  ASSERT_EQ(machine.Execute("BUTTONSTART ON", 0).text, "00 OK");
  ASSERT_EQ(machine.Execute("SORT " + SuitDigits(), 0).text, "00 OK");
  EXPECT_EQ(machine.Execute("STAT", 100 * kCardMs).text, "01 waiting for start");
  EXPECT_TRUE(machine.FedCards().empty());
  machine.PressButton(100 * kCardMs);
  EXPECT_EQ(machine.Execute("BUTSTAT", 100 * kCardMs).text, "41 NO");  // the machine used it
  EXPECT_EQ(machine.Execute("STAT", 152 * kCardMs).text, "00 OK");

  ASSERT_EQ(machine.Execute("BUTTONSTART OFF", 200 * kCardMs).text, "00 OK");
  ASSERT_EQ(machine.Execute("TRAYSTART ON", 200 * kCardMs).text, "00 OK");
  ASSERT_EQ(machine.Execute("SORT " + SuitDigits(), 200 * kCardMs).text, "00 OK");
  EXPECT_EQ(machine.Execute("STAT", 300 * kCardMs).text, "01 waiting for start");
  machine.SetTrayCards(true, 300 * kCardMs);
  EXPECT_EQ(machine.Execute("TRAYSTAT", 300 * kCardMs).text, "41 NO");
  EXPECT_EQ(machine.Execute("STAT", 352 * kCardMs).text, "00 OK");

  // Switching the trigger off lets a waiting job go at once.
  ASSERT_EQ(machine.Execute("SORT " + SuitDigits(), 400 * kCardMs).text, "00 OK");
  ASSERT_EQ(machine.Execute("TRAYSTART OFF", 410 * kCardMs).text, "00 OK");
  EXPECT_EQ(machine.Execute("STAT", 462 * kCardMs).text, "00 OK");
}

TEST(SimMachine, ExercisingArmsKeepTheMachineBusy) {
  Machine machine(Options());
  ASSERT_EQ(machine.Execute("EXERCISE ON", 0).text, "00 OK");
  EXPECT_EQ(machine.Execute("SORT " + SuitDigits(), 0).text, "01 busy");
  ASSERT_EQ(machine.Execute("EXERCISE OFF", 0).text, "00 OK");
  EXPECT_EQ(machine.Execute("SORT " + SuitDigits(), 0).text, "00 OK");
  EXPECT_EQ(machine.Execute("FEEDFEEDER", 0).text, "01 busy");
}

}  // namespace
}  // namespace qsim
