// The deals a condition search looks at, from one seeded stream per chunk of deals.
//
// The search's deals come in chunks of kSearchChunkDeals. Chunk k (0 and up) has its own
// ChaCha20 stream: key = BLAKE2b-256 of the seed bytes, the six letters "search" and k as four
// bytes, most significant first; stream = randombytes_buf_deterministic(key) read as far as it
// is needed, i.e. the ChaCha20 (IETF) keystream with that key, the nonce "LibsodiumDRG" and
// block counter 0; words = the stream read as 32-bit words, least significant byte first. The
// deals of a chunk are shuffled one after another from its stream: the cards not predealt, in
// ascending order, for i = count - 1 down to 1, j = Draw(i + 1), swap cards i and j; then dealt
// in order to North, East, South and West, each filled to 13 beside its predealt cards.
// Draw(n): m = word * n in 64 bits; a word whose m has its low 32 bits below 2^32 mod n is
// passed over (so every j is equally likely), else j is m's high 32 bits. (This multiplication
// takes the place of the new boards' "word mod n": a division per card would halve the search.)
// So the deals are a function of the seed and the predealt cards alone, and chunks can be
// shuffled on any number of threads.
#pragma once

#include <cstdint>

#include "DealGenerator.h"

inline constexpr uint64_t kSearchChunkDeals = uint64_t{1} << 16;

// 32 bytes from the operating system's generator, as the seed of a search without one.
DealSeed RandomSearchSeed();

// The key of chunk `chunk`'s stream (see above). Needs StartDealGenerator().
StreamKey SearchChunkKey(const DealSeed& seed, uint32_t chunk);

class ChunkStream {
 public:
  explicit ChunkStream(const StreamKey& key);
  uint32_t Word();
  // A draw below n, every value equally likely.
  uint32_t Uniform(uint32_t n);

 private:
  void Refill();

  StreamKey key_;
  uint8_t bytes_[4096];
  size_t next_ = sizeof bytes_;
  uint32_t block_ = 0;  // the ChaCha20 block counter of the next refill
};

// Hands: bit (card - 1) for each card a hand holds, North, East, South, West.
class DealShuffler {
 public:
  explicit DealShuffler(const uint64_t predeal[4]);
  void Next(ChunkStream& stream, uint64_t hands[4]) const;

 private:
  uint8_t free_[kCardsInDeck];  // card numbers not predealt, ascending
  int free_count_ = 0;
  int need_[4];  // cards each hand still needs
  uint64_t predeal_[4];
};

// The deal of four hand masks, each hand in ascending card number as every reader gives it.
Deal DealOfHands(const uint64_t hands[4]);
