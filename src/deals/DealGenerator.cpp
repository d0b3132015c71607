#include "DealGenerator.h"

#include <sodium.h>

#include <algorithm>
#include <bit>
#include <utility>

namespace {

// A draw below 2^32 mod n would make the values under it one chance more likely; such words are
// passed over. (2^32 - n) mod n is 2^32 mod n in 32-bit arithmetic.
uint32_t RejectionLimit(uint32_t n) {
  return (0u - n) % n;
}

// Board b's ChaCha20 stream as 32-bit words. The stream is made 256 bytes at a time; a longer
// stream has the shorter one as its start, so making it again longer continues it exactly.
class SeededStream {
 public:
  explicit SeededStream(const StreamKey& key) : key_(key) {
    randombytes_buf_deterministic(first_, sizeof first_, key_.data());
  }

  uint32_t Word() {
    const uint8_t* b;
    if (next_ + 4 <= sizeof first_) {
      b = first_ + next_;
    } else {
      if (next_ + 4 > more_.size()) {
        more_.resize(std::max(more_.size(), sizeof first_) * 2);
        randombytes_buf_deterministic(more_.data(), more_.size(), key_.data());
      }
      b = more_.data() + next_;
    }
    next_ += 4;
    return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
  }
  uint32_t Uniform(uint32_t n) {
    const uint32_t limit = RejectionLimit(n);
    for (;;) {
      const uint32_t word = Word();
      if (word >= limit) return word % n;
    }
  }

 private:
  StreamKey key_;
  // 51 draws take 204 bytes; a word is passed over less than once in 80 million draws.
  uint8_t first_[256];
  std::vector<uint8_t> more_;  // the whole stream so far, once the first bytes are used up
  size_t next_ = 0;
};

template <typename Draw>
Deal Shuffle(Draw&& uniform) {
  uint8_t cards[kCardsInDeck];
  for (int i = 0; i < kCardsInDeck; ++i) cards[i] = static_cast<uint8_t>(i + 1);
  for (int i = kCardsInDeck - 1; i > 0; --i) {
    const uint32_t j = uniform(static_cast<uint32_t>(i + 1));
    std::swap(cards[i], cards[j]);
  }
  // Each hand in ascending card number: the hand's cards as a mask, read from the lowest bit.
  uint64_t hands[4] = {0, 0, 0, 0};
  for (int pos = 0; pos < kCardsInDeck; ++pos)
    hands[pos / kCardsInHand] |= uint64_t{1} << cards[pos];
  Deal deal;
  for (int hand = kNorth; hand <= kWest; ++hand) {
    uint8_t* out = deal.HandCards(hand);
    for (uint64_t mask = hands[hand]; mask != 0; mask &= mask - 1) {
      *out++ = static_cast<uint8_t>(std::countr_zero(mask));
    }
  }
  return deal;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool ParseDealSeed(const std::string& hex, DealSeed& seed, std::string& error) {
  for (const char c : hex) {
    if (HexValue(c) < 0) {
      error = "the seed must be hex digits (0-9, a-f) only";
      return false;
    }
  }
  if (hex.size() < 2 * kMinSeedBytes) {
    error = "the seed must have at least 32 hex digits (128 bits)";
    return false;
  }
  if (hex.size() > 2 * kMaxSeedBytes) {
    error = "the seed must have at most 128 hex digits";
    return false;
  }
  if (hex.size() % 2 != 0) {
    error = "the seed must have an even number of hex digits (whole bytes)";
    return false;
  }
  seed.clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    seed.push_back(static_cast<uint8_t>(HexValue(hex[i]) << 4 | HexValue(hex[i + 1])));
  }
  return true;
}

bool StartDealGenerator() {
  // 0 started now, 1 started before, -1 failed.
  return sodium_init() >= 0;
}

StreamKey BoardStreamKey(const DealSeed& seed, uint32_t board) {
  const uint8_t number[4] = {static_cast<uint8_t>(board >> 24), static_cast<uint8_t>(board >> 16),
                             static_cast<uint8_t>(board >> 8), static_cast<uint8_t>(board)};
  crypto_generichash_state state;
  crypto_generichash_init(&state, nullptr, 0, sizeof(StreamKey));
  crypto_generichash_update(&state, seed.data(), seed.size());
  crypto_generichash_update(&state, number, sizeof number);
  StreamKey key;
  crypto_generichash_final(&state, key.data(), key.size());
  return key;
}

Deal SeededDeal(const DealSeed& seed, uint32_t board) {
  SeededStream stream(BoardStreamKey(seed, board));
  return Shuffle([&stream](uint32_t n) { return stream.Uniform(n); });
}

Deal RandomDeal() {
  return Shuffle([](uint32_t n) { return randombytes_uniform(n); });
}

bool GenerateDeals(int count, int first_board, const DealSeed* seed, DealSet& deals) {
  if (!StartDealGenerator()) return false;
  deals.reserve(deals.size() + static_cast<size_t>(count > 0 ? count : 0));
  for (int k = 0; k < count; ++k) {
    const uint32_t board = static_cast<uint32_t>(first_board) + static_cast<uint32_t>(k);
    deals.push_back(seed != nullptr ? SeededDeal(*seed, board) : RandomDeal());
  }
  return true;
}
