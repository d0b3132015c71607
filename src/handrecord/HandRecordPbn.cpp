#include "HandRecordPbn.h"

#include "BoardInfo.h"
#include "BoardText.h"
#include "DealWrite.h"
#include "Fileutils.h"

namespace {

// Line ends as the deal-file writer has them.
constexpr const char* kEnd = "\r\n";

void AppendTag(const char* name, const std::string& value, std::string& out) {
  out += std::string("[") + name + " \"" + value + "\"]" + kEnd;
}

// Twenty rows, "N NT 10", the strain and the tricks right-aligned in two columns.
void AppendResultTable(const AnalysedBoard& board, std::string& out) {
  AppendTag("OptimumResultTable", "Declarer;Denomination\\2R;Result\\2R", out);
  for (const int hand : kTableDeclarers) {
    for (const int strain : kTableStrains) {
      const std::string name = StrainText(strain);
      const std::string tricks = std::to_string(board.tricks[hand][strain]);
      out += std::string(HandLetter(hand)) + (name.size() < 2 ? "  " : " ") + name +
             (tricks.size() < 2 ? "  " : " ") + tricks + kEnd;
    }
  }
}

// One hex digit of tricks per declarer and strain, in the result table's order, so both tags say
// the same: "d" for 13 tricks.
std::string DoubleDummyTricks(const AnalysedBoard& board) {
  static const char kHex[] = "0123456789abcdef";
  std::string digits;
  for (const int hand : kTableDeclarers) {
    for (const int strain : kTableStrains) digits += kHex[board.tricks[hand][strain] & 15];
  }
  return digits;
}

}  // namespace

std::string FormatHandRecordPbn(const std::vector<AnalysedBoard>& boards,
                                const std::string& event) {
  std::string quoted = event;
  for (char& c : quoted) {
    if (c == '"' || c == '\r' || c == '\n') c = '\'';
  }
  std::string out = kPbnFileStart;
  bool first = true;
  for (const AnalysedBoard& board : boards) {
    if (!first) out += kEnd;
    first = false;
    AppendPbnBoardTags(board.deal, board.number, quoted, out);
    AppendTag("OptimumScore", board.par.score == 0 ? "NS 0" : ParScoreText(board.par), out);
    AppendTag("ParContract", ParContractsText(board.par), out);
    AppendTag("DoubleDummyTricks", DoubleDummyTricks(board), out);
    AppendResultTable(board, out);
  }
  return out;
}

bool WriteHandRecordPbn(const char* path, const std::vector<AnalysedBoard>& boards,
                        const std::string& event) {
  const std::string text = FormatHandRecordPbn(boards, event);
  return ReplaceFileContents(path, text.data(), text.size()) == 1;
}
