// The commitment of a seeded set. A tournament publishes it before play: it binds the tournament
// to its seed without giving the seed away, and once the seed is published after play anyone can
// compute it again and make the boards from the seed.
//
//   commitment = BLAKE2b-256 (libsodium's crypto_generichash, 32-byte result, no key) of the seed
//                bytes exactly as ParseDealSeed gives them and the generator uses them (the hex
//                digits two at a time, the first digit of each pair the high half of the byte),
//                written as 64 lower-case hex digits.
//
// The man page of quadrelle-deals tells the same to the director.
#pragma once

#include <string>
#include <vector>

#include "DealGenerator.h"

std::string SeedCommitment(const DealSeed& seed);

// The place (from 0) of the first deal that is not board numbers[place] of the set the seed
// makes; deals.size() when every deal is. `numbers` holds one board number per deal.
// StartDealGenerator must have returned true.
size_t FirstDealNotFromSeed(const DealSet& deals, const std::vector<int>& numbers,
                            const DealSeed& seed);
