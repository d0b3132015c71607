#include "ShapePattern.h"

#include <algorithm>

namespace {

bool Matches(const int pattern[4], const int lengths[4]) {
  for (int suit = 0; suit < 4; ++suit) {
    if (pattern[suit] >= 0 && pattern[suit] != lengths[suit]) return false;
  }
  return true;
}

bool MatchesInAnyOrder(const ShapePattern& pattern, const int lengths[4]) {
  int order[4] = {pattern.lengths[0], pattern.lengths[1], pattern.lengths[2], pattern.lengths[3]};
  std::sort(order, order + 4);
  do {
    if (Matches(order, lengths)) return true;
  } while (std::next_permutation(order, order + 4));
  return false;
}

}  // namespace

bool ParseShapePattern(const std::string& text, ShapePattern& pattern, std::string& error) {
  pattern = ShapePattern();
  bool valid = text.size() == 4;
  int sum = 0;
  bool open = false;
  for (size_t i = 0; valid && i < 4; ++i) {
    const char c = text[i];
    if (c == 'x' || c == 'X') {
      open = true;
    } else if (c >= '0' && c <= '9') {
      pattern.lengths[i] = c - '0';
      sum += c - '0';
    } else {
      valid = false;
    }
  }
  if (!valid) {
    error = "'" + text + "' is no shape: four lengths (0-9 or x), spades first";
    return false;
  }
  if (sum > 13 || (!open && sum != 13)) {
    error = "the shape " + text + " does not make 13 cards";
    return false;
  }
  return true;
}

void ShapeSet::Apply(const ShapePattern& pattern, bool add) {
  int lengths[4];
  for (lengths[0] = 0; lengths[0] <= 13; ++lengths[0]) {
    for (lengths[1] = 0; lengths[0] + lengths[1] <= 13; ++lengths[1]) {
      for (lengths[2] = 0; lengths[0] + lengths[1] + lengths[2] <= 13; ++lengths[2]) {
        lengths[3] = 13 - lengths[0] - lengths[1] - lengths[2];
        const bool match =
            pattern.any ? MatchesInAnyOrder(pattern, lengths) : Matches(pattern.lengths, lengths);
        if (match) bits_[static_cast<size_t>(Index(lengths[0], lengths[1], lengths[2]))] = add;
      }
    }
  }
}
