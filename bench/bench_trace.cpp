// The cost of one trace statement: level T (history only) and level I (written to the log file),
// beside formatting the same text alone, in the same run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "log.h"

namespace {

// A running log on a file of its own in the system's folder for temporary files, removed
// afterwards.
class LogSession {
 public:
  LogSession() {
    path_ = (std::filesystem::temp_directory_path() / "quadrelle-bench-trace-XXXXXX").string();
    const int fd = mkstemp(path_.data());
    if (fd < 0) std::abort();
    close(fd);
    Start();
  }
  ~LogSession() {
    TraceResetForTests();
    std::remove(path_.c_str());
  }
  // Back to an empty history whose first pages are already in memory.
  void Start() {
    TraceResetForTests();
    TraceSetStandardOutput(nullptr);
    TraceSetFileName(path_.c_str());
    TraceSetState(TRACE_RUNNING);
  }
  bool Running() const { return TraceGetState() == TRACE_RUNNING; }

 private:
  std::string path_;
};

// Fixed counts: the history ring is 721 MB, and touching all of it would measure page faults.
constexpr int64_t kHistoryIterations = 1 << 20;
constexpr int64_t kFileIterations = 200000;

void BM_FormatOnly(benchmark::State& state) {
  char text[128];
  int i = 0;
  for (auto _ : state) {
    std::snprintf(text, sizeof text, "Poll %d status %s\n", i++, "busy");
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_FormatOnly);

void BM_TraceLevelT(benchmark::State& state) {
  LogSession log;
  if (!log.Running()) {
    state.SkipWithError("log did not start");
    return;
  }
  for (int64_t i = 0; i < kHistoryIterations; ++i) TRACE('T', "warm %d\n", static_cast<int>(i));
  log.Start();
  int i = 0;
  for (auto _ : state) TRACE('T', "Poll %d status %s\n", i++, "busy");
}
BENCHMARK(BM_TraceLevelT)->Iterations(kHistoryIterations);

void BM_TraceLevelI(benchmark::State& state) {
  LogSession log;
  if (!log.Running()) {
    state.SkipWithError("log did not start");
    return;
  }
  int i = 0;
  for (auto _ : state) TRACE('I', "Poll %d status %s\n", i++, "busy");
  TraceFlush();
}
BENCHMARK(BM_TraceLevelI)->Iterations(kFileIterations);

}  // namespace
