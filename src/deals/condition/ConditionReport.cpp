#include "ConditionReport.h"

#include <algorithm>
#include <cstdio>

#include "BoardInfo.h"
#include "DealFormat.h"

namespace {

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// The manual's layout: the four hands side by side, North, East, South, West, a suit a line.
std::string PrintAll(const ReportBoard& board) {
  std::string text = "Board " + std::to_string(board.number) + "\n";
  for (int suit = 0; suit < 4; ++suit) {
    std::string line;
    for (int hand = 0; hand < 4; ++hand) {
      std::string cards;
      for (int i = 0; i < kCardsInHand; ++i) {
        const int card = board.deal.HandCards(hand)[i];
        if (SuitIndex(card) != suit) continue;
        if (!cards.empty()) cards += ' ';
        cards += RankCharacter(RankIndex(card));
      }
      if (cards.empty()) cards.push_back('-');
      line += cards;
      if (hand < 3) line.append(cards.size() < 20 ? 20 - cards.size() : 1, ' ');
    }
    text += line + "\n";
  }
  return text + "\n";
}

std::string PrintOneLine(const ReportBoard& board) {
  const std::string pbn = FormatDealPbn(board.deal);
  std::string text = "n ";
  for (size_t i = 2; i < pbn.size(); ++i) {
    text += pbn[i];
    if (pbn[i] == ' ') {
      text += "nesw"[std::count(text.begin(), text.end(), ' ') / 2];
      text += ' ';
    }
  }
  text += '\n';
  return text;
}

std::string PrintPbn(const ReportBoard& board) {
  return "[Board \"" + std::to_string(board.number) + "\"]\n[Dealer \"" + HandLetter(board.dealer) +
         "\"]\n[Vulnerable \"" + VulnerabilityText(static_cast<Vulnerability>(board.vulnerable)) +
         "\"]\n[Deal \"" + FormatDealPbn(board.deal) + "\"]\n\n";
}

std::string Average(const std::vector<int64_t>& values, const std::string& text) {
  double sum = 0;
  for (const int64_t v : values) sum += static_cast<double>(v);
  const double mean = values.empty() ? 0 : sum / static_cast<double>(values.size());
  return (text.empty() ? std::string("Average") : text) + ": " + Format("%.2f", mean) + "\n";
}

std::string Frequency(const std::vector<int64_t>& values, const Action& action) {
  std::vector<uint64_t> rows(static_cast<size_t>(action.high - action.low + 1), 0);
  uint64_t low = 0, high = 0;
  for (const int64_t v : values) {
    if (v < action.low) {
      ++low;
    } else if (v > action.high) {
      ++high;
    } else {
      ++rows[static_cast<size_t>(v - action.low)];
    }
  }
  std::string text = "Frequency " + action.text + ":\n";
  const auto row = [&text](const std::string& label, uint64_t count) {
    char line[64];
    std::snprintf(line, sizeof line, "%8s %8llu\n", label.c_str(),
                  static_cast<unsigned long long>(count));
    text += line;
  };
  if (low != 0) row("Low", low);
  for (size_t i = 0; i < rows.size(); ++i) {
    row(std::to_string(action.low + static_cast<int64_t>(i)), rows[i]);
  }
  if (high != 0) row("High", high);
  return text;
}

}  // namespace

std::string FormatConditionReport(const ConditionScript& script, const ConditionProgram& program,
                                  const std::vector<ReportBoard>& boards, uint64_t examined) {
  const double share =
      examined == 0 ? 0
                    : 100.0 * static_cast<double>(boards.size()) / static_cast<double>(examined);
  std::string prints;
  std::string totals;
  for (size_t a = 0; a < script.actions.size(); ++a) {
    const Action& action = script.actions[a];
    if (action.kind == ActionKind::kAverage || action.kind == ActionKind::kFrequency) {
      std::vector<int64_t> values;
      ScriptError fault;
      for (const ReportBoard& board : boards) {
        DealFacts facts;
        facts.Set(board.script_view.data());
        values.push_back(program.ActionValue(a, facts, fault));
      }
      if (!fault.message.empty()) {
        totals += action.text + ": " + FormatScriptError(fault) + "\n";
      } else {
        totals += action.kind == ActionKind::kAverage ? Average(values, action.text)
                                                      : Frequency(values, action);
      }
    }
  }
  // The print actions board by board, in the order the script gives them.
  for (const ReportBoard& board : boards) {
    for (const Action& action : script.actions) {
      if (action.kind == ActionKind::kPrintAll) prints += PrintAll(board);
      if (action.kind == ActionKind::kPrintOneLine) prints += PrintOneLine(board);
      if (action.kind == ActionKind::kPrintPbn) prints += PrintPbn(board);
    }
  }
  return prints + "Generated " + std::to_string(examined) + " hands\nProduced " +
         std::to_string(boards.size()) + " hands (" + Format("%.4g", share) +
         "% met the condition)\n" + totals;
}
