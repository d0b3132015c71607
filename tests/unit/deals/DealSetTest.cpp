#include "DealFileFixture.h"
#include "DealFormat.h"
#include "DealSet.h"
#include "TestSystem.h"

namespace {

TEST(CardTest, NumbersRunBySuitFromTheAceDown) {
  const struct {
    int card, suit, rank;
    char character;
  } kCases[] = {{1, kSpades, 0, 'A'},     {10, kSpades, 9, '5'}, {13, kSpades, 12, '2'},
                {14, kHearts, 0, 'A'},    {18, kHearts, 4, 'T'}, {27, kDiamonds, 0, 'A'},
                {39, kDiamonds, 12, '2'}, {40, kClubs, 0, 'A'},  {52, kClubs, 12, '2'}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.card);
    EXPECT_EQ(SuitIndex(c.card), c.suit);
    EXPECT_EQ(RankIndex(c.card), c.rank);
    EXPECT_EQ(RankCharacter(RankIndex(c.card)), c.character);
    EXPECT_EQ(CardNumber(c.suit, c.rank), c.card);
  }
  EXPECT_EQ(RankCharacter(13), '?');
  EXPECT_EQ(RankCharacter(-1), '?');
}

TEST(DealSetTest, HoldsCopiesOfItsDeals) {
  Deal deal = OrderedDeal();
  DealSet set;
  set.push_back(deal);
  deal.cards[0] = 2;
  set.push_back(deal);
  DealSet copy;
  copy = set;
  copy[0].cards[1] = 1;
  EXPECT_EQ(set[0], OrderedDeal());
  EXPECT_EQ(set[1].cards[0], 2);
  EXPECT_EQ(copy[0].cards[1], 1);
  EXPECT_EQ(copy[1], set[1]);
  set.clear();
  EXPECT_TRUE(set.empty());
  EXPECT_EQ(copy.size(), 2u);
}

void PrintCriticalMessage(const char* message) {
  std::fprintf(stderr, "critical: %s", message);
}

// Reads deal `index` of a one-deal set with the log ready to report a critical line.
void ReadOutside(size_t index) {
  TraceCapture capture;  // makes the log record statements although it was never started
  TraceSetCriticalHandler(PrintCriticalMessage);
  TraceSetFileName(kNullDevice);  // where the critical line dumps the history
  DealSet set;
  set.push_back(OrderedDeal());
  const DealSet& view = set;
  (void)view[index];
}

TEST(DealSetDeathTest, IndexOutsideTheSetEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // Written for both regular-expression dialects GoogleTest uses (POSIX and its own).
  EXPECT_DEATH(ReadOutside(1),
               "critical: File :DealSet\\.cpp\\s+Line :.+\\s+Deal index 1 outside deal set of 1");
  EXPECT_DEATH(ReadOutside(static_cast<size_t>(-1)), "outside deal set of 1 deals");
  DealSet set;
  EXPECT_DEATH(set[0].cards[0] = 1, "");
}

TEST(DealFormatTest, HandsBySuitFromTheAceDownWhateverTheirOrder) {
  EXPECT_EQ(FormatDealPbn(OrderedDeal()),
            "N:AKQJT98765432... .AKQJT98765432.. ..AKQJT98765432. ...AKQJT98765432");
  EXPECT_EQ(FormatDealPbn(DealtRoundDeal()),
            "N:AT62.J73.Q84.K95 K95.AT62.J73.Q84 Q84.K95.AT62.J73 J73.Q84.K95.AT62");
}

}  // namespace
