// Writers of the three deal-file formats, for converting one into another.
//
// BRI and DUP records carry North, East and South as 39 two-digit card fields in the deal's own
// order and fill the rest as other deal programs expect it; PBN carries every board's number,
// dealer, vulnerability and deal. Reading a written file gives back the same hands.
#pragma once

#include <string>

#include "DealSet.h"

enum class DealFileKind { kBri, kDup, kPbn };

// "bri", "dup" or "pbn" in either case; false for anything else.
bool DealFileKindFromName(const char* name, DealFileKind& kind);

// The whole file, as bytes. The deals are boards `first_board` (1 and up) onwards: PBN gives each
// its number, dealer and vulnerability, DUP names the first and last board.
std::string FormatDealFile(const DealSet& deals, DealFileKind kind, int first_board = 1);

// The first two lines of a PBN file as the scoring programs on the club computers write them,
// with their line ends.
inline constexpr const char* kPbnFileStart = "% PBN 2.1\r\n% EXPORT\r\n";
// One board's Event (`event` as it stands), Board, Dealer, Vulnerable and Deal tags, each on a
// line of its own ending in "\r\n"; dealer and vulnerability follow from `board` (1 and up).
void AppendPbnBoardTags(const Deal& deal, int board, const std::string& event, std::string& out);

// Writes the file; false with a level W trace line when it could not be written whole, and then
// no partial file is left behind.
bool WriteDealFile(const char* path, const DealSet& deals, DealFileKind kind, int first_board = 1);
