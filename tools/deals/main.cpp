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

}  // namespace

int main(int argc, char** argv) {
  // Trace lines would land in the deals on standard output.
  TraceSetStandardOutput(nullptr);
  const bool convert = argc >= 2 && std::strcmp(argv[1], "--write") == 0;
  if (argc < 2 || (convert && argc != 5)) {
    std::fprintf(stderr,
                 "usage: quadrelle-deals FILE...\n"
                 "       quadrelle-deals --write bri|dup|pbn OUT FILE\n");
    return 2;
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
