// One command exchange over the emulator link ("STAT" answered by a HEADER, one DATA packet
// "01 busy" and a STATUS), against the floor: the same five records bounced over the system's
// bare channel of the same kind (a SOCK_SEQPACKET socket pair on POSIX, a message-mode named
// pipe on Windows) between the same two threads (LinkMachine.h).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "LinkMachine.h"
#include "PacketFormat.h"
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

void BM_StatExchange(benchmark::State& state) {
  Rig& rig = TheRig();
  char reply[256];
  for (auto _ : state) {
    uint32_t length = 0;
    if (!rig.device->SendCommand("STAT", 1000, reply, sizeof reply, &length) || length != 7) {
      state.SkipWithError("exchange failed");
      break;
    }
    benchmark::DoNotOptimize(reply);
  }
}
BENCHMARK(BM_StatExchange)->UseRealTime();

void BM_Floor(benchmark::State& state) {
  Rig& rig = TheRig();
  uint32_t transmission = 0;
  for (auto _ : state) {
    const PacketRecord out[2] = {MakeHostHeader("bench", ++transmission), MakeCommand("STAT")};
    PacketRecord in[3];
    if (!rig.machine->FloorExchange(out, in)) {
      state.SkipWithError("floor failed");
      break;
    }
    benchmark::DoNotOptimize(in);
  }
}
[[maybe_unused]] benchmark::internal::Benchmark* const floor_benchmark =
    benchmark::RegisterBenchmark(linkbench::FloorName(), BM_Floor)->UseRealTime();

}  // namespace
