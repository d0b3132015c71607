// quadrelle-deals FILE...: checks BRI, DUP and PBN deal files and writes their deals as text, one
// line per deal, "BOARD<TAB>N:<north> <east> <south> <west>". A file that cannot be read gets its
// reason on standard error and the exit status 1; the other files are still written.
//
// quadrelle-deals --write FORMAT OUT FILE: converts FILE into a deal file of FORMAT (bri, dup or
// pbn) named OUT. Exit status 1 when FILE cannot be read or OUT cannot be written.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BriDup.h"
#include "DealFormat.h"
#include "DealWrite.h"
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
    "       quadrelle-deals --help | --version\n";

constexpr const char* kHelp =
    "Checks BRI, DUP and PBN deal files and lists their deals, one line per deal:\n"
    "BOARD<TAB>N:<north> <east> <south> <west>. --write converts FILE into a deal file\n"
    "of the given format named OUT (the old OUT stays whole if the write fails).\n"
    "Exit status: 0 done, 1 a file could not be read or written, 2 wrong call.\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // Trace lines would land in the deals on standard output.
  TraceSetStandardOutput(nullptr);
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kUsage, stdout);
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("quadrelle-deals %s (%s)\n", GetVersionText(), GetVersionString());
    return 0;
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
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "quadrelle-deals: could not write the deals\n");
    status = 1;
  }
  return status;
}
