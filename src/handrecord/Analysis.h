// Double-dummy analysis of whole boards with DDS: for every board the tricks each hand takes as
// declarer in each strain, and the par score with its contracts for the board's dealer and
// vulnerability (both follow from the board number).
//
// DDS keeps its own orders: hands North, East, South, West; strains spades, hearts, diamonds,
// clubs, no trumps in its tables, but no trumps first in its par contracts. This header and its
// types use the first order everywhere; Analysis.cpp is the one place that translates.
#pragma once

#include <string>
#include <vector>

#include "Deal.h"

enum Strain { kStrainSpades, kStrainHearts, kStrainDiamonds, kStrainClubs, kNoTrumps };
inline constexpr int kStrains = 5;

// A par contract's declarer: one hand (kNorth..kWest) or either hand of a side.
inline constexpr int kNorthSouth = 4;
inline constexpr int kEastWest = 5;

struct ParContract {
  int level = 0;        // 1..7
  int strain = 0;       // Strain
  int declarer = 0;     // kNorth..kWest, kNorthSouth or kEastWest
  int overtricks = 0;   // tricks made beyond the contract
  int undertricks = 0;  // 0: made; otherwise a doubled sacrifice, down this many
  bool operator==(const ParContract&) const = default;
};

struct ParResult {
  int score = 0;                       // North-South's score: below 0 when East-West score
  std::vector<ParContract> contracts;  // none: the board is passed out
};

struct AnalysedBoard {
  int number = 0;  // 1 and up
  Deal deal;
  int tricks[4][kStrains] = {};  // [declarer North..West][Strain]
  ParResult par;
};

// Fills `tricks` and `par` of every board from `number` and `deal`. The tables go to DDS's
// batch call, which spreads them over all cores; blocks until all are done (a few tenths of a
// second a board on one core). Returns false with the reason in `error` when a deal is not 52
// different cards (nothing is filled then) or DDS refuses a board (boards may then be partly
// filled). DDS is one solver per process: call this from one thread at a time.
bool AnalyseBoards(std::vector<AnalysedBoard>& boards, std::string& error);
