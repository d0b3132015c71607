// The analysed boards as a PBN file for scoring programs: each board's deal with its number,
// dealer and vulnerability, and the analysis in the standard tags: [OptimumScore],
// [ParContract], [DoubleDummyTricks] (20 hex digits) and [OptimumResultTable] (rows), both with
// the tricks by declarer N, S, E, W and strain NT, S, H, D, C, the order scoring programs read.
#pragma once

#include <string>
#include <vector>

#include "Analysis.h"

// The whole file. `event` goes into every board's Event tag (a quote in it becomes ').
std::string FormatHandRecordPbn(const std::vector<AnalysedBoard>& boards, const std::string& event);

// Writes the file beside `path` and renames it over it: false with errno set when it could not
// be written whole, and then the old file stays as it was. No trace line.
bool WriteHandRecordPbn(const char* path, const std::vector<AnalysedBoard>& boards,
                        const std::string& event);
