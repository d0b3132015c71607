// The machine link's real paths against emulated machines (run under umockdev-wrapper):
//  - one "STAT" exchange through the link over the emulated hidraw node, and over the emulated
//    bulk device at full and at high speed, each against its floor: the same five packets moved
//    through the same emulation and firmware without the link (a raw hidraw descriptor, plain
//    libusb transfers), on a device of another vendor the link leaves alone;
//  - the longest stall of the link's thread while the HID machine refuses writes (the kernel
//    holds each report 5 s): the longest time between two looks at the clock during a send.
// The emulator socket's figure is bench_link's.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <libusb.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "BulkMachine.h"
#include "HidMachine.h"
#include "PacketFormat.h"
#include "Testbed.h"
#include "USBinterface.h"
#include "clock.h"
#include "log.h"
#include "platform/Backends.h"
#include "platform/Reactor.h"

namespace {

using usbemu::BulkMachine;
using usbemu::HidMachine;
using usbemu::Identity;

constexpr uint16_t kOtherVendor = 0x1234;  // the floors' devices: the link does not list them
constexpr uint32_t kStallId = 0x2B;

Identity Hid(uint16_t vendor, const char* serial, int port) {
  Identity id;
  id.vendor = vendor;
  id.serial = serial;
  id.port = port;
  return id;
}

Identity Bulk(uint16_t vendor, uint16_t product, const char* serial, int port) {
  Identity id = Hid(vendor, serial, port);
  id.product = product;
  return id;
}

// The system clock, remembering the longest time between two reads.
class GapClock : public qclock::Clock {
 public:
  uint32_t TickCount() override {
    const double now = Now();
    if (last_ > 0 && now - last_ > longest_) longest_ = now - last_;
    last_ = now;
    return static_cast<uint32_t>(now);
  }
  void Sleep(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
  void Reset() {
    last_ = 0;
    longest_ = 0;
  }
  double longest() const { return longest_; }
  static double Now() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
  }

 private:
  double last_ = 0;
  double longest_ = 0;
};

struct Rig {
  Rig() {
    TraceSetStandardOutput(nullptr);
    if (!usbemu::Testbed::Available()) {
      std::fprintf(stderr, "bench_usb: run under umockdev-wrapper\n");
      std::exit(2);
    }
    qplatform::Reactor::Instance().Install();
    CreateConnectionMutex();
    hid = std::make_unique<HidMachine>(bed, Hid(0x1781, "0000002A", 1), 0);
    stall = std::make_unique<HidMachine>(bed, Hid(0x1781, "0000002B", 2), 1);
    hid_floor = std::make_unique<HidMachine>(bed, Hid(kOtherVendor, "00000F00", 3), 2);
    bulk_full = std::make_unique<BulkMachine>(bed, Bulk(0x1781, 0x0c9f, "00000FF1", 4), false);
    bulk_high = std::make_unique<BulkMachine>(bed, Bulk(0x1781, 0x0c9f, "00000FF2", 5), true);
    floor_full = std::make_unique<BulkMachine>(bed, Bulk(kOtherVendor, 0x0f01, "", 6), false);
    floor_high = std::make_unique<BulkMachine>(bed, Bulk(kOtherVendor, 0x0f02, "", 7), true);
    for (usbemu::EmulatedMachine* m : {static_cast<usbemu::EmulatedMachine*>(hid.get()),
                                       static_cast<usbemu::EmulatedMachine*>(stall.get()),
                                       static_cast<usbemu::EmulatedMachine*>(hid_floor.get()),
                                       static_cast<usbemu::EmulatedMachine*>(bulk_full.get()),
                                       static_cast<usbemu::EmulatedMachine*>(bulk_high.get()),
                                       static_cast<usbemu::EmulatedMachine*>(floor_full.get()),
                                       static_cast<usbemu::EmulatedMachine*>(floor_high.get())}) {
      m->Plug();
    }
    hid_backend = qplatform::MakeHidapiBackend();
    bulk_backend = qplatform::MakeLibusbBackend();
    backends = std::make_unique<qplatform::ScopedBackends>(
        qplatform::Backends{hid_backend.get(), bulk_backend.get(), nullptr});
    for (uint32_t id : {0x2Au, kStallId, 0xFF1u, 0xFF2u}) {
      UsbInterface* device = FindDevice(id);
      if (device == nullptr || !device->ClientInit()) {
        std::fprintf(stderr, "bench_usb: machine %X not found\n", id);
        std::exit(2);
      }
      devices.push_back(device);
    }
    hid_fd = ::open("/dev/hidraw2", O_RDWR | O_NONBLOCK | O_CLOEXEC);
    libusb_init(&usb);
    full_handle = OpenFloor(0x0f01);
    high_handle = OpenFloor(0x0f02);
  }

  libusb_device_handle* OpenFloor(uint16_t product) {
    libusb_device_handle* handle = libusb_open_device_with_vid_pid(usb, kOtherVendor, product);
    if (handle == nullptr || libusb_claim_interface(handle, 0) != 0) {
      std::fprintf(stderr, "bench_usb: floor device %04x not found\n", product);
      std::exit(2);
    }
    return handle;
  }

  usbemu::Testbed bed;
  std::unique_ptr<HidMachine> hid, stall, hid_floor;
  std::unique_ptr<BulkMachine> bulk_full, bulk_high, floor_full, floor_high;
  std::unique_ptr<qplatform::HidBackend> hid_backend;
  std::unique_ptr<qplatform::BulkBackend> bulk_backend;
  std::unique_ptr<qplatform::ScopedBackends> backends;
  std::vector<UsbInterface*> devices;  // HID, stalling HID, bulk full speed, bulk high speed
  int hid_fd = -1;
  libusb_context* usb = nullptr;
  libusb_device_handle* full_handle = nullptr;
  libusb_device_handle* high_handle = nullptr;
};

// Never torn down: the emulation's threads outlive the benchmarks.
Rig& TheRig() {
  static Rig* rig = new Rig;
  return *rig;
}

void Exchange(benchmark::State& state, int which) {
  UsbInterface* device = TheRig().devices[static_cast<size_t>(which)];
  char reply[256];
  for (auto _ : state) {
    uint32_t length = 0;
    if (!device->SendCommand("STAT", 1000, reply, sizeof reply, &length) || length != 5) {
      state.SkipWithError("exchange failed");
      break;
    }
    benchmark::DoNotOptimize(reply);
  }
}

void BM_HidStatExchange(benchmark::State& state) {
  Exchange(state, 0);
}
void BM_BulkFullSpeedStatExchange(benchmark::State& state) {
  Exchange(state, 2);
}
void BM_BulkHighSpeedStatExchange(benchmark::State& state) {
  Exchange(state, 3);
}

// The floor on hidraw: two reports written, three read as soon as they are there.
void BM_HidFloor(benchmark::State& state) {
  const int fd = TheRig().hid_fd;
  uint32_t transmission = 0;
  for (auto _ : state) {
    const PacketRecord out[2] = {MakeHostHeader("bench", ++transmission), MakeCommand("STAT")};
    for (const PacketRecord& p : out) {
      if (::write(fd, p.bytes, kPacketRecordSize) != static_cast<ssize_t>(kPacketRecordSize)) {
        state.SkipWithError("write failed");
        return;
      }
    }
    for (int got = 0; got < 3;) {
      uint8_t report[64];
      const ssize_t n = ::read(fd, report, sizeof report);
      if (n > 0) {
        ++got;
      } else if (n < 0 && errno != EAGAIN) {
        state.SkipWithError("read failed");
        return;
      }
    }
  }
}

// The floor on usbfs: one OUT transfer of both packets, IN transfers until the three are in.
void BulkFloor(benchmark::State& state, libusb_device_handle* handle, int max_packet) {
  uint32_t transmission = 0;
  for (auto _ : state) {
    const PacketRecord out[2] = {MakeHostHeader("bench", ++transmission), MakeCommand("STAT")};
    uint8_t wire[2 * kPacketSize];
    for (int i = 0; i < 2; ++i) std::memcpy(wire + i * kPacketSize, out[i].bytes + 1, kPacketSize);
    int done = 0;
    if (libusb_bulk_transfer(handle, 0x02, wire, sizeof wire, &done, 1000) != 0) {
      state.SkipWithError("write failed");
      return;
    }
    // Full speed: one transfer gathers the three packets; high speed: each transfer ends with the
    // USB packet that brought what was ready.
    for (int got = 0; got < 3 * static_cast<int>(kPacketSize);) {
      uint8_t in[512];
      const int want = max_packet == 64 ? 3 * static_cast<int>(kPacketSize) - got : 512;
      if (libusb_bulk_transfer(handle, 0x81, in, want, &done, 1000) != 0) {
        state.SkipWithError("read failed");
        return;
      }
      got += done;
    }
  }
}

void BM_BulkFullSpeedFloor(benchmark::State& state) {
  BulkFloor(state, TheRig().full_handle, 64);
}
void BM_BulkHighSpeedFloor(benchmark::State& state) {
  BulkFloor(state, TheRig().high_handle, 512);
}

// A send of two packets while the HID machine takes no report: the send gives up at its own
// time-out (1006 ms); the stall is the longest stretch in which the link did not look at its
// clock, so could not have given up or moved on.
void BM_HidStallWhileWritesRefused(benchmark::State& state) {
  Rig& rig = TheRig();
  rig.stall->RefuseWrites(true, 5000);
  GapClock clock;
  qclock::ScopedClock scoped(&clock);
  const PacketRecord packets[2] = {MakeHostHeader("bench", 1), MakeCommand("STAT")};
  double longest = 0;
  double overshoot = 0;
  for (auto _ : state) {
    clock.Reset();
    const double start = GapClock::Now();
    benchmark::DoNotOptimize(rig.devices[1]->SendBuffer(packets, 2, -1, -1));
    overshoot = std::max(overshoot, GapClock::Now() - start - 1006);
    longest = std::max(longest, clock.longest());
  }
  state.counters["longest_stall_ms"] = longest;
  state.counters["past_timeout_ms"] = overshoot;
}

BENCHMARK(BM_HidStatExchange)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HidFloor)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BulkFullSpeedStatExchange)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BulkFullSpeedFloor)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BulkHighSpeedStatExchange)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BulkHighSpeedFloor)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HidStallWhileWritesRefused)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
