#include <filesystem>
#include <string>
#include <vector>

#include "BriDup.h"
#include "DealFileFixture.h"
#include "Pbn.h"
#include "TraceGuard.h"

namespace {

// Every hand holds one suit, so every hand has three voids, at the front, middle and back.
constexpr const char* kOneSuitEach =
    "AKQJT98765432... .AKQJT98765432.. ..AKQJT98765432. ...AKQJT98765432";

DealSet NonEmptySet() {
  DealSet set;
  set.push_back(DealtRoundDeal());
  return set;
}

TEST_F(DealFileTest, PbnDealTagMayStartWithAnySeatAndKeepsTheListedOrder) {
  // The same deal from each seat: the hands run clockwise from the seat named.
  const char* kFromEachSeat[] = {
      "N:AKQJT98765432... .AKQJT98765432.. ..AKQJT98765432. ...AKQJT98765432",
      "E:.AKQJT98765432.. ..AKQJT98765432. ...AKQJT98765432 AKQJT98765432...",
      "S:..AKQJT98765432. ...AKQJT98765432 AKQJT98765432... .AKQJT98765432..",
      "W:...AKQJT98765432 AKQJT98765432... .AKQJT98765432.. ..AKQJT98765432.",
  };
  for (const char* tag : kFromEachSeat) {
    SCOPED_TRACE(tag);
    DealSet deals = NonEmptySet();
    ASSERT_TRUE(
        LoadDealFile(Write("seat.pbn", std::string("[Deal \"") + tag + "\"]\n").c_str(), deals));
    ASSERT_EQ(deals.size(), 1u);
    EXPECT_EQ(deals[0], OrderedDeal());
  }

  // North's ranks written upwards, West's in no order and extra blanks between the hands: North
  // keeps the listed order, West is still ascending.
  DealSet deals;
  ASSERT_TRUE(LoadDealFile(
      Write("order.pbn",
            "[Deal \"N:23456789TJQKA...  .AKQJT98765432..\t..AKQJT98765432. ...2345AKQJT9876\"]")
          .c_str(),
      deals));
  Deal expected = OrderedDeal();
  for (int i = 0; i < kCardsInHand; ++i) expected.cards[i] = static_cast<uint8_t>(13 - i);
  ASSERT_EQ(deals.size(), 1u);
  EXPECT_EQ(deals[0], expected);
}

// Everything a real file carries around its deal tags, with either line end.
TEST_F(DealFileTest, PbnBoardsInFileOrderAmongCommentsOtherTagsAndPlayData) {
  const std::string kLines[] = {
      "\xEF\xBB\xBF% PBN 2.1",
      "% EXPORT",
      "; written by hand",
      "[Event \"Club \\\"Pairs\\\" night\"]",
      "[Board \"1\"]",
      "{ a comment over",
      "",
      "  three lines }",
      "[Deal \"N:AT62.J73.Q84.K95 K95.AT62.J73.Q84 Q84.K95.AT62.J73 J73.Q84.K95.AT62\"]",
      "[Auction \"N\"]",
      "1S Pass 2S { raise } Pass ; never mind",
      "Pass Pass",
      "",
      "",
      "[Board \"2\"]",
      std::string("[Deal \"N:") + kOneSuitEach + "\"]",
      // No blank line: the next board tag starts the next board.
      "[Board \"3\"]",
      "  ;  indented comment",
      "[ Deal \"W:AT62.J73.Q84.K95 K95.AT62.J73.Q84 Q84.K95.AT62.J73 J73.Q84.K95.AT62\" ]",
  };
  // The deal of board 3 is board 1's turned by one seat.
  Deal third;
  const Deal first = [] {
    Deal deal = DealtRoundDeal();
    std::sort(deal.HandCards(kNorth), deal.HandCards(kNorth) + kCardsInHand);
    return deal;
  }();
  for (int hand = kNorth; hand <= kWest; ++hand) {
    std::copy_n(first.HandCards((hand + 1) % 4), kCardsInHand, third.HandCards(hand));
  }
  for (const char* line_end : {"\n", "\r\n"}) {
    SCOPED_TRACE(line_end[0] == '\r' ? "CR LF" : "LF");
    std::string text;
    for (const std::string& line : kLines) text += line + line_end;
    DealSet deals = NonEmptySet();
    TraceCapture capture;
    ASSERT_TRUE(LoadDealFile(Write("club.Pbn", text).c_str(), deals));
    ASSERT_EQ(deals.size(), 3u);
    EXPECT_EQ(deals[0], first);
    EXPECT_EQ(deals[1], OrderedDeal());
    EXPECT_EQ(deals[2], third);
    ASSERT_EQ(capture.lines.size(), 2u);
    EXPECT_EQ(capture.lines[0].text, "This matches a pbn file name\n");
    EXPECT_EQ(capture.lines[1].level, 'D');
    EXPECT_EQ(capture.lines[1].text, "Pbn File contains 3 deals OK\n");
    EXPECT_EQ(capture.lines[1].file, "Pbn.cpp");
  }
}

// Boards keep the numbers their tags give; a board without one counts as its place in the file,
// and record files number their deals in order.
TEST_F(DealFileTest, BoardNumbersComeFromTheBoardTags) {
  const std::string deal = std::string("[Deal \"N:") + kOneSuitEach + "\"]\n";
  const std::string pbn = Write("numbered.pbn", "[Board \"17\"]\n" + deal + "\n" + deal +
                                                    "[Board \" 21 \"]\n\n[Board \"7b\"]\n" + deal +
                                                    "\n" + deal + "[Board \"5\"]\n");
  DealSet deals;
  std::vector<int> numbers;
  ASSERT_TRUE(LoadNumberedDealFile(pbn.c_str(), deals, &numbers));
  EXPECT_EQ(numbers, (std::vector<int>{17, 21, 3, 5}));
  EXPECT_EQ(deals.size(), 4u);
  const std::string bri = Write("two.bri", Record(OrderedDeal(), 128) + Record(OrderedDeal(), 128));
  ASSERT_TRUE(LoadNumberedDealFile(bri.c_str(), deals, &numbers));
  EXPECT_EQ(numbers, (std::vector<int>{1, 2}));
  // A failed read leaves the numbers alone.
  ASSERT_FALSE(ReadPbnText("[Board \"1\"]\n", 12, deals, &numbers));
  ExpectTraceLine('W', "No deal tag in deal 1");
  EXPECT_EQ(numbers, (std::vector<int>{1, 2}));
}

TEST_F(DealFileTest, PbnNameIsTestedAfterBriAndDup) {
  const std::string board = std::string("[Deal \"N:") + kOneSuitEach + "\"]\n";
  const struct {
    const char* name;
    const char* matched;
  } kNames[] = {
      {"DEALS.PBN", "This matches a pbn file name\n"},
      {"deals.pbn.bri", "This matches a bri file name\n"},
      {"deals.pbn.dup", "This matches a dup file name\n"},
  };
  for (const auto& entry : kNames) {
    SCOPED_TRACE(entry.name);
    DealSet deals;
    TraceCapture capture;
    LoadDealFile(Write(entry.name, board).c_str(), deals);
    ASSERT_FALSE(capture.lines.empty());
    EXPECT_EQ(capture.lines[0].text, entry.matched);
  }
}

TEST_F(DealFileTest, BadPbnFailsWithTheDealAndTheFaultAndAnEmptySet) {
  const std::string good = std::string("[Board \"1\"]\n[Deal \"N:") + kOneSuitEach + "\"]\n\n";
  const struct {
    const char* text;  // after one good board
    const char* warning;
  } kBad[] = {
      {"[Deal \"N:- .AKQJT98765432.. ..AKQJT98765432. ...AKQJT98765432\"]",
       "Unknown hand in deal 2\n"},
      {"[Deal \"N:AKQJT98765432... .AKQJT98765432.. ..AKQJT98765432. -\"]",
       "Unknown hand in deal 2\n"},
      {"[Deal \"N:AKQJT9876543... .AKQJT98765432.. ..AKQJT98765432. ...AKQJT98765432\"]",
       "Hand without 13 cards in deal 2\n"},
      {"[Deal \"N:AKQJT98765432..2. .AKQJT98765432.. ..AKQJT9876543. ...AKQJT98765432\"]",
       "Hand without 13 cards in deal 2\n"},
      {"[Deal \"N:AKQJT98765432... .AKQJT98765432.. ..AKQJT9876543A. ...AKQJT98765432\"]",
       "Duplcate card in deal 2\n"},
      {"[Deal \"N:AKQJT9876543A... .AKQJT98765432.. ..AKQJT98765432. ...AKQJT98765432\"]",
       "Duplcate card in deal 2\n"},
      {"[Deal \"N:AKQJ1098765432... .AKQJT98765432.. ..AKQJT98765432. ...AKQJT98765432\"]",
       "Unknown rank in deal 2\n"},
      {"[Deal \"N:AKQJT98765432.... .AKQJT98765432.. ..AKQJT98765432. ...AKQJT98765432\"]",
       "Wrong number of suits in deal 2\n"},
      {"[Deal \"N:AKQJT98765432.. .AKQJT98765432.. ..AKQJT98765432. ...AKQJT98765432\"]",
       "Wrong number of suits in deal 2\n"},
      {"[Deal \"X:AKQJT98765432... .AKQJT98765432.. ..AKQJT98765432. ...AKQJT98765432\"]",
       "Unknown seat in deal 2\n"},
      {"[Deal \"N AKQJT98765432... .AKQJT98765432.. ..AKQJT98765432. ...AKQJT98765432\"]",
       "Bad deal tag in deal 2\n"},
      {"[Deal \"N:AKQJT98765432... .AKQJT98765432.. ..AKQJT98765432.\"]",
       "Bad deal tag in deal 2\n"},
      {"[Board \"2\"]\n[Dealer \"E\"]\n\n[Board \"3\"]", "No deal tag in deal 2\n"},
      {"[Board \"2\"]\n[Board \"3\"]", "No deal tag in deal 2\n"},
      {"[Board \"2\"", "Bad tag in deal 2\n"},
      {"[Board \"2]\n[Deal \"N:\"]", "Bad tag in deal 2\n"},
      {"{ never closed\n[Board \"2\"]", "Comment not closed in deal 2\n"},
      {"AKQJT98765432... .AKQJT98765432..", "Text outside a tag in deal 2\n"},
  };
  for (const auto& bad : kBad) {
    SCOPED_TRACE(bad.text);
    DealSet deals = NonEmptySet();
    TraceCapture capture;
    EXPECT_FALSE(LoadDealFile(Write("bad.pbn", good + bad.text + "\n").c_str(), deals));
    EXPECT_TRUE(deals.empty());
    EXPECT_EQ(capture.Texts('W'), std::vector<std::string>{bad.warning});
    ASSERT_FALSE(capture.lines.empty());
    EXPECT_EQ(capture.lines.back().file, "Pbn.cpp");
  }
}

TEST_F(DealFileTest, PbnTextLargerThanAnyDealFileIsRefusedUnread) {
  // Sparse files: only the size matters until the text is read.
  const std::string at_limit = Write("limit.pbn", "");
  std::filesystem::resize_file(at_limit, kPbnMaxFileSize);
  const std::string over = Write("over.pbn", "");
  std::filesystem::resize_file(over, kPbnMaxFileSize + 1);

  DealSet deals = NonEmptySet();
  TraceCapture capture;
  EXPECT_FALSE(LoadDealFile(over.c_str(), deals));
  EXPECT_TRUE(deals.empty());
  EXPECT_EQ(capture.Texts('W'), std::vector<std::string>{"File too large 33554433\n"});

  // At the limit the text is read: its NUL bytes are no deal file either, but for that reason.
  deals = NonEmptySet();
  EXPECT_FALSE(LoadDealFile(at_limit.c_str(), deals));
  EXPECT_TRUE(deals.empty());
  EXPECT_EQ(capture.Texts('W').back(), "Text outside a tag in deal 1\n");
}

TEST_F(DealFileTest, PbnWithoutBoardsIsAnEmptySet) {
  DealSet deals = NonEmptySet();
  EXPECT_TRUE(
      LoadDealFile(Write("empty.pbn", "% PBN 2.1\r\n\r\n; nothing yet\r\n").c_str(), deals));
  EXPECT_TRUE(deals.empty());
}

}  // namespace
