// Reader of PBN deal files: text with one "[Deal "N:<north> <east> <south> <west>"]" tag per
// board, boards separated by blank lines.
//
// The deals go into the same deal set as BRI and DUP deals: in file order, North, East and South
// in the order the deal tag lists their cards, West the 13 remaining cards in ascending order.
// A failure writes one level W trace line and returns false; a missing or unreadable file leaves
// the deal set as it was, any fault in the text (or a text too large) leaves it empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "DealSet.h"

// The largest text taken as a deal file (32 MiB). A board with every tag, the play and the
// analysis tables a scoring program adds takes about 3 KB, so this holds 10,000 such boards; a
// larger file is something else with the wrong name, and is refused before it is read.
inline constexpr uint32_t kPbnMaxFileSize = 32u << 20;

// On success `board_numbers`, when given, holds the Board tag of each deal (its place in the file,
// counting from 1, when it has none or no plain number).
bool ReadPbnFile(const char* path, DealSet& deals, std::vector<int>* board_numbers = nullptr);
// The same for a text already in memory (`size` bytes, need not end in a NUL).
bool ReadPbnText(const char* text, size_t size, DealSet& deals,
                 std::vector<int>* board_numbers = nullptr);
