#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "ConditionFixture.h"
#include "ConditionSearch.h"
#include "DealFormat.h"

namespace {

DealSeed TestSeed() {
  DealSeed seed;
  std::string error;
  EXPECT_TRUE(ParseDealSeed("000102030405060708090a0b0c0d0e0f", seed, error));
  return seed;
}

struct SearchRun {
  ConditionScript script;
  ConditionProgram program;
  SearchResult result;
};

void Search(const std::string& text, int boards, SearchRun& run, int threads = 0,
            uint64_t max_deals = kDefaultSearchCap) {
  ScriptError error;
  ASSERT_TRUE(ParseConditionScript(text, run.script, error)) << FormatScriptError(error);
  ASSERT_TRUE(run.program.Compile(run.script, error));
  ASSERT_TRUE(StartDealGenerator());
  SearchRequest request;
  request.script = &run.script;
  request.program = &run.program;
  request.seed = TestSeed();
  request.boards = boards;
  request.threads = threads;
  request.max_deals = max_deals;
  run.result = SearchConditionDeals(request);
}

std::string Pbn(const Hands& hands) {
  return FormatDealPbn(DealOfHands(hands.data()));
}

// The documented stream, worked out apart from this code (a Python ChaCha20 and BLAKE2b following
// the man page): sets made from a published seed must stay the same for ever.
TEST(ConditionSearch, TheStreamIsTheDocumentedOne) {
  SearchRun all;
  Search("", static_cast<int>(kSearchChunkDeals) + 1, all, 2);
  ASSERT_EQ(all.result.status, SearchResult::Status::kFound);
  EXPECT_EQ(Pbn(all.result.boards[0]),
            "N:K7654.96.6.K6543 83.AQ83.JT542.A9 QJ.KJ75.AK873.Q2 AT92.T42.Q9.JT87");
  EXPECT_EQ(Pbn(all.result.boards[1]),
            "N:QT8.Q43.82.QT432 J74.K865.K63.J65 9.AJT972.9754.A9 AK6532..AQJT.K87");
  // The first deal of the second chunk.
  EXPECT_EQ(Pbn(all.result.boards.back()),
            "N:97.AT8652.T64.T5 AK8432.3.J7.9876 Q65.J4.K953.AJ43 JT.KQ97.AQ82.KQ2");
  SearchRun predealt;
  Search("predeal south SAK", 1, predealt);
  EXPECT_EQ(Pbn(predealt.result.boards[0]),
            "N:J6543.A86.Q5.K54 2.J52.T7642.A963 AKT9.QT74.K93.Q2 Q87.K93.AJ8.JT87");
}

TEST(ConditionSearch, OneThreadAndManyGiveTheSameBoards) {
  // About one deal in 550: the boards come from more than one chunk.
  const std::string script = "hcp(north) >= 22 && shape(north, any 4333 + any 4432)";
  SearchRun one, three;
  Search(script, 150, one, 1);
  Search(script, 150, three, 3);
  ASSERT_EQ(one.result.status, SearchResult::Status::kFound);
  EXPECT_GT(one.result.examined, kSearchChunkDeals);
  EXPECT_EQ(one.result.boards, three.result.boards);
  EXPECT_EQ(one.result.examined, three.result.examined);
}

struct Lesson {
  const char* name;
  const char* script;
  // Checked on each board from its card numbers alone.
  std::function<bool(const Deal&)> meets;
};

int Points(const Deal& deal, int hand) {
  return HighCardPoints(deal, hand);
}
std::string SortedShape(const Deal& deal, int hand) {
  std::string shape;
  for (int suit = 0; suit < 4; ++suit)
    shape += static_cast<char>('0' + SuitLength(deal, hand, suit));
  std::sort(shape.begin(), shape.end());
  return shape;
}
bool Holds(const Deal& deal, int hand, int card) {
  return std::count(deal.HandCards(hand), deal.HandCards(hand) + kCardsInHand, card) == 1;
}
int SuitPoints(const Deal& deal, int hand, int suit) {
  int points = 0;
  for (int i = 0; i < kCardsInHand; ++i) {
    const int card = deal.HandCards(hand)[i];
    if (SuitIndex(card) == suit && RankIndex(card) < 4) points += 4 - RankIndex(card);
  }
  return points;
}

TEST(ConditionSearch, EveryBoardOfALessonScriptMeetsItsCondition) {
  const Lesson lessons[] = {
      {"1NT",
       "dealer south\n"
       "nt = hcp(south) >= 15 && hcp(south) <= 17\n"
       "     && shape(south, any 4333 + any 4432 + any 5332)\n"
       "condition nt and not (hcp(north) > 9)",
       [](const Deal& d) {
         const std::string shape = SortedShape(d, kSouth);
         return Points(d, kSouth) >= 15 && Points(d, kSouth) <= 17 && Points(d, kNorth) <= 9 &&
                (shape == "3334" || shape == "2344" || shape == "2335");
       }},
      {"weak two",
       "weak = hearts(south) == 6 and hcp(south, hearts) >= 4\n"
       "  and hcp(south) >= 6 and hcp(south) <= 10 and spades(south) < 4\n"
       "weak // the condition, its keyword left out",
       [](const Deal& d) {
         return SuitLength(d, kSouth, kHearts) == 6 && SuitPoints(d, kSouth, kHearts) >= 4 &&
                Points(d, kSouth) >= 6 && Points(d, kSouth) <= 10 &&
                SuitLength(d, kSouth, kSpades) < 4;
       }},
      {"major fit",
       "predeal north SAK32, HQ5\n"
       "fit = spades(north) + spades(south) >= 8 && spades(south) >= 4\n"
       "   || hearts(north) >= 4 && hearts(south) >= 4\n"
       "fit && hcp(north) + hcp(south) >= 25",
       [](const Deal& d) {
         const bool spades = SuitLength(d, kNorth, kSpades) + SuitLength(d, kSouth, kSpades) >= 8 &&
                             SuitLength(d, kSouth, kSpades) >= 4;
         const bool hearts =
             SuitLength(d, kNorth, kHearts) >= 4 && SuitLength(d, kSouth, kHearts) >= 4;
         return (spades || hearts) && Points(d, kNorth) + Points(d, kSouth) >= 25 &&
                Holds(d, kNorth, CardNumber(kSpades, 0)) &&
                Holds(d, kNorth, CardNumber(kSpades, 12)) &&
                Holds(d, kNorth, CardNumber(kHearts, 2)) && HasEveryCardOnce(d);
       }},
      {"pre-empt",
       "shape(west, 7xxx + x7xx - any 5xxx - any 6xxx) && hascard(west, AS) == 0\n"
       "  && controls(west) <= 2 && (hcp(west) % 2 == 1 ? 1 : hcp(west) < 8)",
       [](const Deal& d) {
         const int s = SuitLength(d, kWest, kSpades), h = SuitLength(d, kWest, kHearts);
         const std::string shape = SortedShape(d, kWest);
         int controls = 0;
         for (int i = 0; i < kCardsInHand; ++i) {
           const int rank = RankIndex(d.HandCards(kWest)[i]);
           controls += rank == 0 ? 2 : rank == 1 ? 1 : 0;
         }
         return (s == 7 || h == 7) && shape.find_first_of("56") == std::string::npos &&
                !Holds(d, kWest, CardNumber(kSpades, 0)) && controls <= 2 &&
                (Points(d, kWest) % 2 == 1 || Points(d, kWest) < 8);
       }},
  };
  for (const Lesson& lesson : lessons) {
    SearchRun run;
    Search(lesson.script, 60, run);
    ASSERT_EQ(run.result.status, SearchResult::Status::kFound) << lesson.name;
    ASSERT_EQ(run.result.boards.size(), 60u);
    for (const Hands& hands : run.result.boards) {
      EXPECT_TRUE(lesson.meets(DealOfHands(hands.data()))) << lesson.name << " " << Pbn(hands);
    }
  }
}

TEST(ConditionSearch, ASearchEndsAtItsCapOnAFaultOrWhenCancelled) {
  SearchRun impossible;
  Search("hcp(north) > 37", 1, impossible, 2, 100000);
  EXPECT_EQ(impossible.result.status, SearchResult::Status::kNotFound);
  EXPECT_EQ(impossible.result.examined, 100000u);
  EXPECT_TRUE(impossible.result.boards.empty());

  SearchRun fault;
  Search("hcp(north) > 0 &&\n hcp(north) / (spades(north) - 3) > 1", 100, fault);
  EXPECT_EQ(fault.result.status, SearchResult::Status::kFault);
  EXPECT_EQ(FormatScriptError(fault.result.fault), "line 2, column 13: division by zero");

  ConditionScript script;
  ConditionProgram program;
  ScriptError error;
  ASSERT_TRUE(ParseConditionScript("hcp(north) > 37", script, error));
  ASSERT_TRUE(program.Compile(script, error));
  const std::atomic<bool> cancel{true};
  SearchRequest request;
  request.script = &script;
  request.program = &program;
  request.seed = TestSeed();
  request.cancel = &cancel;
  EXPECT_EQ(SearchConditionDeals(request).status, SearchResult::Status::kCancelled);
}

}  // namespace
