#include <gtest/gtest.h>

#include <string>

#include "ConditionFixture.h"
#include "ConditionReport.h"

namespace {

TEST(ConditionReport, PrintsEachBoardThenTheCountsThenTheTotals) {
  ConditionScript script;
  ConditionProgram program;
  ScriptError error;
  ASSERT_TRUE(ParseConditionScript(
      "action printall, printpbn, frequency \"north\" (hcp(north), 9, 10), average hcp(west)",
      script, error));
  ASSERT_TRUE(program.Compile(script, error));
  ReportBoard board;
  board.number = 7;
  HandsOfPbn("N:Q32.6.K984.K8632 A9.KQJ54.AQ2.QJ7 J654.T82.7653.T5 KT87.A973.JT.A94",
             board.script_view.data());
  board.deal = DealOfHands(board.script_view.data());
  board.dealer = kWest;
  board.vulnerable = 2;
  // Four columns of 20 characters, as the manual shows them.
  const auto row = [](std::string n, std::string e, std::string s, const std::string& w) {
    n.resize(20, ' ');
    e.resize(20, ' ');
    s.resize(20, ' ');
    return n + e + s + w + "\n";
  };
  EXPECT_EQ(
      FormatConditionReport(script, program, {board}, 40),
      "Board 7\n" + row("Q 3 2", "A 9", "J 6 5 4", "K T 8 7") +
          row("6", "K Q J 5 4", "T 8 2", "A 9 7 3") + row("K 9 8 4", "A Q 2", "7 6 5 3", "J T") +
          row("K 8 6 3 2", "Q J 7", "T 5", "A 9 4") +
          "\n"
          "[Board \"7\"]\n[Dealer \"W\"]\n[Vulnerable \"EW\"]\n"
          "[Deal \"N:Q32.6.K984.K8632 A9.KQJ54.AQ2.QJ7 J654.T82.7653.T5 KT87.A973.JT.A94\"]\n\n"
          "Generated 40 hands\nProduced 1 hands (2.5% met the condition)\n"
          "Frequency north:\n     Low        1\n       9        0\n      10        0\n"
          "Average: 12.00\n");
}

}  // namespace
