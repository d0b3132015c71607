#include "ConditionCommand.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "BoardInfo.h"
#include "ConditionParser.h"
#include "ConditionReport.h"
#include "ConditionSearch.h"
#include "log.h"

namespace {

// A lesson script is a page or two; anything near this size is no script.
constexpr std::streamsize kMaxScriptBytes = 1 << 20;

bool ReadScript(const char* path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  text = all.str();
  return static_cast<std::streamsize>(text.size()) <= kMaxScriptBytes;
}

int ScriptFault(const char* path, const ScriptError& error) {
  std::fprintf(stderr, "%s: %s\n", path, FormatScriptError(error).c_str());
  return 2;
}

}  // namespace

int RunConditionCommand(const ConditionCommand& command) {
  std::string text;
  if (!ReadScript(command.script_path, text)) {
    std::fprintf(stderr, "%s: the script could not be read\n", command.script_path);
    return 2;
  }
  ConditionScript script;
  ConditionProgram program;
  ScriptError error;
  if (!ParseConditionScript(text, script, error) || !program.Compile(script, error)) {
    return ScriptFault(command.script_path, error);
  }
  const int64_t count = command.count > 0    ? command.count
                        : script.produce > 0 ? script.produce
                                             : 40;
  if (count > kMaxGeneratedBoards) {
    std::fprintf(stderr, "quadrelle-deals: the number of boards must be 1 to 9999, not %lld\n",
                 static_cast<long long>(count));
    return 2;
  }
  if (command.rotate && script.dealer < 0) {
    std::fprintf(stderr, "quadrelle-deals: --rotate needs a dealer statement in the script\n");
    return 2;
  }
  if (!StartDealGenerator()) {
    std::fprintf(stderr, "quadrelle-deals: the system's random generator cannot be used\n");
    return 1;
  }
  const SearchResult result = SearchConditionDeals(
      ConditionSearchRequest(script, program, static_cast<int>(count), command.seed));
  if (result.status == SearchResult::Status::kFault) {
    return ScriptFault(command.script_path, result.fault);
  }
  if (result.status != SearchResult::Status::kFound) {
    std::fprintf(stderr, "quadrelle-deals: %s%s\n",
                 SearchShortfall(result, static_cast<int>(count)).c_str(),
                 result.boards.empty() ? "" : "; nothing written");
    return 1;
  }
  DealSet deals;
  std::vector<ReportBoard> report;
  for (size_t i = 0; i < result.boards.size(); ++i) {
    ReportBoard board;
    board.number = command.first_board + static_cast<int>(i);
    board.script_view = result.boards[i];
    board.deal = SearchBoard(result.boards[i], board.number, script.dealer, command.rotate);
    board.dealer =
        script.dealer >= 0 && !command.rotate ? script.dealer : BoardDealer(board.number);
    board.vulnerable = script.vulnerable >= 0 ? script.vulnerable
                                              : static_cast<int>(BoardVulnerability(board.number));
    deals.push_back(board.deal);
    report.push_back(board);
  }
  TraceCapture capture;
  if (!WriteDealFile(command.out, deals, command.kind, command.first_board)) {
    const std::vector<std::string> warnings = capture.Texts('W');
    std::string reason = warnings.empty() ? "File could not be written" : warnings.back();
    if (!reason.empty() && reason.back() == '\n') reason.pop_back();
    std::fprintf(stderr, "%s: %s\n", command.out, reason.c_str());
    return 1;
  }
  std::fputs(FormatConditionReport(script, program, report, result.examined).c_str(), stdout);
  return 0;
}
