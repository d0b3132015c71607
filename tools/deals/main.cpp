// quadrelle-deals FILE...: checks BRI and DUP deal files and writes their deals as text, one line
// per deal, "BOARD<TAB>N:<north> <east> <south> <west>". A file that cannot be read gets its
// reason on standard error and the exit status 1; the other files are still written.
#include <cstdio>
#include <string>
#include <vector>

#include "BriDup.h"
#include "DealFormat.h"
#include "log.h"

namespace {

// Loads one file; on failure `reason` is the warning the reader traced.
bool Load(const char* path, DealSet& deals, std::string& reason) {
  TraceCapture capture;
  if (LoadDealFile(path, deals)) return true;
  const std::vector<std::string> warnings = capture.Texts('W');
  reason = warnings.empty() ? std::string("File could not be read\n") : warnings.back();
  if (reason.empty() || reason.back() != '\n') reason += '\n';
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // Trace lines would land in the deals on standard output.
  TraceSetStandardOutput(nullptr);
  if (argc < 2) {
    std::fprintf(stderr, "usage: quadrelle-deals FILE...\n");
    return 2;
  }
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
