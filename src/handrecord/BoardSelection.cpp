#include "BoardSelection.h"

namespace {

// Digits from `at` up to a '-' or the end; -1 when there are none or more than six.
int Number(const std::string& text, size_t& at) {
  const size_t start = at;
  int value = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 7) {
    value = value * 10 + (text[at++] - '0');
  }
  return at == start || at - start > 6 ? -1 : value;
}

}  // namespace

bool ParseBoardRange(const std::string& text, int& first, int& last) {
  size_t at = 0;
  const int a = Number(text, at);
  int b = a;
  if (at < text.size() && text[at] == '-') {
    ++at;
    b = Number(text, at);
  }
  if (at != text.size() || a < 1 || b < a) return false;
  first = a;
  last = b;
  return true;
}

std::vector<AnalysedBoard> SelectBoards(const DealSet& deals, const std::vector<int>& numbers,
                                        int first, int last) {
  std::vector<AnalysedBoard> boards;
  for (size_t i = 0; i < deals.size() && i < numbers.size(); ++i) {
    if (numbers[i] < first || numbers[i] > last) continue;
    AnalysedBoard& board = boards.emplace_back();
    board.number = numbers[i];
    board.deal = deals[i];
  }
  return boards;
}
