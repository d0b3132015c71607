// Which boards of a deal file a hand record covers.
#pragma once

#include <string>
#include <vector>

#include "Analysis.h"
#include "DealSet.h"

// "A-B" or "A" (1 <= A <= B <= 999999, decimal digits only); false for anything else.
bool ParseBoardRange(const std::string& text, int& first, int& last);

// The deals whose board numbers (`numbers`, one per deal) lie in first..last, in file order,
// ready for AnalyseBoards.
std::vector<AnalysedBoard> SelectBoards(const DealSet& deals, const std::vector<int>& numbers,
                                        int first, int last);
