// Shared by the fuzz targets: a silent trace log and a private scratch folder per process.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "log.h"

// libFuzzer calls this for every input; the replay program calls it for every file it is given.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fuzz {

// Every input starts from the log as it was at load, printing nothing: the history ring is
// reused from its start instead of filling up over millions of inputs.
inline void QuietTrace() {
  TraceResetForTests();
  TraceSetStandardOutput(nullptr);
  TraceSetFileName("/dev/null");
}

// A folder of our own, made once per process and removed at exit: in /dev/shm when there is
// one (the targets write a file per input, and the settings store syncs every write), else
// under $TMPDIR or /tmp.
inline const std::filesystem::path& ScratchDir() {
  static const std::filesystem::path dir = [] {
    std::error_code ignored;
    const std::filesystem::path base = access("/dev/shm", W_OK) == 0
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path(ignored);
    std::string pattern = (base / "quadrelle-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    static std::string keep;
    keep = pattern;
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(keep, ignored);
    });
    return std::filesystem::path(pattern);
  }();
  return dir;
}

inline void WriteFile(const std::filesystem::path& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) {
    std::perror(path.c_str());
    std::abort();
  }
}

// A failed invariant: libFuzzer (and the replay program) report it as a crash with this text.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
  std::abort();
}

}  // namespace fuzz
