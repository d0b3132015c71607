#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "DealFormat.h"
#include "DealGenerator.h"
#include "DealWrite.h"

namespace {

DealSeed Seed(const std::string& hex) {
  DealSeed seed;
  std::string error;
  EXPECT_TRUE(ParseDealSeed(hex, seed, error)) << error;
  return seed;
}

TEST(DealGenerator, SeedsAreWholeBytesOfHexFrom128To512Bits) {
  const std::string k32(32, 'a');
  const struct {
    std::string hex;
    const char* error;  // nullptr: taken
  } cases[] = {
      {"000102030405060708090a0B0c0D0e0F", nullptr},
      {std::string(128, 'F'), nullptr},
      {std::string(30, '0'), "the seed must have at least 32 hex digits (128 bits)"},
      {"", "the seed must have at least 32 hex digits (128 bits)"},
      {std::string(130, '1'), "the seed must have at most 128 hex digits"},
      {k32 + "b", "the seed must have an even number of hex digits (whole bytes)"},
      {"0x" + k32, "the seed must be hex digits (0-9, a-f) only"},
      {k32 + " ", "the seed must be hex digits (0-9, a-f) only"},
      {k32.substr(1) + "g", "the seed must be hex digits (0-9, a-f) only"},
  };
  for (const auto& c : cases) {
    DealSeed seed;
    std::string error;
    EXPECT_EQ(ParseDealSeed(c.hex, seed, error), c.error == nullptr) << c.hex;
    EXPECT_EQ(error, c.error == nullptr ? "" : c.error) << c.hex;
  }
  EXPECT_EQ(Seed("000102030405060708090a0B0c0D0e0F"),
            (DealSeed{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
}

// The boards a published seed stands for. Worked out apart from this code, from the derivation
// as the man page gives it (BLAKE2b-256 of seed and board number, the ChaCha20 keystream with
// the nonce "LibsodiumDRG", Fisher-Yates from the top with rejected words): any change to how
// sets are made breaks every set a tournament has published, so it must show here.
TEST(DealGenerator, PublishedSeedsGiveTheSameBoardsForEver) {
  const DealSeed seed = Seed("000102030405060708090a0b0c0d0e0f");
  const struct {
    uint32_t board;
    const char* deal;
  } pinned[] = {
      {1, "N:Q32.6.K984.K8632 A9.KQJ54.AQ2.QJ7 J654.T82.7653.T5 KT87.A973.JT.A94"},
      {2, "N:AJT83.KT7.K3.Q52 4.Q8542.942.AT97 52.AJ963.T65.KJ6 KQ976..AQJ87.843"},
      {3, "N:JT5.KJ86.Q6.T742 K.QT7.A984.AKQJ5 AQ72.A9543.JT75. 98643.2.K32.9863"},
      {17, "N:QJ9.T86.JT76.T54 3.AK542.KQ32.K83 A854.3.95.AJ9762 KT762.QJ97.A84.Q"},
  };
  ASSERT_TRUE(StartDealGenerator());
  for (const auto& p : pinned) {
    EXPECT_EQ(FormatDealPbn(SeededDeal(seed, p.board)), p.deal) << "board " << p.board;
  }
  // A board is the same whichever board the set starts at.
  DealSet set;
  ASSERT_TRUE(GenerateDeals(3, 15, &seed, set));
  ASSERT_EQ(set.size(), 3u);
  EXPECT_EQ(FormatDealPbn(set[2]), pinned[3].deal);
  // One more digit is another seed.
  EXPECT_NE(SeededDeal(Seed("000102030405060708090a0b0c0d0e0f00"), 1), SeededDeal(seed, 1));
}

// Exact chances of a hand's high-card points: hands with k of the 16 honours worth h points,
// times the ways to fill the hand with the 36 other cards, over all 13-card hands.
std::vector<double> HighCardPointChances() {
  // ways[k][h]: choices of k honours worth h points.
  std::vector<std::vector<double>> ways(14, std::vector<double>(41, 0.0));
  ways[0][0] = 1;
  for (int honour = 0; honour < 16; ++honour) {
    const int points = 4 - honour / 4;
    for (int k = 13; k >= 1; --k) {
      for (int h = 40; h >= points; --h) ways[k][h] += ways[k - 1][h - points];
    }
  }
  auto choose = [](int n, int k) {
    double c = 1;
    for (int i = 1; i <= k; ++i) c = c * (n - k + i) / i;
    return c;
  };
  std::vector<double> chance(38, 0.0);
  for (int k = 0; k <= 13; ++k) {
    for (int h = 0; h <= 37; ++h) chance[h] += ways[k][h] * choose(36, 13 - k);
  }
  for (double& c : chance) c /= choose(52, 13);
  return chance;
}

// How far a count of n independent trials of chance p may stray: Bernstein's inequality gives
// P(|X - np| >= t) <= 2 exp(-t^2 / (2 np(1-p) + 2t/3)); t is where that is 1e-9. The test
// compares 360 counts, so for a seed picked at random it would fail by chance less than once in
// 2.7 million; the seed is fixed, so its outcome never changes. Faults in the shuffle move counts
// much further: drawing j below i instead of up to i (every card must move) takes some 1,470
// deals from each card's first hand, where t is about 900.
double Bound(double n, double p) {
  const double l = std::log(2 / 1e-9);
  return l / 3 + std::sqrt(l * l / 9 + 2 * l * n * p * (1 - p));
}

TEST(DealGenerator, HundredThousandSeededDealsMatchTheExactChances) {
  constexpr int kDeals = 100000;
  const DealSeed seed = Seed("5175616472656c6c6520636f756e7473");
  DealSet deals;
  ASSERT_TRUE(GenerateDeals(kDeals, 1, &seed, deals));
  ASSERT_EQ(deals.size(), size_t{kDeals});

  std::vector<int> in_hand(kCardsInDeck * 4, 0);  // [card - 1][hand]
  std::vector<int> points(4 * 38, 0);             // [hand][points]
  for (const Deal& deal : deals) {
    uint64_t seen = 0;
    for (int hand = kNorth; hand <= kWest; ++hand) {
      for (int i = 0; i < kCardsInHand; ++i) {
        const int card = deal.HandCards(hand)[i];
        ASSERT_TRUE(card >= 1 && card <= kCardsInDeck);
        seen |= uint64_t{1} << card;
        ++in_hand[(card - 1) * 4 + hand];
        // Each hand sorted, as the deal files show it.
        if (i > 0) {
          ASSERT_LT(deal.HandCards(hand)[i - 1], card);
        }
      }
      ++points[hand * 38 + HighCardPoints(deal, hand)];
    }
    ASSERT_EQ(seen, ((uint64_t{1} << kCardsInDeck) - 1) << 1) << "a card lost or doubled";
  }
  const double card_bound = Bound(kDeals, 0.25);
  for (int card = 1; card <= kCardsInDeck; ++card) {
    for (int hand = kNorth; hand <= kWest; ++hand) {
      EXPECT_LE(std::fabs(in_hand[(card - 1) * 4 + hand] - kDeals * 0.25), card_bound)
          << "card " << card << " in hand " << hand;
    }
  }
  const std::vector<double> chance = HighCardPointChances();
  double total = 0;
  for (double c : chance) total += c;
  ASSERT_NEAR(total, 1.0, 1e-12);
  ASSERT_NEAR(chance[10], 0.0940511, 1e-6);  // the most common count, as the tables give it
  for (int hand = kNorth; hand <= kWest; ++hand) {
    for (int h = 0; h <= 37; ++h) {
      EXPECT_LE(std::fabs(points[hand * 38 + h] - kDeals * chance[h]), Bound(kDeals, chance[h]))
          << h << " points in hand " << hand;
    }
  }
}

// The sample session in the repository is what the documented seed makes: the README and the man
// page tell users they can make it again.
TEST(DealGenerator, SampleSessionIsTheDocumentedSeedsSet) {
  std::ifstream file(QUADRELLE_EXAMPLES_DIR "/sample-session.pbn", std::ios::binary);
  ASSERT_TRUE(file.good());
  std::ostringstream kept;
  kept << file.rdbuf();
  const DealSeed seed = Seed("5175616472656c6c652073616d706c65");  // "Quadrelle sample"
  DealSet deals;
  ASSERT_TRUE(GenerateDeals(32, 1, &seed, deals));
  EXPECT_EQ(kept.str(), FormatDealFile(deals, DealFileKind::kPbn));
}

}  // namespace
