#include "BoardText.h"

#include "BoardInfo.h"

std::string StrainText(int strain, bool symbols) {
  static const char* const kLetters[kStrains] = {"S", "H", "D", "C", "NT"};
  static const char* const kSymbols[kStrains] = {"\u2660", "\u2665", "\u2666", "\u2663", "NT"};
  if (strain < 0 || strain >= kStrains) return "?";
  return symbols ? kSymbols[strain] : kLetters[strain];
}

const char* DeclarerText(int declarer) {
  if (declarer == kNorthSouth) return "NS";
  if (declarer == kEastWest) return "EW";
  return HandLetter(declarer);
}

std::string ContractText(const ParContract& contract, bool symbols) {
  // Appended piece by piece: GCC 12 warns falsely about "literal" + std::string at -O2.
  std::string text = DeclarerText(contract.declarer);
  text += ' ';
  text += std::to_string(contract.level);
  text += StrainText(contract.strain, symbols);
  if (contract.undertricks > 0) {
    text += "X-";
    text += std::to_string(contract.undertricks);
  } else if (contract.overtricks > 0) {
    text += '+';
    text += std::to_string(contract.overtricks);
  }
  return text;
}

std::string ParScoreText(const ParResult& par) {
  if (par.score > 0) return "NS " + std::to_string(par.score);
  if (par.score < 0) return "EW " + std::to_string(-par.score);
  return "0";
}

std::string ParContractsText(const ParResult& par, bool symbols) {
  if (par.contracts.empty()) return "Pass";
  std::string text;
  for (const ParContract& contract : par.contracts) {
    if (!text.empty()) text += "; ";
    text += ContractText(contract, symbols);
  }
  return text;
}
