// The machine's status codes, their operator texts, and the parse of a reply line "NN text".
//
// Every reply of the machine begins with a two-digit decimal status code; the command call adds
// two codes of its own (90, 91). This is the one place that spells them: the main dialog's
// command call, the pages, quadrelle-cmd and the simulator's firmware model all use it.
#pragma once

#include <cstddef>
#include <string>

namespace machine_status {

// Codes of the machine's replies.
inline constexpr int kOk = 0;    // success; STAT: the job is done
inline constexpr int kBusy = 1;  // STAT: still sorting or splitting
inline constexpr int kFeedError = 3;
inline constexpr int kUnexpectedJoker = 12;
inline constexpr int kMissingJoker = 13;
inline constexpr int kCardReadTwice = 14;
inline constexpr int kInvalidBarcode = 16;
inline constexpr int kBadCommunication = 20;  // unknown command or bad parameter
inline constexpr int kJam = 25;
inline constexpr int kCardboxMissing = 28;
inline constexpr int kYes = 40;  // BUTSTAT: pressed since the last ask; TRAYSTAT: cards lie there
inline constexpr int kNo = 41;

// Codes the command call adds to the machine's own.
inline constexpr int kExchangeFailed = 90;  // failed exchange, reply too long or unparsable
inline constexpr int kNoMachine = 91;       // no machine attached

// The operator's words for a code, or nullptr when the code has none.
const char* StatusText(int code);

// The machine acknowledges a split command ("SPLIT 13", "SPLIT 26", "SPLIT CONTINUE") with a bare
// status packet that carries no reply text; the command call reports that as kExchangeFailed with
// an empty reply. A failed exchange is also kExchangeFailed but leaves text in the buffer ("Test
// return" or the raw reply), and is no acceptance.
bool IsSplitAcknowledgement(int code, const char* reply);

// A reply line split into its code and its text.
struct ParsedReply {
  int code = -1;
  std::string text;  // what follows the code and its blanks
};

// Parses a zero-terminated reply "NN<blanks>text" (two decimal digits, at least one blank or
// tab). True with `out` filled on a match; false, `out` untouched, for anything else (one digit,
// letters, two digits without a blank). Never blocks, writes no trace line.
bool ParseReply(const char* reply, ParsedReply& out);

}  // namespace machine_status
