// One command exchange over the emulator link ("STAT" answered by a HEADER, one DATA packet
// "01 busy" and a STATUS), against the floor: the same five records bounced over the system's
// bare channel of the same kind (a SOCK_SEQPACKET socket pair on POSIX, a message-mode named
// pipe on Windows) between the same two threads (LinkMachine.h). BM_ExchangeOverFloor times
// both in each iteration; its "ratio" counter is the exchange's time over the floor's.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "LinkMachine.h"
#include "PacketFormat.h"
#include "RatioTimer.h"
#include "USBinterface.h"
#include "log.h"
#include "platform/Backends.h"
#include "platform/FakeBackend.h"

namespace {

struct Rig {
  Rig() {
    TraceSetStandardOutput(nullptr);
    dir = linkbench::MakeSlotFolder();
    emulator = std::make_unique<qplatform::EmulatorLink>(dir);
    backends = std::make_unique<qplatform::ScopedBackends>(
        qplatform::Backends{&hid, &bulk, emulator.get()});
    CreateConnectionMutex();
    FindDevice(0);  // creates the slots
    machine = std::make_unique<linkbench::Machine>(emulator->SlotPath(0));
    device = FindDevice(0);
    if (device == nullptr || !device->ClientInit()) std::abort();
  }
  ~Rig() {
    delete device;
    machine.reset();
    backends.reset();
    emulator.reset();
    linkbench::RemoveSlotFolder(dir);
  }

  std::string dir;
  qplatform::FakeHidBackend hid;
  qplatform::FakeBulkBackend bulk;
  std::unique_ptr<qplatform::EmulatorLink> emulator;
  std::unique_ptr<qplatform::ScopedBackends> backends;
  std::unique_ptr<linkbench::Machine> machine;
  UsbInterface* device = nullptr;
};

Rig& TheRig() {
  static Rig rig;
  return rig;
}

bool Exchange(Rig& rig) {
  char reply[256];
  uint32_t length = 0;
  const bool done = rig.device->SendCommand("STAT", 1000, reply, sizeof reply, &length) != 0;
  benchmark::DoNotOptimize(reply);
  return done && length == 7;
}

bool Floor(Rig& rig) {
  static uint32_t transmission = 0;
  const PacketRecord out[2] = {MakeHostHeader("bench", ++transmission), MakeCommand("STAT")};
  PacketRecord in[3];
  const bool done = rig.machine->FloorExchange(out, in);
  benchmark::DoNotOptimize(in);
  return done;
}

void BM_StatExchange(benchmark::State& state) {
  Rig& rig = TheRig();
  for (auto _ : state) {
    if (!Exchange(rig)) {
      state.SkipWithError("exchange failed");
      break;
    }
  }
}
BENCHMARK(BM_StatExchange)->UseRealTime();

void BM_Floor(benchmark::State& state) {
  Rig& rig = TheRig();
  for (auto _ : state) {
    if (!Floor(rig)) {
      state.SkipWithError("floor failed");
      break;
    }
  }
}
[[maybe_unused]] benchmark::internal::Benchmark* const floor_benchmark =
    benchmark::RegisterBenchmark(linkbench::FloorName(), BM_Floor)->UseRealTime();

// One exchange and one floor exchange right after it, so that both meet the machine in the same
// state (a busy neighbour slows both alike).
void BM_ExchangeOverFloor(benchmark::State& state) {
  Rig& rig = TheRig();
  RatioTimer timer;
  for (auto _ : state) {
    const auto t0 = RatioTimer::Clock::now();
    const bool exchanged = Exchange(rig);
    const auto t1 = RatioTimer::Clock::now();
    const bool floored = Floor(rig);
    const auto t2 = RatioTimer::Clock::now();
    if (!exchanged || !floored) {
      state.SkipWithError("exchange failed");
      break;
    }
    timer.Add(state, t1 - t0, t2 - t1);
  }
  timer.Report(state, "floor");
}
BENCHMARK(BM_ExchangeOverFloor)->UseManualTime();

}  // namespace
