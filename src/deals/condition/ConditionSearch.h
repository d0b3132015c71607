// The search for boards that meet a script's condition, on every core.
//
// Threads take the stream's chunks (DealStream.h) in turn; the boards are the first deals of
// the stream, in stream order, that meet the condition, however many threads looked. So the same
// seed and script give the same boards on one thread or on many.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ConditionProgram.h"
#include "DealStream.h"

inline constexpr uint64_t kDefaultSearchCap = 1000000000;

struct SearchRequest {
  const ConditionScript* script = nullptr;
  const ConditionProgram* program = nullptr;
  DealSeed seed;  // the bytes the chunk keys come from
  int boards = 1;
  uint64_t max_deals = kDefaultSearchCap;
  int threads = 0;  // 0: one per core
  const std::atomic<bool>* cancel = nullptr;
  // Called on the calling thread about ten times a second: deals looked at so far, boards found.
  std::function<void(uint64_t examined, int found)> progress;
};

using Hands = std::array<uint64_t, 4>;

struct SearchResult {
  enum class Status { kFound, kNotFound, kCancelled, kFault };
  Status status = Status::kNotFound;
  std::vector<Hands> boards;  // in stream order; all of them unless kFound
  uint64_t examined = 0;      // deals looked at up to the last board (or the fault, or the cap)
  ScriptError fault;          // kFault: the division by zero's place
};

// A search for `boards` boards, capped by the script's generate (else kDefaultSearchCap), from
// `seed` or, without one, a seed drawn once from the operating system. Needs
// StartDealGenerator().
SearchRequest ConditionSearchRequest(const ConditionScript& script, const ConditionProgram& program,
                                     int boards, const DealSeed* seed);

// Why a search that ended without all its boards is no set, for the teacher:
// "no deal found after N deals: the condition may be impossible", or how many were found.
std::string SearchShortfall(const SearchResult& result, int boards);

// Needs StartDealGenerator().
SearchResult SearchConditionDeals(const SearchRequest& request);

// The deal turned by `turns` seats clockwise: North's hand goes to East for one turn.
Deal TurnDeal(const Deal& deal, int turns);

// A found deal as board `board`: with `rotate`, turned so that the script's dealer seat sits at
// the board's own dealer (BoardInfo.h), so that every board of a lesson set is bid from its
// dealer.
Deal SearchBoard(const Hands& hands, int board, int script_dealer, bool rotate);
