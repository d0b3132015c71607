// Loading a 10,000-board PBN file against loading a BRI file of the same deals. Each iteration
// times both, one after the other, so that they share the machine's state; the "ratio" counter
// is the PBN time over the BRI time (target: at most 10).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "BriDup.h"
#include "DealWrite.h"
#include "RatioTimer.h"
#include "log.h"

namespace {

constexpr int kBoards = 10000;

// Both files, written by our own writers from the same random deals, for the program's life.
class BoardFiles {
 public:
  BoardFiles() {
    std::string pattern = (std::filesystem::temp_directory_path() / "bench-pbn-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    dir_ = pattern;
    std::mt19937 random(11);
    DealSet deals;
    Deal deal;
    for (int i = 0; i < kCardsInDeck; ++i) deal.cards[i] = static_cast<uint8_t>(i + 1);
    for (int board = 0; board < kBoards; ++board) {
      std::shuffle(deal.cards, deal.cards + kCardsInDeck, random);
      Deal stored = deal;
      std::sort(stored.HandCards(kWest), stored.HandCards(kWest) + kCardsInHand);
      deals.push_back(stored);
    }
    bri_ = (dir_ / "deals.bri").string();
    pbn_ = (dir_ / "deals.pbn").string();
    if (!WriteDealFile(bri_.c_str(), deals, DealFileKind::kBri) ||
        !WriteDealFile(pbn_.c_str(), deals, DealFileKind::kPbn)) {
      std::abort();
    }
  }
  ~BoardFiles() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  const std::string& Bri() const { return bri_; }
  const std::string& Pbn() const { return pbn_; }

 private:
  std::filesystem::path dir_;
  std::string bri_, pbn_;
};

const BoardFiles& Files() {
  static const BoardFiles files;
  return files;
}

void Load(const std::string& path) {
  DealSet deals;
  if (!LoadDealFile(path.c_str(), deals) || deals.size() != kBoards) std::abort();
  benchmark::DoNotOptimize(deals);
}

void BM_PbnAgainstBri(benchmark::State& state) {
  const BoardFiles& files = Files();
  TraceSetStandardOutput(nullptr);
  RatioTimer timer;
  for (auto _ : state) {
    const auto t0 = RatioTimer::Clock::now();
    Load(files.Bri());
    const auto t1 = RatioTimer::Clock::now();
    Load(files.Pbn());
    const auto t2 = RatioTimer::Clock::now();
    timer.Add(state, t2 - t1, t1 - t0);
  }
  timer.Report(state, "bri");
  state.SetBytesProcessed(
      static_cast<int64_t>(state.iterations() * std::filesystem::file_size(files.Pbn())));
}
BENCHMARK(BM_PbnAgainstBri)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
