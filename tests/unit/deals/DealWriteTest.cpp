#include <algorithm>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "BriDup.h"
#include "DealFileFixture.h"
#include "DealWrite.h"
#include "FullDisc.h"

namespace {

// Deals as a dealing program leaves them: North, East and South in any order, West ascending.
DealSet ShuffledDeals(int count) {
  std::mt19937 random(7);
  DealSet deals;
  for (int n = 0; n < count; ++n) {
    Deal deal = OrderedDeal();
    std::shuffle(deal.cards, deal.cards + kCardsInDeck, random);
    std::sort(deal.HandCards(kWest), deal.HandCards(kWest) + kCardsInHand);
    deals.push_back(deal);
  }
  return deals;
}

// Every hand in ascending order: what is left of a deal once only the hands count.
DealSet HandsOf(const DealSet& deals) {
  DealSet hands;
  for (Deal deal : deals) {
    for (int hand = kNorth; hand <= kWest; ++hand) {
      std::sort(deal.HandCards(hand), deal.HandCards(hand) + kCardsInHand);
    }
    hands.push_back(deal);
  }
  return hands;
}

std::string Contents(const std::filesystem::path& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

struct Kind {
  DealFileKind kind;
  const char* extension;
};
const Kind kRecordKinds[] = {{DealFileKind::kBri, ".bri"}, {DealFileKind::kDup, ".dup"}};

TEST_F(DealFileTest, RoundTripsThroughPbnGiveBackTheHands) {
  const DealSet original = ShuffledDeals(40);
  for (const Kind& kind : kRecordKinds) {
    SCOPED_TRACE(kind.extension);
    const std::string source = (dir_ / (std::string("source") + kind.extension)).string();
    const std::string pbn = (dir_ / "via.pbn").string();
    const std::string back = (dir_ / (std::string("back") + kind.extension)).string();

    // Hands in any order come back as the same hands.
    DealSet read, via, again;
    ASSERT_TRUE(WriteDealFile(source.c_str(), original, kind.kind));
    ASSERT_TRUE(LoadDealFile(source.c_str(), read));
    EXPECT_EQ(read, original);
    ASSERT_TRUE(WriteDealFile(pbn.c_str(), read, DealFileKind::kPbn));
    ASSERT_TRUE(LoadDealFile(pbn.c_str(), via));
    EXPECT_EQ(HandsOf(via), HandsOf(original));
    ASSERT_TRUE(WriteDealFile(back.c_str(), via, kind.kind));
    ASSERT_TRUE(LoadDealFile(back.c_str(), again));
    EXPECT_EQ(again, via);

    // Hands in suit order, the order a deal tag lists them, come back byte for byte.
    ASSERT_TRUE(WriteDealFile(source.c_str(), HandsOf(original), kind.kind));
    ASSERT_TRUE(LoadDealFile(source.c_str(), read));
    ASSERT_TRUE(WriteDealFile(pbn.c_str(), read, DealFileKind::kPbn));
    ASSERT_TRUE(LoadDealFile(pbn.c_str(), via));
    ASSERT_TRUE(WriteDealFile(back.c_str(), via, kind.kind));
    EXPECT_EQ(Contents(back), Contents(source));
  }
}

TEST_F(DealFileTest, WrittenRecordsFillTheUnreadBytesAsOtherDealProgramsDo) {
  DealSet deals;
  deals.push_back(OrderedDeal());
  deals.push_back(DealtRoundDeal());

  const std::string bri = FormatDealFile(deals, DealFileKind::kBri);
  ASSERT_EQ(bri.size(), 2u * kBriRecordSize);
  EXPECT_EQ(bri.substr(0, kBriRecordSize),
            Record(OrderedDeal(), 78) + std::string(32, ' ') + std::string(18, '\0'));
  EXPECT_EQ(bri.substr(kBriRecordSize, 78), Record(DealtRoundDeal(), 78));

  const std::string dup = FormatDealFile(deals, DealFileKind::kDup);
  ASSERT_EQ(dup.size(), 2u * kDupRecordSize);
  EXPECT_EQ(dup.substr(kDupRecordSize, 78), Record(DealtRoundDeal(), 78));
  // The four hands, each suit as its symbol byte and its ranks, then the set's description:
  // random hands, counted forwards, boards 1 to 2, one copy each.
  EXPECT_EQ(dup.substr(kDupRecordSize + 78),
            "\x06"
            "AT62\x03J73\x04Q84\x05K95"
            "\x06K95\x03"
            "AT62\x04J73\x05Q84"
            "\x06Q84\x03K95\x04"
            "AT62\x05J73"
            "\x06J73\x03Q84\x04K95\x05"
            "AT62"
            "YN1  1 2  ");
}

TEST_F(DealFileTest, PbnBoardsFollowTheStandardDealerAndVulnerabilityCycle) {
  DealSet deals;
  for (int i = 0; i < 17; ++i) deals.push_back(OrderedDeal());
  const std::string pbn = FormatDealFile(deals, DealFileKind::kPbn);
  const std::string deal_tag =
      "[Deal \"N:AKQJT98765432... .AKQJT98765432.. ..AKQJT98765432. ...AKQJT98765432\"]\r\n";
  const std::string start =
      "% PBN 2.1\r\n% EXPORT\r\n[Event \"\"]\r\n[Board \"1\"]\r\n[Dealer \"N\"]\r\n"
      "[Vulnerable \"None\"]\r\n" +
      deal_tag + "\r\n[Event \"\"]\r\n[Board \"2\"]\r\n";
  EXPECT_EQ(pbn.substr(0, start.size()), start);
  const char* kCycle[17][2] = {
      {"N", "None"}, {"E", "NS"},   {"S", "EW"}, {"W", "All"}, {"N", "NS"},   {"E", "EW"},
      {"S", "All"},  {"W", "None"}, {"N", "EW"}, {"E", "All"}, {"S", "None"}, {"W", "NS"},
      {"N", "All"},  {"E", "None"}, {"S", "NS"}, {"W", "EW"},  {"N", "None"},
  };
  for (int board = 1; board <= 17; ++board) {
    const std::string block = "[Board \"" + std::to_string(board) + "\"]\r\n[Dealer \"" +
                              kCycle[board - 1][0] + "\"]\r\n[Vulnerable \"" +
                              kCycle[board - 1][1] + "\"]\r\n" + deal_tag;
    EXPECT_NE(pbn.find(block), std::string::npos) << block;
  }
}

// A set that starts at board B: the cycle follows the board numbers, and DUP names the boards.
TEST_F(DealFileTest, SetsStartingAtALaterBoardCarryItsNumbers) {
  DealSet deals;
  for (int i = 0; i < 3; ++i) deals.push_back(OrderedDeal());
  const std::string pbn = FormatDealFile(deals, DealFileKind::kPbn, 14);
  const char* kBoards[3][3] = {{"14", "E", "None"}, {"15", "S", "NS"}, {"16", "W", "EW"}};
  for (const auto& b : kBoards) {
    const std::string block = std::string("[Board \"") + b[0] + "\"]\r\n[Dealer \"" + b[1] +
                              "\"]\r\n[Vulnerable \"" + b[2] + "\"]\r\n";
    EXPECT_NE(pbn.find(block), std::string::npos) << block;
  }
  EXPECT_EQ(pbn.find("[Board \"1\"]"), std::string::npos);
  const struct {
    int first;
    const char* trailer;
  } dups[] = {{14, "YN14 1 16 "}, {998, "YN9981 999"}, {1200, "YN9991 999"}};
  for (const auto& d : dups) {
    const std::string dup = FormatDealFile(deals, DealFileKind::kDup, d.first);
    EXPECT_EQ(dup.substr(kDupRecordSize - 10, 10), d.trailer) << d.first;
  }
}

TEST_F(DealFileTest, WriteFailuresAreReportedAndLeaveNoPartOfTheFile) {
  QUADRELLE_SKIP_WITHOUT_FULL_DISC();
  const DealSet deals = ShuffledDeals(100);  // 12,800 bytes as BRI
  const std::filesystem::path cut = dir_ / "cut.bri";
  TraceCapture capture;
  EXPECT_FALSE(
      WriteDealFile((dir_ / "none" / "a.pbn").string().c_str(), deals, DealFileKind::kPbn));
  EXPECT_FALSE(WriteDealFile(dir_.string().c_str(), deals, DealFileKind::kPbn));

  // A file size limit stops the write part way, as a full disc does.
  bool written;
  {
    FullDisc full(4096);
    ASSERT_TRUE(full.ok());
    written = WriteDealFile(cut.string().c_str(), deals, DealFileKind::kBri);
  }
  EXPECT_FALSE(written);
  EXPECT_FALSE(std::filesystem::exists(cut));

  // A deal that lost a card is not written at all.
  DealSet broken = deals;
  broken[1].cards[5] = broken[1].cards[6];
  EXPECT_FALSE(WriteDealFile(cut.string().c_str(), broken, DealFileKind::kDup));
  EXPECT_FALSE(std::filesystem::exists(cut));

  EXPECT_EQ(capture.Texts('W'),
            (std::vector<std::string>{"Error creating file\n", "Error creating file\n",
                                      "Error writing file\n", "BUG in deal 2\n"}));
}

}  // namespace
