// quadrelle-deals FILE...: checks BRI, DUP and PBN deal files and writes their deals as text, one
// line per deal, "BOARD<TAB>N:<north> <east> <south> <west>". A file that cannot be read gets its
// reason on standard error and the exit status 1; the other files are still written.
//
// quadrelle-deals --write FORMAT OUT FILE: converts FILE into a deal file of FORMAT (bri, dup or
// pbn) named OUT. Exit status 1 when FILE cannot be read or OUT cannot be written.
//
// quadrelle-deals --generate N [--first-board B] [--seed HEX] --write FORMAT OUT: writes N new
// boards numbered from B (DealGenerator.h says how they are made). Exit status 2 for a wrong
// call or value, 1 when OUT cannot be written (the old OUT then stays whole).
//
// Beside the listing, each file's fingerprint and its repeated deals go to standard error;
// quadrelle-deals --commit HEX prints a seed's commitment (SetReport.h).
// quadrelle-deals --generate [N] --condition FILE [--rotate] ...: N boards that meet the
// condition script FILE (ConditionCommand.h).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BriDup.h"
#include "ConditionCommand.h"
#include "DealFormat.h"
#include "DealGenerator.h"
#include "DealWrite.h"
#include "SetReport.h"
#include "log.h"
#include "version.h"

namespace {

// The last warning traced, as the reason for a failure, ending in a line break.
std::string Reason(const TraceCapture& capture, const char* fallback) {
  const std::vector<std::string> warnings = capture.Texts('W');
  std::string reason = warnings.empty() ? std::string(fallback) : warnings.back();
  if (reason.empty() || reason.back() != '\n') reason += '\n';
  return reason;
}

// Loads one file; on failure `reason` is the warning the reader traced.
bool Load(const char* path, DealSet& deals, std::string& reason) {
  TraceCapture capture;
  if (LoadDealFile(path, deals)) return true;
  reason = Reason(capture, "File could not be read\n");
  return false;
}

int Convert(const char* format, const char* out, const char* in) {
  DealFileKind kind;
  if (!DealFileKindFromName(format, kind)) {
    std::fprintf(stderr, "quadrelle-deals: unknown format %s (bri, dup or pbn)\n", format);
    return 2;
  }
  DealSet deals;
  std::string reason;
  if (!Load(in, deals, reason)) {
    std::fprintf(stderr, "%s: %s", in, reason.c_str());
    return 1;
  }
  TraceCapture capture;
  if (!WriteDealFile(out, deals, kind)) {
    std::fprintf(stderr, "%s: %s", out, Reason(capture, "File could not be written\n").c_str());
    return 1;
  }
  return 0;
}

constexpr const char* kUsage =
    "usage: quadrelle-deals FILE...\n"
    "       quadrelle-deals --write bri|dup|pbn OUT FILE\n"
    "       quadrelle-deals --generate N [--first-board B] [--seed HEX] --write bri|dup|pbn OUT\n"
    "       quadrelle-deals --commit HEX\n"
    "       quadrelle-deals --generate [N] --condition FILE [--first-board B] [--seed HEX]\n"
    "                       [--rotate] --write bri|dup|pbn OUT\n"
    "       quadrelle-deals --help | --version\n";

constexpr const char* kHelp =
    "Checks BRI, DUP and PBN deal files and lists their deals, one line per deal:\n"
    "BOARD<TAB>N:<north> <east> <south> <west>. --write converts FILE into a deal file\n"
    "of the given format named OUT (the old OUT stays whole if the write fails).\n"
    "--generate writes N new boards (1 to 9999) numbered from B (default 1), shuffled\n"
    "with the system's cryptographic generator, or, with --seed (32 to 128 hex digits),\n"
    "from a documented stream that gives the same boards everywhere (see the man page).\n"
    "Each listed file's fingerprint and its repeated deals go to standard error.\n"
    "--commit prints the commitment of a seed, to publish before play.\n"
    "--condition writes only boards that meet the script FILE, written in the core\n"
    "of the dealer program's language (N defaults to its produce); --rotate turns\n"
    "each board so that the script's dealer sits at the board's own dealer.\n"
    "Exit status: 0 done, 1 a file could not be read or written or no boards met the\n"
    "condition, 2 wrong call or a fault in the script.\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

int WrongValue(const std::string& what) {
  std::fprintf(stderr, "quadrelle-deals: %s\n", what.c_str());
  return 2;
}

// A whole decimal number from 1 to kMaxGeneratedBoards; 0 for anything else.
int BoardCount(const char* text) {
  if (text[0] < '0' || text[0] > '9' || std::strlen(text) > 5) return 0;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (*end != '\0' || value < 1 || value > kMaxGeneratedBoards) return 0;
  return static_cast<int>(value);
}

// argv[2..]: N, then --first-board B, --seed HEX, --condition FILE, --rotate and --write FORMAT
// OUT in any order. With a condition N may be left out.
int Generate(int argc, char** argv) {
  if (argc < 3) return Usage();
  const char* format = nullptr;
  const char* out = nullptr;
  const char* first_text = nullptr;
  const char* seed_text = nullptr;
  const char* condition = nullptr;
  bool rotate = false;
  const bool has_count = std::strncmp(argv[2], "--", 2) != 0;
  for (int arg = has_count ? 3 : 2; arg < argc; ++arg) {
    const bool has_value = arg + 1 < argc;
    if (std::strcmp(argv[arg], "--write") == 0 && arg + 2 < argc && format == nullptr) {
      format = argv[++arg];
      out = argv[++arg];
    } else if (std::strcmp(argv[arg], "--first-board") == 0 && has_value && !first_text) {
      first_text = argv[++arg];
    } else if (std::strcmp(argv[arg], "--seed") == 0 && has_value && !seed_text) {
      seed_text = argv[++arg];
    } else if (std::strcmp(argv[arg], "--condition") == 0 && has_value && !condition) {
      condition = argv[++arg];
    } else if (std::strcmp(argv[arg], "--rotate") == 0 && !rotate) {
      rotate = true;
    } else {
      return Usage();
    }
  }
  if (format == nullptr || (!has_count && condition == nullptr) || (rotate && !condition)) {
    return Usage();
  }
  const int count = has_count ? BoardCount(argv[2]) : -1;
  if (count == 0) {
    return WrongValue(std::string("the number of boards must be 1 to 9999, not ") + argv[2]);
  }
  const int first = first_text != nullptr ? BoardCount(first_text) : 1;
  if (first == 0) {
    return WrongValue(std::string("the first board must be 1 to 9999, not ") + first_text);
  }
  DealSeed seed;
  std::string error;
  if (seed_text != nullptr && !ParseDealSeed(seed_text, seed, error)) return WrongValue(error);
  DealFileKind kind;
  if (!DealFileKindFromName(format, kind)) {
    std::fprintf(stderr, "quadrelle-deals: unknown format %s (bri, dup or pbn)\n", format);
    return 2;
  }
  if (condition != nullptr) {
    ConditionCommand command;
    command.script_path = condition;
    command.count = count > 0 ? count : 0;
    command.first_board = first;
    command.seed = seed_text != nullptr ? &seed : nullptr;
    command.rotate = rotate;
    command.kind = kind;
    command.out = out;
    return RunConditionCommand(command);
  }
  DealSet deals;
  if (!GenerateDeals(count, first, seed_text != nullptr ? &seed : nullptr, deals)) {
    std::fprintf(stderr, "quadrelle-deals: the system's random generator cannot be used\n");
    return 1;
  }
  TraceCapture capture;
  if (!WriteDealFile(out, deals, kind, first)) {
    std::fprintf(stderr, "%s: %s", out, Reason(capture, "File could not be written\n").c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Trace lines would land in the deals on standard output.
  TraceSetStandardOutput(nullptr);
  if (AnswerHelpOrVersion(argc, argv, "quadrelle-deals", kUsage, kHelp)) return 0;
  if (argc >= 2 && std::strcmp(argv[1], "--generate") == 0) return Generate(argc, argv);
  if (argc >= 2 && std::strcmp(argv[1], "--commit") == 0) {
    return argc == 3 ? PrintCommitment(argv[2]) : Usage();
  }
  const bool convert = argc >= 2 && std::strcmp(argv[1], "--write") == 0;
  if (argc < 2 || (convert && argc != 5)) return Usage();
  // Any other option is a wrong call, not a file name.
  for (int arg = convert ? 2 : 1; arg < argc; ++arg) {
    if (std::strncmp(argv[arg], "--", 2) == 0) return Usage();
  }
  if (convert) return Convert(argv[2], argv[3], argv[4]);
  int status = 0;
  for (int arg = 1; arg < argc; ++arg) {
    DealSet deals;
    std::string reason;
    if (!Load(argv[arg], deals, reason)) {
      std::fprintf(stderr, "%s: %s", argv[arg], reason.c_str());
      status = 1;
      continue;
    }
    size_t board = 0;
    for (const Deal& deal : deals) {
      std::printf("%zu\t%s\n", ++board, FormatDealPbn(deal).c_str());
    }
    ReportSet(argv[arg], deals);
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "quadrelle-deals: could not write the deals\n");
    status = 1;
  }
  return status;
}
