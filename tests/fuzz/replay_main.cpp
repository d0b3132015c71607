// Runs fuzz target inputs without libFuzzer: every file named, and every file in every folder
// named, is one input. With QUADRELLE_FUZZ_TRACE set it prints each input's trace lines. The normal
// build replays the seed corpora and the inputs that once crashed this way, so a regression fails
// the tests even where clang is not at hand.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FuzzSupport.h"

namespace {

int Replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", file.c_str());
    return 1;
  }
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  // An exact-size heap copy, so that reading past the input is caught as it is under libFuzzer.
  std::vector<uint8_t> input(bytes.begin(), bytes.end());
  input.shrink_to_fit();
  // libFuzzer hands an empty input a valid pointer too.
  static const uint8_t kEmpty = 0;
  if (std::getenv("QUADRELLE_FUZZ_TRACE") == nullptr) {
    LLVMFuzzerTestOneInput(input.empty() ? &kEmpty : input.data(), input.size());
    return 0;
  }
  // Following one input: every trace line it caused, of every level.
  TraceCapture capture;
  LLVMFuzzerTestOneInput(input.empty() ? &kEmpty : input.data(), input.size());
  std::printf("== %s\n", file.c_str());
  for (const TraceLine& line : capture.lines) {
    std::printf("%c %-12s %4d %s", line.level, line.file.c_str(), line.line, line.text.c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int failures = 0;
  int inputs = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path arg = argv[i];
    if (std::filesystem::is_directory(arg)) {
      std::vector<std::filesystem::path> files;
      for (const auto& entry : std::filesystem::directory_iterator(arg)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
      }
      std::sort(files.begin(), files.end());
      for (const auto& file : files) {
        failures += Replay(file);
        ++inputs;
      }
    } else {
      failures += Replay(arg);
      ++inputs;
    }
  }
  std::printf("%d inputs replayed\n", inputs);
  return failures == 0 && inputs > 0 ? 0 : 1;
}
