#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "ConditionFixture.h"

namespace {

// North 3-1-4-5 8 points, East 2-5-3-3 19, South 4-3-4-2 1, West 4-4-2-3 12.
constexpr const char* kDeal =
    "N:Q32.6.K984.K8632 A9.KQJ54.AQ2.QJ7 J654.T82.7653.T5 KT87.A973.JT.A94";

// The value of the script's first action (an average) on kDeal.
int64_t ValueOf(const std::string& script_text) {
  ConditionScript script;
  ScriptError error;
  EXPECT_TRUE(ParseConditionScript(script_text, script, error)) << FormatScriptError(error);
  ConditionProgram program;
  EXPECT_TRUE(program.Compile(script, error));
  if (script.actions.empty()) return -999;
  ScriptError fault;
  const int64_t value = program.ActionValue(0, FactsOfPbn(kDeal), fault);
  EXPECT_EQ(fault.message, "") << script_text;
  return value;
}

TEST(ConditionLanguage, EachFunctionAndOperatorCountsTheDeal) {
  const struct {
    const char* expr;
    int64_t value;
  } cases[] = {
      {"hcp(north)", 8},
      {"hcps(east, hearts)", 6},
      {"spades(south)", 4},
      {"heart(north)", 1},
      {"diamonds(west) + clubs(west)", 5},
      {"club(north)", 5},
      {"shape(east, 2533)", 1},
      {"shape(east, any 5332)", 1},
      {"shape(north, any 5431)", 1},
      {"shape(north, any 5431 - 3145)", 0},
      {"shape(north, - 3145 + any 5431)", 1},
      {"shape(west, xx2x + 5xxx)", 1},
      {"shape(west, 44xx - x4x3)", 0},
      {"shape(west, any 4432) * 7", 7},
      {"shape(south, any 4441 + 5xxx)", 0},
      {"hascard(east, AS)", 1},
      {"hascard(east, SA)", 1},
      {"hascard(south, TC)", 1},
      {"hascard(north, 2S)", 1},
      {"hascard(north, TC)", 0},
      {"controls(east)", 5},
      {"control(west, spades)", 1},
      {"losers(north)", 7},
      {"loser(east, spades)", 1},
      {"losers(west, diamonds)", 2},
      {"losers(east, hearts)", 1},
      {"tens(south)", 2},
      {"jacks(east)", 2},
      {"queen(east)", 3},
      {"kings(west)", 1},
      {"aces(west)", 2},
      {"top2(east, hearts)", 1},
      {"top3(east)", 6},
      {"top4(east)", 8},
      {"top5(west)", 6},
      {"c13(east)", 24},
      {"pt9(east)", 24},
      {"pt4(west) + pt0(south)", 4},
      {"7 / 2", 3},
      {"7 % 3", 1},
      {"-3 + 2 * 4", 5},
      {"(1 + 2) * 3", 9},
      {"10 - 4 - 3", 3},
      {"1 < 2 && 3 >= 3", 1},
      {"2 > 3 or not 0", 1},
      {"1 == 1 ? 10 : 20", 10},
      {"0 ? 1 : 0 ? 2 : 3", 3},
      {"!1", 0},
      {"4 != 4", 0},
      {"3 <= 2", 0},
      {"1 and 0", 0},
      {"0 || 0", 0},
      {"1 + 2 == 3", 1},
      {"1 /* two */ + 2 // three\n", 3},
      {"\n# a line of comment\n5", 5},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ValueOf(std::string("action average ") + c.expr), c.value) << c.expr;
  }
}

TEST(ConditionLanguage, StatementsSetTheSearch) {
  ConditionScript script;
  ScriptError error;
  ASSERT_TRUE(
      ParseConditionScript("generate 10000 produce 25\n"
                           "vulnerable EW dealer west\n"
                           "predeal south SAQ542, HKJ87, D32, CAK\n"
                           "predeal north, S3\n"
                           "hcp(north) > 20\n"
                           "condition opener\n"
                           "opener = hcp(west) > 11 && clubs(west) >= 3\n"
                           "action printall, printoneline, printpbn,\n"
                           "  average \"points\" hcp(west), frequency (hcp(west), 12, 20)",
                           script, error))
      << FormatScriptError(error);
  EXPECT_EQ(script.generate, 10000);
  EXPECT_EQ(script.produce, 25);
  EXPECT_EQ(script.vulnerable, 2);
  EXPECT_EQ(script.dealer, kWest);
  EXPECT_EQ(std::popcount(script.predeal[kSouth]), 13);
  EXPECT_EQ(script.predeal[kNorth], uint64_t{1} << (CardNumber(kSpades, 11) - 1));
  ASSERT_EQ(script.actions.size(), 5u);
  EXPECT_EQ(script.actions[3].text, "points");
  EXPECT_EQ(script.actions[4].low, 12);
  EXPECT_EQ(script.actions[4].high, 20);
  // The last condition counts; its name is defined after its use.
  ConditionProgram program;
  ASSERT_TRUE(program.Compile(script, error));
  ScriptError fault;
  EXPECT_TRUE(program.Meets(FactsOfPbn(kDeal), fault));
  EXPECT_EQ(ValueOf("a = b + 1\nb = hcp(north)\naction average a * a"), 81);
}

TEST(ConditionLanguage, ADivisionByZeroIsAFaultAtItsPlace) {
  ConditionScript script;
  ScriptError error;
  ASSERT_TRUE(
      ParseConditionScript("zero = hcp(south) - 1\n\nhcp(north) / zero > 1", script, error));
  ConditionProgram program;
  ASSERT_TRUE(program.Compile(script, error));
  ScriptError fault;
  EXPECT_FALSE(program.Meets(FactsOfPbn(kDeal), fault));
  EXPECT_EQ(FormatScriptError(fault), "line 3, column 12: division by zero");
}

TEST(ConditionLanguage, WhatTheReaderDoesNotTakeIsRefusedWithItsPlace) {
  const struct {
    const char* script;
    const char* error;
  } cases[] = {
      {"tricks(north, spades) > 9", "line 1, column 1: 'tricks' is not supported"},
      {"generate 100\nimps(3) > 1", "line 2, column 1: 'imps' is not supported"},
      {"score(NS, x3N, 9) > 0", "line 1, column 1: 'score' is not supported"},
      {"altcount 1 4 3 2 1", "line 1, column 1: 'altcount' is not supported"},
      {"pointcount 4 3 2 1", "line 1, column 1: 'pointcount' is not supported"},
      {"hcp(north) > rnd(10)", "line 1, column 14: 'rnd' is not supported"},
      {"cccc(north) > 1200", "line 1, column 1: 'cccc' is not supported"},
      {"quality(north, spades) > 1", "line 1, column 1: 'quality' is not supported"},
      {"action printes \"x\"", "line 1, column 8: 'printes' is not supported"},
      {"action print(north)", "line 1, column 8: 'print' is not supported"},
      {"action printall, printcompact", "line 1, column 18: 'printcompact' is not supported"},
      {"action frequency (hcp(north), 0, 10, hcp(south), 0, 10)",
       "line 1, column 36: a frequency of two expressions is not supported"},
      {"predeal spades(north) == 1",
       "line 1, column 9: predealing a suit length ('spades(...)') is not supported"},
      {"foo(north) > 1", "line 1, column 1: unknown function 'foo'"},
      {"\n  x > 1", "line 2, column 3: 'x' is not defined"},
      {"a = b\nb = a + 1\na", "line 1, column 1: 'a' is defined in terms of itself"},
      {"a = 1\na = 2\na", "line 2, column 1: 'a' is defined twice"},
      {"hcp = 3", "line 1, column 1: 'hcp' is a word of the language, not a name to define"},
      {"shape(north, 5432)", "line 1, column 14: the shape 5432 does not make 13 cards"},
      {"shape(north, 77xx)", "line 1, column 14: the shape 77xx does not make 13 cards"},
      {"shape(north, 5x)",
       "line 1, column 14: '5x' is no shape: four lengths (0-9 or x), spades first"},
      {"hascard(north, ZZ)",
       "line 1, column 16: expected a card such as TC (the ten of clubs), found 'ZZ'"},
      {"predeal south SAKQ\npredeal north SA", "line 2, column 15: the card SA is predealt twice"},
      {"predeal south SAKQJT98765432, HA",
       "line 1, column 31: more than 13 cards are predealt to one seat"},
      {"predeal south SAX", "line 1, column 15: 'X' is no card in SAX"},
      {"dealer middle",
       "line 1, column 8: expected a seat (north, east, south or west), found 'middle'"},
      {"vulnerable some",
       "line 1, column 12: expected a vulnerability (none, NS, EW or all), found 'some'"},
      {"hcp(north, trumps)",
       "line 1, column 12: expected a suit (spades, hearts, diamonds or clubs), found 'trumps'"},
      {"hcp(north", "line 1, column 10: expected ')', found the end of the script"},
      {"hcp(north) >", "line 1, column 13: expected an expression, found the end of the script"},
      {"1 ? 2 3", "line 1, column 7: expected ':', found '3'"},
      {"generate 0", "line 1, column 10: the number of deals must be 1 or more"},
      {"produce 1234567890123456", "line 1, column 9: the number 1234567890123456 is too large"},
      {"action average \"open", "line 1, column 16: the text in quotes has no closing quote"},
      {"1 /* open", "line 1, column 3: the comment has no closing */"},
      {"hcp(north) > 10 @", "line 1, column 17: unexpected character '@'"},
      {"action shout",
       "line 1, column 8: expected an action (printall, printoneline, printpbn, "
       "average or frequency), found 'shout'"},
  };
  for (const auto& c : cases) {
    ConditionScript script;
    ScriptError error;
    EXPECT_FALSE(ParseConditionScript(c.script, script, error)) << c.script;
    EXPECT_EQ(FormatScriptError(error), c.error) << c.script;
  }
}

// Every shape a hand can have, against the manual's 1NT opener worked out by sorting.
TEST(ConditionLanguage, ShapeListsAddAndTakeAwayInOrder) {
  ShapeSet set;
  for (const char* pattern : {"4333", "4432", "5332"}) {
    ShapePattern p;
    std::string error;
    ASSERT_TRUE(ParseShapePattern(pattern, p, error));
    p.any = true;
    set.Apply(p, true);
  }
  for (const char* pattern : {"5xxx", "x5xx"}) {
    ShapePattern p;
    std::string error;
    ASSERT_TRUE(ParseShapePattern(pattern, p, error));
    set.Apply(p, false);
  }
  int shapes = 0;
  for (int s = 0; s <= 13; ++s) {
    for (int h = 0; s + h <= 13; ++h) {
      for (int d = 0; s + h + d <= 13; ++d) {
        int sorted[4] = {s, h, d, 13 - s - h - d};
        std::sort(sorted, sorted + 4);
        const std::string key = {char('0' + sorted[0]), char('0' + sorted[1]),
                                 char('0' + sorted[2]), char('0' + sorted[3])};
        const bool balanced = key == "3334" || key == "2344" || key == "2335";
        EXPECT_EQ(set.Contains(ShapeSet::Index(s, h, d)), balanced && s < 5 && h < 5)
            << s << h << d;
        ++shapes;
      }
    }
  }
  EXPECT_EQ(shapes, 560);
}

}  // namespace
