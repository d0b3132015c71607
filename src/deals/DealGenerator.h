// New deals, every one equally likely, from a cryptographic generator (libsodium).
//
// Without a seed the cards are shuffled with draws from the operating system's generator, so no
// player can predict a board from earlier boards or from the time. With a seed the same boards
// come out on every machine and in every version: board b of the set is shuffled with draws from
// its own ChaCha20 stream,
//
//   key(b)    = BLAKE2b-256 (libsodium's crypto_generichash, no key) of the seed bytes followed
//               by b as four bytes, most significant first;
//   stream(b) = randombytes_buf_deterministic(key(b)), i.e. the ChaCha20 (IETF) keystream with
//               that key, the nonce "LibsodiumDRG" and block counter 0;
//   draws     = the stream read as 32-bit words, four bytes each, least significant first.
//
// The shuffle (both ways): cards 1..52 in order; for i = 51 down to 1, j = Draw(i + 1), swap
// cards i and j. Draw(n) takes words until one is at least 2^32 mod n and gives that word mod n
// (libsodium's randombytes_uniform does the same), so every j is equally likely. Positions 0-12
// go to North, 13-25 East, 26-38 South, 39-51 West; each hand is then sorted by card number.
// The man page of quadrelle-deals tells the same to the director.
//
// No call blocks beyond the generator's own start (which waits for the kernel's generator to be
// seeded, at boot at most); no trace lines.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "DealSet.h"

inline constexpr int kMaxGeneratedBoards = 9999;
// A seed carries 128 to 512 bits: 32 to 128 hex digits.
inline constexpr size_t kMinSeedBytes = 16;
inline constexpr size_t kMaxSeedBytes = 64;

using DealSeed = std::vector<uint8_t>;
using StreamKey = std::array<uint8_t, 32>;

// Reads a seed written as hex digits (either case, an even number of them, 32 to 128). False with
// `error` set to the reason, in words for the operator, when the text is no such seed.
bool ParseDealSeed(const std::string& hex, DealSeed& seed, std::string& error);

// Starts libsodium; false when the operating system's generator cannot be used. Every call below
// needs it to have returned true once (calling it again is cheap).
bool StartDealGenerator();

// The key of board `board`'s stream (see above).
StreamKey BoardStreamKey(const DealSeed& seed, uint32_t board);

// Board `board` of the seeded set.
Deal SeededDeal(const DealSeed& seed, uint32_t board);
// A deal shuffled with draws from the operating system's generator.
Deal RandomDeal();

// Appends boards `first_board` .. `first_board + count - 1`: seeded when `seed` is given,
// otherwise from the operating system. False (nothing appended) when the generator cannot start.
bool GenerateDeals(int count, int first_board, const DealSeed* seed, DealSet& deals);
