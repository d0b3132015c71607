#include <algorithm>
#include <string>
#include <vector>

#include "BriDup.h"
#include "DealFileFixture.h"
#include "DealGenerator.h"
#include "DealWrite.h"
#include "Fingerprint.h"
#include "SeedCommitment.h"

namespace {

DealSet SetOf(std::initializer_list<Deal> deals) {
  DealSet set;
  for (const Deal& deal : deals) set.push_back(deal);
  return set;
}

// The same hands listed in another order within each hand.
Deal Reordered(Deal deal) {
  for (int hand = kNorth; hand <= kWest; ++hand) {
    std::reverse(deal.HandCards(hand), deal.HandCards(hand) + kCardsInHand);
  }
  return deal;
}

// The spade ace (North's) and the heart ace (East's) change hands.
Deal AcesSwapped(Deal deal) {
  std::replace(deal.HandCards(kNorth), deal.HandCards(kNorth) + kCardsInHand, 1, 100);
  std::replace(deal.cards, deal.cards + kCardsInDeck, 14, 1);
  std::replace(deal.cards, deal.cards + kCardsInDeck, 100, 14);
  return deal;
}

// Known answers from another BLAKE2b (Python's hashlib.blake2b, digest_size=32) over the
// documented list, so the definition the man page gives is what the code computes.
TEST(Fingerprint, IsTheDocumentedHashOfTheCardHandsInSetOrder) {
  const struct {
    DealSet deals;
    const char* fingerprint;
  } cases[] = {
      {SetOf({}), "0e57-51c0"},
      {SetOf({OrderedDeal()}), "5f16-7e98"},
      {SetOf({OrderedDeal(), DealtRoundDeal()}), "5313-7c7a"},
      {SetOf({DealtRoundDeal(), OrderedDeal()}), "7099-87d9"},
      // The order of the cards within a hand plays no part.
      {SetOf({Reordered(DealtRoundDeal()), Reordered(OrderedDeal())}), "7099-87d9"},
  };
  for (const auto& c : cases) EXPECT_EQ(DealSetFingerprint(c.deals), c.fingerprint);
  // One card in another hand, one deal more or less: another fingerprint.
  const std::string two = DealSetFingerprint(SetOf({OrderedDeal(), DealtRoundDeal()}));
  EXPECT_NE(DealSetFingerprint(SetOf({OrderedDeal(), AcesSwapped(DealtRoundDeal())})), two);
  EXPECT_NE(DealSetFingerprint(SetOf({OrderedDeal(), DealtRoundDeal(), OrderedDeal()})), two);
}

class FingerprintFileTest : public DealFileTest {};

// The director compares the fingerprint of the file the machine deals with the one on the hand
// record, which may have been made from the same set in another format.
TEST_F(FingerprintFileTest, OneSetHasOneFingerprintInEveryFormat) {
  const DealSeed seed(16, 7);
  DealSet deals;
  ASSERT_TRUE(GenerateDeals(20, 1, &seed, deals));
  deals[3] = Reordered(deals[3]);
  const std::string expected = DealSetFingerprint(deals);
  const struct {
    DealFileKind kind;
    const char* name;
  } kinds[] = {{DealFileKind::kBri, "set.bri"},
               {DealFileKind::kDup, "set.dup"},
               {DealFileKind::kPbn, "set.pbn"}};
  for (const auto& k : kinds) {
    const std::string path = (dir_ / k.name).string();
    ASSERT_TRUE(WriteDealFile(path.c_str(), deals, k.kind, 9)) << k.name;
    DealSet read;
    ASSERT_TRUE(LoadDealFile(path.c_str(), read)) << k.name;
    EXPECT_EQ(DealSetFingerprint(read), expected) << k.name;
  }
}

TEST(Fingerprint, DuplicatesPairEachRepeatWithItsFirstDeal) {
  const Deal a = OrderedDeal();
  const Deal b = DealtRoundDeal();
  const Deal c = AcesSwapped(a);
  const struct {
    DealSet deals;
    std::vector<DuplicateDeals> duplicates;
  } cases[] = {
      {SetOf({}), {}},
      {SetOf({a, b, c}), {}},
      {SetOf({a, b, Reordered(a)}), {{1, 3}}},
      {SetOf({a, a, a}), {{1, 2}, {1, 3}}},
      {SetOf({b, a, a, b, c}), {{2, 3}, {1, 4}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindDuplicateDeals(c.deals), c.duplicates) << DealSetFingerprint(c.deals);
  }
  EXPECT_EQ(DuplicateDealsText({9, 10}), "Deals 9 and 10 are the same");
}

TEST(SeedCommitment, IsTheDocumentedHashOfTheSeedBytes) {
  const struct {
    const char* seed;
    const char* commitment;
  } cases[] = {
      {"000102030405060708090a0b0c0d0e0f",
       "c7cb5d1a1a214f1d833a21fe6c7b2420e417c2f220784cbe90072975131bc367"},
      // "Quadrelle sample", the seed of the sample session, in either case of hex digits.
      {"5175616472656C6C652073616D706C65",
       "673b32717e0a8f46708b4bf44f9211d56e166c8b035de8fd3bfd33a7037df9a0"},
  };
  for (const auto& c : cases) {
    DealSeed seed;
    std::string error;
    ASSERT_TRUE(ParseDealSeed(c.seed, seed, error)) << error;
    EXPECT_EQ(SeedCommitment(seed), c.commitment);
  }
}

TEST(SeedCommitment, FindsTheFirstDealTheSeedDidNotMake) {
  ASSERT_TRUE(StartDealGenerator());
  const DealSeed seed(16, 3);
  DealSet made;
  ASSERT_TRUE(GenerateDeals(4, 5, &seed, made));
  DealSet changed = made;
  changed[2] = AcesSwapped(changed[2]);
  DealSet reordered = made;
  reordered[1] = Reordered(reordered[1]);
  const std::vector<int> numbers = {5, 6, 7, 8};
  const struct {
    const DealSet& deals;
    std::vector<int> numbers;
    size_t place;
  } cases[] = {
      {made, numbers, 4},      {reordered, numbers, 4}, {changed, numbers, 2},
      {made, {5, 6, 8, 7}, 2}, {made, {0, 6, 7, 8}, 0}, {made, {5, 6, 7}, 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FirstDealNotFromSeed(c.deals, c.numbers, seed), c.place);
  }
}

}  // namespace
