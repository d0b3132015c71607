// Small text helpers shared by the command parser and the control channel.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qsim {

// Blank-separated words; runs of blanks and tabs count as one separator.
std::vector<std::string> SplitWords(std::string_view text);

std::string UpperCase(std::string_view text);

// A decimal number without sign and without anything around it, at most nine digits.
std::optional<int> ParseCount(std::string_view text);

}  // namespace qsim
