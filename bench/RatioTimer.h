// Two timings per iteration, taken one right after the other so that they share the machine's
// state: the measured part is the iteration's time, the baseline its yardstick. After the loop,
// Report gives the baseline's mean as "<name>_ms" and "ratio", the measured time over the
// baseline's: absolute times are noise on a shared machine, their ratio is what counts.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

class RatioTimer {
 public:
  using Clock = std::chrono::steady_clock;

  // One iteration's two times.
  void Add(benchmark::State& state, Clock::duration measured, Clock::duration baseline) {
    measured_ += Seconds(measured);
    baseline_ += Seconds(baseline);
    state.SetIterationTime(Seconds(measured));
  }

  void Report(benchmark::State& state, const std::string& baseline_name) const {
    state.counters[baseline_name + "_ms"] =
        benchmark::Counter(baseline_ * 1e3 / static_cast<double>(state.iterations()));
    state.counters["ratio"] = benchmark::Counter(measured_ / baseline_);
  }

 private:
  static double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

  double measured_ = 0;
  double baseline_ = 0;
};
