#include "DealStream.h"

#include <sodium.h>

#include <bit>
#include <utility>

DealSeed RandomSearchSeed() {
  DealSeed seed(32);
  randombytes_buf(seed.data(), seed.size());
  return seed;
}

StreamKey SearchChunkKey(const DealSeed& seed, uint32_t chunk) {
  const uint8_t tail[10] = {'s',
                            'e',
                            'a',
                            'r',
                            'c',
                            'h',
                            static_cast<uint8_t>(chunk >> 24),
                            static_cast<uint8_t>(chunk >> 16),
                            static_cast<uint8_t>(chunk >> 8),
                            static_cast<uint8_t>(chunk)};
  crypto_generichash_state state;
  crypto_generichash_init(&state, nullptr, 0, sizeof(StreamKey));
  crypto_generichash_update(&state, seed.data(), seed.size());
  crypto_generichash_update(&state, tail, sizeof tail);
  StreamKey key;
  crypto_generichash_final(&state, key.data(), key.size());
  return key;
}

ChunkStream::ChunkStream(const StreamKey& key) : key_(key) {}

void ChunkStream::Refill() {
  // randombytes_buf_deterministic's stream, continued block by block.
  static const uint8_t kZeros[sizeof bytes_] = {};
  static const uint8_t kNonce[crypto_stream_chacha20_ietf_NONCEBYTES] = {
      'L', 'i', 'b', 's', 'o', 'd', 'i', 'u', 'm', 'D', 'R', 'G'};
  crypto_stream_chacha20_ietf_xor_ic(bytes_, kZeros, sizeof bytes_, kNonce, block_, key_.data());
  block_ += sizeof bytes_ / 64;
  next_ = 0;
}

uint32_t ChunkStream::Word() {
  if (next_ + 4 > sizeof bytes_) Refill();
  const uint8_t* b = bytes_ + next_;
  next_ += 4;
  return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

uint32_t ChunkStream::Uniform(uint32_t n) {
  // Multiply and keep the high half; the division for 2^32 mod n is needed only for the rare
  // low halves below n, so a shuffle costs no divisions at all most of the time.
  uint64_t product = uint64_t{Word()} * n;
  if (static_cast<uint32_t>(product) < n) {
    const uint32_t limit = (0u - n) % n;  // 2^32 mod n
    while (static_cast<uint32_t>(product) < limit) product = uint64_t{Word()} * n;
  }
  return static_cast<uint32_t>(product >> 32);
}

DealShuffler::DealShuffler(const uint64_t predeal[4]) {
  uint64_t taken = 0;
  for (int hand = 0; hand < 4; ++hand) {
    predeal_[hand] = predeal[hand];
    need_[hand] = kCardsInHand - std::popcount(predeal[hand]);
    taken |= predeal[hand];
  }
  for (int card = 1; card <= kCardsInDeck; ++card) {
    if ((taken >> (card - 1) & 1) == 0) free_[free_count_++] = static_cast<uint8_t>(card);
  }
}

void DealShuffler::Next(ChunkStream& stream, uint64_t hands[4]) const {
  uint8_t cards[kCardsInDeck];
  for (int i = 0; i < free_count_; ++i) cards[i] = free_[i];
  for (int i = free_count_ - 1; i > 0; --i) {
    std::swap(cards[i], cards[stream.Uniform(static_cast<uint32_t>(i + 1))]);
  }
  int at = 0;
  for (int hand = 0; hand < 4; ++hand) {
    uint64_t mask = predeal_[hand];
    for (const int end = at + need_[hand]; at < end; ++at) mask |= uint64_t{1} << (cards[at] - 1);
    hands[hand] = mask;
  }
}

Deal DealOfHands(const uint64_t hands[4]) {
  Deal deal;
  for (int hand = 0; hand < 4; ++hand) {
    uint8_t* out = deal.HandCards(hand);
    int count = 0;
    for (uint64_t mask = hands[hand]; mask != 0 && count < kCardsInHand; mask &= mask - 1) {
      out[count++] = static_cast<uint8_t>(std::countr_zero(mask) + 1);
    }
  }
  return deal;
}
