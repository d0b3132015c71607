// Condition searches of a million deals for three lesson-style scripts against the shuffle of
// the same deals alone, and the search on every core against one thread. Each iteration times
// both, one right after the other; "ratio" is the measured time over the baseline's, and
// "deals_per_s" the measured part's deals per second (absolute, so noisy on a shared machine).
#include <benchmark/benchmark.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "ConditionParser.h"
#include "ConditionSearch.h"
#include "RatioTimer.h"

namespace {

constexpr uint64_t kDeals = uint64_t{1} << 20;

constexpr const char* kScripts[] = {
    // A 15-17 balanced 1NT opener.
    "dealer south\n"
    "nt = hcp(south) >= 15 && hcp(south) <= 17 && shape(south, any 4333 + any 4432 + any 5332)\n"
    "nt",
    // A 4-4 major fit with game values.
    "fit = spades(north) >= 4 && spades(south) >= 4 || hearts(north) >= 4 && hearts(south) >= 4\n"
    "fit && hcp(north) + hcp(south) >= 25",
    // A weak two in hearts, counted by losers and controls too.
    "hearts(south) == 6 && hcp(south) >= 6 && hcp(south) <= 10 && losers(south) <= 8\n"
    "  && controls(south) <= 3 && shape(south, x6xx - any 7xxx)",
};

struct Compiled {
  ConditionScript script;
  ConditionProgram program;
};

const Compiled& Script(size_t index) {
  static Compiled compiled[std::size(kScripts)];
  static bool ready = false;
  if (!ready) {
    for (size_t i = 0; i < std::size(kScripts); ++i) {
      ScriptError error;
      if (!ParseConditionScript(kScripts[i], compiled[i].script, error) ||
          !compiled[i].program.Compile(compiled[i].script, error) || !StartDealGenerator()) {
        std::abort();
      }
    }
    ready = true;
  }
  return compiled[index];
}

// Looks at exactly kDeals deals: more boards are asked for than there can be.
void SearchAll(const Compiled& compiled, int threads) {
  SearchRequest request;
  request.script = &compiled.script;
  request.program = &compiled.program;
  request.seed = DealSeed(16, 7);
  request.boards = INT_MAX;
  request.max_deals = kDeals;
  request.threads = threads;
  const SearchResult result = SearchConditionDeals(request);
  if (result.examined != kDeals) std::abort();
  benchmark::DoNotOptimize(result.boards.data());
}

// The same deals shuffled on one thread, chunk by chunk, with nothing looked at.
void ShuffleAll() {
  const uint64_t none[4] = {0, 0, 0, 0};
  const DealShuffler shuffler(none);
  const DealSeed seed(16, 7);
  uint64_t hands[4];
  for (uint32_t chunk = 0; chunk < kDeals / kSearchChunkDeals; ++chunk) {
    ChunkStream stream(SearchChunkKey(seed, chunk));
    for (uint64_t i = 0; i < kSearchChunkDeals; ++i) {
      shuffler.Next(stream, hands);
      benchmark::DoNotOptimize(hands);
    }
  }
}

template <typename Measured, typename Baseline>
void Compare(benchmark::State& state, Measured measured, Baseline baseline, const char* name) {
  RatioTimer timer;
  double seconds = 0;
  for (auto _ : state) {
    const auto t0 = RatioTimer::Clock::now();
    measured();
    const auto t1 = RatioTimer::Clock::now();
    baseline();
    const auto t2 = RatioTimer::Clock::now();
    timer.Add(state, t1 - t0, t2 - t1);
    seconds += std::chrono::duration<double>(t1 - t0).count();
  }
  timer.Report(state, name);
  state.counters["deals_per_s"] = benchmark::Counter(
      static_cast<double>(kDeals) * static_cast<double>(state.iterations()) / seconds);
}

// One thread: what evaluating the script costs on top of making the deals.
void BM_ScriptAgainstTheShuffleAlone(benchmark::State& state) {
  const Compiled& compiled = Script(static_cast<size_t>(state.range(0)));
  Compare(
      state, [&] { SearchAll(compiled, 1); }, ShuffleAll, "shuffle");
}
BENCHMARK(BM_ScriptAgainstTheShuffleAlone)
    ->DenseRange(0, std::size(kScripts) - 1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Every core against one thread: the ratio is one over the speed-up.
void BM_AllCoresAgainstOneThread(benchmark::State& state) {
  const Compiled& compiled = Script(static_cast<size_t>(state.range(0)));
  Compare(
      state, [&] { SearchAll(compiled, 0); }, [&] { SearchAll(compiled, 1); }, "one_thread");
}
BENCHMARK(BM_AllCoresAgainstOneThread)
    ->DenseRange(0, std::size(kScripts) - 1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
