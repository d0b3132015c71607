// Readers of the two deal-file formats: BRI (128-byte records) and DUP (156-byte records).
//
// Each record holds North, East and South as 13 two-digit card fields each; West is the 13 cards
// left over. On success the deal set holds exactly the deals of the file in file order. A failure
// writes one level W trace line and returns false: one found before decoding leaves the deal set
// as it was, one found while decoding (a bad card) leaves it empty.
#pragma once

#include <cstdint>
#include <vector>

#include "DealSet.h"

inline constexpr uint32_t kBriRecordSize = 128;
inline constexpr uint32_t kDupRecordSize = 156;

// Chooses the format by the file name (".bri", ".dup" or ".pbn" anywhere in the path, either
// case, in that order) and reads the file. The only entry the pages use.
bool LoadDealFile(const char* path, DealSet& deals);
// The same; on success `board_numbers`, when given, holds each deal's board number: k for deal
// k of a BRI or DUP file, the Board tag of a PBN board (deal k when it has none).
bool LoadNumberedDealFile(const char* path, DealSet& deals, std::vector<int>* board_numbers);
bool ReadBriFile(const char* path, DealSet& deals);
bool ReadDupFile(const char* path, DealSet& deals);
