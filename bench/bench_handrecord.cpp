// The analysis of the 32 boards of the sample session against calling DDS alone on the same
// deals (its batch table call and the par for each board). Each iteration times both, one after
// the other; the "ratio" counter is ours over DDS's (target: at most 1.2).
#include <benchmark/benchmark.h>
#include <dds/dll.h>

#include <cstdlib>
#include <limits>
#include <vector>

#include "Analysis.h"
#include "BoardInfo.h"
#include "BoardSelection.h"
#include "BriDup.h"
#include "RatioTimer.h"
#include "log.h"

namespace {

std::vector<AnalysedBoard> SampleBoards() {
  TraceSetStandardOutput(nullptr);
  DealSet deals;
  std::vector<int> numbers;
  if (!LoadNumberedDealFile(QUADRELLE_EXAMPLES_DIR "/sample-session.pbn", deals, &numbers) ||
      deals.size() != 32) {
    std::abort();
  }
  return SelectBoards(deals, numbers, 1, std::numeric_limits<int>::max());
}

// The same deals as DDS takes them, made before the clock starts.
ddTableDeals DdsDeals(const std::vector<AnalysedBoard>& boards) {
  ddTableDeals deals{};
  deals.noOfTables = static_cast<int>(boards.size());
  for (size_t k = 0; k < boards.size(); ++k) {
    for (int hand = kNorth; hand <= kWest; ++hand) {
      for (int i = 0; i < kCardsInHand; ++i) {
        const int card = boards[k].deal.HandCards(hand)[i];
        deals.deals[k].cards[hand][SuitIndex(card)] |= 1u << (14 - RankIndex(card));
      }
    }
  }
  return deals;
}

void DdsAlone(ddTableDeals& deals, const std::vector<AnalysedBoard>& boards) {
  static const int kVulnerability[4] = {0, 2, 3, 1};  // none, NS, EW, both as DDS counts them
  int all_strains[DDS_STRAINS] = {0, 0, 0, 0, 0};
  ddTablesRes results{};
  allParResults unused{};
  if (CalcAllTables(&deals, -1, all_strains, &results, &unused) != RETURN_NO_FAULT) std::abort();
  for (size_t k = 0; k < boards.size(); ++k) {
    parResultsMaster par{};
    DealerParBin(&results.results[k], &par, BoardDealer(boards[k].number),
                 kVulnerability[static_cast<int>(BoardVulnerability(boards[k].number))]);
    benchmark::DoNotOptimize(par);
  }
}

void BM_AnalysisAgainstDdsAlone(benchmark::State& state) {
  const std::vector<AnalysedBoard> sample = SampleBoards();
  ddTableDeals deals = DdsDeals(sample);
  RatioTimer timer;
  for (auto _ : state) {
    std::vector<AnalysedBoard> boards = sample;
    std::string error;
    const auto t0 = RatioTimer::Clock::now();
    if (!AnalyseBoards(boards, error)) std::abort();
    const auto t1 = RatioTimer::Clock::now();
    DdsAlone(deals, sample);
    const auto t2 = RatioTimer::Clock::now();
    timer.Add(state, t1 - t0, t2 - t1);
  }
  timer.Report(state, "dds");
}
BENCHMARK(BM_AnalysisAgainstDdsAlone)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(4);

}  // namespace
