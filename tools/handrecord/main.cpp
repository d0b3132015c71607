// quadrelle-handrecord FILE [--pdf OUT.pdf] [--pbn OUT.pbn] [--boards A-B] [--commitment HEX]:
// the double-dummy analysis of the boards of a deal file (BRI, DUP or PBN), as a printed hand
// record, as a PBN file for scoring programs, or (with neither) as text on standard output. The
// printed record and the text carry the whole file's fingerprint and, with --commitment, the
// commitment of the seed that made the file. Exit status 0 done, 1 a file could not be read or
// written, the analysis failed or the seed did not make the file, 2 wrong call.
#include <QGuiApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Analysis.h"
#include "BoardInfo.h"
#include "BoardSelection.h"
#include "BoardText.h"
#include "BriDup.h"
#include "DealFormat.h"
#include "DealGenerator.h"
#include "Fileutils.h"
#include "Fingerprint.h"
#include "HandRecordPbn.h"
#include "HandRecordPdf.h"
#include "SeedCommitment.h"
#include "log.h"
#include "version.h"

namespace {

constexpr const char* kUsage =
    "usage: quadrelle-handrecord FILE [--pdf OUT.pdf] [--pbn OUT.pbn] [--boards A-B]\n"
    "                            [--commitment HEX]\n"
    "       quadrelle-handrecord --help | --version\n";

constexpr const char* kHelp =
    "Analyses the boards of a BRI, DUP or PBN deal file double dummy (DDS): the tricks\n"
    "each hand takes as declarer in each strain, and the par score with its contracts\n"
    "for the board's dealer and vulnerability. --pdf writes the hand record to print,\n"
    "six boards to an A4 page; --pbn writes the deals with the analysis for scoring\n"
    "programs; with neither the analysis goes to standard output. --boards takes only\n"
    "boards A to B (board numbers as the file gives them). The printed record and the\n"
    "text show the file's fingerprint; --commitment HEX checks that the seed HEX made\n"
    "the file's boards and shows the seed's commitment.\n"
    "Exit status: 0 done, 1 a file could not be read or written, 2 wrong call.\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

struct Options {
  const char* file = nullptr;
  const char* pdf = nullptr;
  const char* pbn = nullptr;
  const char* boards = nullptr;
  const char* seed = nullptr;
  int first = 1;
  int last = 0x7fffffff;
};

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int arg = 1; arg < argc; ++arg) {
    const char* value = arg + 1 < argc ? argv[arg + 1] : nullptr;
    const char** slot = nullptr;
    if (std::strcmp(argv[arg], "--pdf") == 0) {
      slot = &options.pdf;
    } else if (std::strcmp(argv[arg], "--pbn") == 0) {
      slot = &options.pbn;
    } else if (std::strcmp(argv[arg], "--boards") == 0) {
      slot = &options.boards;
    } else if (std::strcmp(argv[arg], "--commitment") == 0) {
      slot = &options.seed;
    } else if (std::strncmp(argv[arg], "--", 2) != 0 && options.file == nullptr) {
      options.file = argv[arg];
      continue;
    } else {
      return false;
    }
    if (value == nullptr || *slot != nullptr) return false;
    *slot = value;
    ++arg;
  }
  return options.file != nullptr;
}

// The last warning the reader traced, as the reason it failed.
std::string Reason(const TraceCapture& capture) {
  const std::vector<std::string> warnings = capture.Texts('W');
  std::string reason = warnings.empty() ? "File could not be read\n" : warnings.back();
  if (reason.empty() || reason.back() != '\n') reason += '\n';
  return reason;
}

// Qt's notes about the platform it was given (no runtime folder for a program that opens no
// window) are no concern of the director's; anything else still goes to standard error.
void QuietPlatformNotes(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtWarningMsg && text.startsWith(QStringLiteral("QStandardPaths:"))) return;
  std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, text).toLocal8Bit().constData());
}

// The seed's commitment, once every board of the file is the board the seed makes; false with the
// reason on standard error otherwise.
bool CheckedCommitment(const char* file, const DealSet& deals, const std::vector<int>& numbers,
                       const DealSeed& seed, std::string& commitment) {
  if (!StartDealGenerator()) {
    std::fprintf(stderr, "quadrelle-handrecord: the system's random generator cannot be used\n");
    return false;
  }
  const size_t place = FirstDealNotFromSeed(deals, numbers, seed);
  if (place < deals.size()) {
    // A commitment beside boards the seed did not make would vouch for the wrong set.
    std::fprintf(stderr, "%s: board %d is not the board the seed makes\n", file, numbers[place]);
    return false;
  }
  commitment = SeedCommitment(seed);
  return true;
}

void PrintBoard(const AnalysedBoard& board) {
  std::printf(
      "Board %d  Dealer %s  Vul %s  %s\n", board.number, HandLetter(BoardDealer(board.number)),
      VulnerabilityText(BoardVulnerability(board.number)), FormatDealPbn(board.deal).c_str());
  std::printf("  HCP N %d E %d S %d W %d\n", HighCardPoints(board.deal, kNorth),
              HighCardPoints(board.deal, kEast), HighCardPoints(board.deal, kSouth),
              HighCardPoints(board.deal, kWest));
  std::printf("      NT  S  H  D  C\n");
  for (const int hand : kTableDeclarers) {
    std::printf("  %s  ", HandLetter(hand));
    for (const int strain : kTableStrains) {
      std::printf(" %2d", board.tricks[hand][strain]);
    }
    std::printf("\n");
  }
  std::printf("  Par %s: %s\n\n", ParScoreText(board.par).c_str(),
              ParContractsText(board.par).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  // Trace lines would land in the analysis on standard output.
  TraceSetStandardOutput(nullptr);
  if (AnswerHelpOrVersion(argc, argv, "quadrelle-handrecord", kUsage, kHelp)) return 0;
  Options options;
  if (!ParseOptions(argc, argv, options)) return Usage();
  if (options.boards != nullptr && !ParseBoardRange(options.boards, options.first, options.last)) {
    std::fprintf(stderr, "quadrelle-handrecord: --boards wants A-B with 1 <= A <= B, not %s\n",
                 options.boards);
    return 2;
  }
  DealSeed seed;
  std::string error;
  if (options.seed != nullptr && !ParseDealSeed(options.seed, seed, error)) {
    std::fprintf(stderr, "quadrelle-handrecord: %s\n", error.c_str());
    return 2;
  }

  DealSet deals;
  std::vector<int> numbers;
  {
    TraceCapture capture;
    if (!LoadNumberedDealFile(options.file, deals, &numbers)) {
      std::fprintf(stderr, "%s: %s", options.file, Reason(capture).c_str());
      return 1;
    }
  }
  HandRecordMarks marks;
  marks.fingerprint = QString::fromStdString(DealSetFingerprint(deals));
  if (options.seed != nullptr) {
    std::string commitment;
    if (!CheckedCommitment(options.file, deals, numbers, seed, commitment)) return 1;
    marks.commitment = QString::fromStdString(commitment);
  }
  std::vector<AnalysedBoard> boards = SelectBoards(deals, numbers, options.first, options.last);
  if (boards.empty()) {
    std::fprintf(stderr, "%s: no boards%s%s in the file\n", options.file,
                 options.boards != nullptr ? " " : "",
                 options.boards != nullptr ? options.boards : "");
    return 1;
  }
  if (!AnalyseBoards(boards, error)) {
    std::fprintf(stderr, "%s: %s\n", options.file, error.c_str());
    return 1;
  }

  const std::string title = BaseName(options.file);
  if (options.pbn != nullptr && !WriteHandRecordPbn(options.pbn, boards, title)) {
    std::fprintf(stderr, "%s: %s\n", options.pbn, std::strerror(errno));
    return 1;
  }
  if (options.pdf != nullptr) {
    // No window is ever shown: the platform is only there for the fonts.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietPlatformNotes);
    QGuiApplication application(argc, argv);
    QString reason;
    if (!WriteHandRecordPdf(QString::fromLocal8Bit(options.pdf), boards,
                            QString::fromStdString(title), reason, marks)) {
      std::fprintf(stderr, "%s: %s\n", options.pdf, reason.toLocal8Bit().constData());
      return 1;
    }
  }
  if (options.pbn == nullptr && options.pdf == nullptr) {
    std::printf("Fingerprint %s\n", marks.fingerprint.toStdString().c_str());
    if (!marks.commitment.isEmpty()) {
      std::printf("Seed commitment %s\n", marks.commitment.toStdString().c_str());
    }
    std::printf("\n");
    for (const AnalysedBoard& board : boards) PrintBoard(board);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
      std::fprintf(stderr, "quadrelle-handrecord: could not write the analysis\n");
      return 1;
    }
  }
  return 0;
}
