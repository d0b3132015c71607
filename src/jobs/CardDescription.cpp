#include "CardDescription.h"

#include "regexpclass.h"

namespace {

const char* const kCardReadTwice = "([SHRK])([KDB0-9]|10) (already read in .*)";

std::string RankWords(const std::string& rank) {
  if (rank == "B") return "Knight ";
  if (rank == "D") return "Queen ";
  if (rank == "K") return "King ";
  if (rank == "1") return "Ace ";
  return rank + " ";
}

const char* SuitWords(const std::string& suit) {
  if (suit == "S") return "of Spades";
  if (suit == "H") return "of Hearts";
  if (suit == "R") return "of Diamonds";
  return "of Clubs";
}

}  // namespace

std::string CardDescription(const std::string& reply) {
  RegexpClass read_twice(kCardReadTwice);
  if (!read_twice.Match(reply.c_str())) {
    return reply;
  }
  const std::string suit(read_twice.SubStart(1), read_twice.SubEnd(1));
  const std::string rank(read_twice.SubStart(2), read_twice.SubEnd(2));
  return RankWords(rank) + SuitWords(suit);
}
