// What a script's actions print, in the manner of the dealer program: the print actions for
// each board, then each average and frequency over the boards, after the counts of deals.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ConditionProgram.h"
#include "ConditionSearch.h"

struct ReportBoard {
  int number = 1;
  Deal deal;            // as written to the file (turned, with --rotate)
  Hands script_view{};  // as the script saw it, for the averages and frequencies
  int dealer = 0;       // Hand
  int vulnerable = 0;   // Vulnerability
};

// "Generated N hands\nProduced K hands (P% met the condition)\n", each print action's text for
// each board, then the averages and frequencies.
std::string FormatConditionReport(const ConditionScript& script, const ConditionProgram& program,
                                  const std::vector<ReportBoard>& boards, uint64_t examined);
