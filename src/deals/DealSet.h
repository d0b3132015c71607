// The deal set: the deals of one file in file order, deal 1 at index 0.
#pragma once

#include <cstddef>
#include <vector>

#include "Deal.h"

class DealSet {
 public:
  size_t size() const { return deals_.size(); }
  bool empty() const { return deals_.empty(); }
  void clear() { deals_.clear(); }
  void reserve(size_t count) { deals_.reserve(count); }
  void push_back(const Deal& deal) { deals_.push_back(deal); }
  // Appends an empty deal and returns it, for filling in place.
  Deal& emplace_back() { return deals_.emplace_back(); }

  // Deal `index`, 0 <= index < size(). Any other index is a programming error: it writes a
  // critical trace line and ends the program rather than read outside the set. Callers check the
  // range first.
  const Deal& operator[](size_t index) const {
    if (index >= deals_.size()) IndexOutOfRange(index, deals_.size());
    return deals_[index];
  }
  Deal& operator[](size_t index) {
    if (index >= deals_.size()) IndexOutOfRange(index, deals_.size());
    return deals_[index];
  }

  std::vector<Deal>::const_iterator begin() const { return deals_.begin(); }
  std::vector<Deal>::const_iterator end() const { return deals_.end(); }

  bool operator==(const DealSet&) const = default;

 private:
  [[noreturn]] static void IndexOutOfRange(size_t index, size_t count);

  std::vector<Deal> deals_;
};
