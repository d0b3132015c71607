// Loading a 10,000-board PBN file against loading a BRI file of the same deals. Each iteration
// times both, one after the other, so that they share the machine's state; the "ratio" counter
// is the PBN time over the BRI time (target: at most 10).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "BriDup.h"
#include "DealWrite.h"
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

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

void Load(const std::string& path) {
  DealSet deals;
  if (!LoadDealFile(path.c_str(), deals) || deals.size() != kBoards) std::abort();
  benchmark::DoNotOptimize(deals);
}

void BM_PbnAgainstBri(benchmark::State& state) {
  const BoardFiles& files = Files();
  TraceSetStandardOutput(nullptr);
  double bri = 0, pbn = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    Load(files.Bri());
    const auto t1 = std::chrono::steady_clock::now();
    Load(files.Pbn());
    const auto t2 = std::chrono::steady_clock::now();
    bri += Seconds(t1 - t0);
    pbn += Seconds(t2 - t1);
    state.SetIterationTime(Seconds(t2 - t1));
  }
  state.counters["bri_ms"] = benchmark::Counter(bri * 1e3 / state.iterations());
  state.counters["ratio"] = benchmark::Counter(pbn / bri);
  state.SetBytesProcessed(
      static_cast<int64_t>(state.iterations() * std::filesystem::file_size(files.Pbn())));
}
BENCHMARK(BM_PbnAgainstBri)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
