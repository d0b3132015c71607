// The hand shapes a shape() call names: patterns such as 5431, 55xx or "any 4333", joined with
// + (the shapes are added) and - (taken away), left to right. A set holds every shape a hand can
// have, so one test per hand answers the whole call.
#pragma once

#include <bitset>
#include <string>

struct ShapePattern {
  int lengths[4] = {-1, -1, -1, -1};  // spades, hearts, diamonds, clubs; -1 for x (any length)
  bool any = false;                   // in any order of the suits
};

// Reads "5431", "55xx" (x or X). False with `error` set when `text` is no such pattern or its
// lengths cannot make a 13-card hand.
bool ParseShapePattern(const std::string& text, ShapePattern& pattern, std::string& error);

class ShapeSet {
 public:
  // The bit of a hand with these spade, heart and diamond lengths (the clubs follow).
  static constexpr int Index(int spades, int hearts, int diamonds) {
    return (spades * 14 + hearts) * 14 + diamonds;
  }

  // Adds (or, with `add` false, takes away) every shape the pattern matches.
  void Apply(const ShapePattern& pattern, bool add);
  bool Contains(int index) const { return bits_[static_cast<size_t>(index)]; }
  size_t Count() const { return bits_.count(); }

 private:
  std::bitset<14 * 14 * 14> bits_;
};
