// Loading a 100,000-deal file against the floor: the same file read into memory with one read
// call. Each iteration times both, one after the other, so that they share the machine's state;
// the "ratio" counter is the load time over the floor time (target: at most 2).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "BriDup.h"
#include "RatioTimer.h"
#include "log.h"

namespace {

constexpr int kDeals = 100000;

// A folder of generated deal files that lives as long as the program.
class DealFiles {
 public:
  DealFiles() {
    std::string pattern = (std::filesystem::temp_directory_path() / "bench-deals-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    dir_ = pattern;
    bri_ = Generate("deals.bri", kBriRecordSize);
    dup_ = Generate("deals.dup", kDupRecordSize);
  }
  ~DealFiles() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  const std::string& Path(uint32_t record_size) const {
    return record_size == kBriRecordSize ? bri_ : dup_;
  }

 private:
  std::string Generate(const char* name, uint32_t record_size) {
    std::mt19937 random(record_size);
    uint8_t deck[kCardsInDeck];
    for (int i = 0; i < kCardsInDeck; ++i) deck[i] = static_cast<uint8_t>(i + 1);
    std::string bytes;
    bytes.reserve(static_cast<size_t>(kDeals) * record_size);
    for (int deal = 0; deal < kDeals; ++deal) {
      std::shuffle(deck, deck + kCardsInDeck, random);
      const size_t start = bytes.size();
      for (int i = 0; i < 39; ++i) {
        bytes += static_cast<char>('0' + deck[i] / 10);
        bytes += static_cast<char>('0' + deck[i] % 10);
      }
      bytes.resize(start + record_size, ' ');
    }
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  std::filesystem::path dir_;
  std::string bri_, dup_;
};

const DealFiles& Files() {
  static const DealFiles files;
  return files;
}

// The floor: open, one read of the whole file into a fresh buffer, close.
void ReadWholeFile(const std::string& path, size_t size) {
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[size]);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  const ssize_t got = ::read(fd, buffer.get(), size);
  ::close(fd);
  if (got != static_cast<ssize_t>(size)) std::abort();
  benchmark::DoNotOptimize(buffer.get());
}

void BM_LoadAgainstFloor(benchmark::State& state) {
  const uint32_t record_size = static_cast<uint32_t>(state.range(0));
  const std::string& path = Files().Path(record_size);
  const size_t size = std::filesystem::file_size(path);
  TraceSetStandardOutput(nullptr);
  RatioTimer timer;
  for (auto _ : state) {
    const auto t0 = RatioTimer::Clock::now();
    ReadWholeFile(path, size);
    const auto t1 = RatioTimer::Clock::now();
    DealSet deals;
    if (!LoadDealFile(path.c_str(), deals) || deals.size() != kDeals) std::abort();
    benchmark::DoNotOptimize(deals);
    const auto t2 = RatioTimer::Clock::now();
    timer.Add(state, t2 - t1, t1 - t0);
  }
  timer.Report(state, "floor");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_LoadAgainstFloor)
    ->Arg(kBriRecordSize)
    ->Arg(kDupRecordSize)
    ->ArgName("record")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
