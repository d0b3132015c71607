// Generating 100,000 deals against drawing the same random bytes alone, seeded and from the
// operating system. Each iteration times both, one after the other; the "ratio" counter is the
// generation's time over the bytes' time: what the shuffle and the hands cost on top.
#include <benchmark/benchmark.h>
#include <sodium.h>

#include <cstdlib>

#include "DealGenerator.h"
#include "RatioTimer.h"

namespace {

constexpr int kDeals = 100000;
constexpr const char* kSeed = "5175616472656c6c652062656e636821";

const DealSeed& Seed() {
  static const DealSeed seed = [] {
    DealSeed parsed;
    std::string error;
    if (!ParseDealSeed(kSeed, parsed, error) || !StartDealGenerator()) std::abort();
    return parsed;
  }();
  return seed;
}

// Every board's key and the 256 bytes of its stream a deal takes (a rejected word is rarer than
// one deal in a million).
void SeededBytes() {
  uint8_t bytes[256];
  for (uint32_t board = 1; board <= kDeals; ++board) {
    const StreamKey key = BoardStreamKey(Seed(), board);
    randombytes_buf_deterministic(bytes, sizeof bytes, key.data());
    benchmark::DoNotOptimize(bytes);
  }
}

// The 51 draws of a shuffle, each below the number of cards left.
void SystemDraws() {
  for (int deal = 0; deal < kDeals; ++deal) {
    for (uint32_t n = kCardsInDeck; n > 1; --n) benchmark::DoNotOptimize(randombytes_uniform(n));
  }
}

template <typename Bytes>
void Compare(benchmark::State& state, const DealSeed* seed, Bytes bytes) {
  RatioTimer timer;
  for (auto _ : state) {
    const auto t0 = RatioTimer::Clock::now();
    DealSet deals;
    if (!GenerateDeals(kDeals, 1, seed, deals)) std::abort();
    benchmark::DoNotOptimize(deals);
    const auto t1 = RatioTimer::Clock::now();
    bytes();
    const auto t2 = RatioTimer::Clock::now();
    timer.Add(state, t1 - t0, t2 - t1);
  }
  timer.Report(state, "bytes");
}

void BM_SeededDealsAgainstTheirStreams(benchmark::State& state) {
  Compare(state, &Seed(), SeededBytes);
}
BENCHMARK(BM_SeededDealsAgainstTheirStreams)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_SystemDealsAgainstTheirDraws(benchmark::State& state) {
  Seed();
  Compare(state, nullptr, SystemDraws);
}
BENCHMARK(BM_SystemDealsAgainstTheirDraws)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
