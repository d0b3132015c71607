// One command exchange over the emulator link ("STAT" answered by a HEADER, one DATA packet
// "01 busy" and a STATUS), against the floor: the same five packets bounced over a bare
// SOCK_SEQPACKET socket pair between the same two threads.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "PacketFormat.h"
#include "USBinterface.h"
#include "log.h"
#include "platform/Backends.h"
#include "platform/FakeBackend.h"

namespace {

// The machine thread: answers every COMMAND on any of its sockets with the STAT reply.
class Machine {
 public:
  void Add(int fd) { fds_[count_++] = fd; }
  void Start() {
    thread_ = std::thread([this] { Run(); });
  }
  void Stop() {
    stop_ = true;
    thread_.join();
  }

 private:
  void Run() {
    uint32_t transmission[2] = {0, 0};
    while (!stop_) {
      pollfd fds[2];
      for (int i = 0; i < count_; ++i) fds[i] = {fds_[i], POLLIN, 0};
      if (::poll(fds, static_cast<nfds_t>(count_), 20) <= 0) continue;
      for (int i = 0; i < count_; ++i) {
        if ((fds[i].revents & POLLIN) == 0) continue;
        PacketRecord p;
        if (::recv(fds_[i], p.bytes, sizeof p.bytes, MSG_DONTWAIT) != 65) continue;
        if (PacketTypeOf(p) == PACKET_HEADER) transmission[i] = HeaderTransmission(p);
        if (PacketTypeOf(p) != PACKET_COMMAND) continue;
        for (const PacketRecord& r : MakeReply(transmission[i], "01 busy", 7)) {
          ::send(fds_[i], r.bytes, kPacketRecordSize, MSG_NOSIGNAL);
        }
      }
    }
  }

  int fds_[2] = {-1, -1};
  int count_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

int Connect(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) std::abort();
  return fd;
}

struct Rig {
  Rig() {
    TraceSetStandardOutput(nullptr);
    char pattern[] = "/tmp/quadrelle-bench-XXXXXX";
    dir = ::mkdtemp(pattern);
    emulator = std::make_unique<qplatform::EmulatorLink>(dir);
    backends = std::make_unique<qplatform::ScopedBackends>(
        qplatform::Backends{&hid, &bulk, emulator.get()});
    CreateConnectionMutex();
    FindDevice(0);  // creates the slots
    machine.Add(Connect(emulator->SlotPath(0)));
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) std::abort();
    floor_fd = pair[0];
    machine.Add(pair[1]);
    machine.Start();
    device = FindDevice(0);
    if (device == nullptr || !device->ClientInit()) std::abort();
  }
  ~Rig() {
    delete device;
    machine.Stop();
    backends.reset();
    emulator.reset();
    ::rmdir(dir.c_str());
  }

  std::string dir;
  qplatform::FakeHidBackend hid;
  qplatform::FakeBulkBackend bulk;
  std::unique_ptr<qplatform::EmulatorLink> emulator;
  std::unique_ptr<qplatform::ScopedBackends> backends;
  Machine machine;
  int floor_fd = -1;
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

void BM_SocketFloor(benchmark::State& state) {
  Rig& rig = TheRig();
  uint32_t transmission = 0;
  for (auto _ : state) {
    const PacketRecord out[2] = {MakeHostHeader("bench", ++transmission), MakeCommand("STAT")};
    for (const PacketRecord& p : out) ::send(rig.floor_fd, p.bytes, kPacketRecordSize, 0);
    for (int i = 0; i < 3; ++i) {
      PacketRecord in;
      if (::recv(rig.floor_fd, in.bytes, sizeof in.bytes, 0) != 65) {
        state.SkipWithError("floor failed");
        break;
      }
      benchmark::DoNotOptimize(in);
    }
  }
}
BENCHMARK(BM_SocketFloor)->UseRealTime();

}  // namespace
