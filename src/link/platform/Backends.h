// The backends the link drives: one per device kind. The real ones (hidapi, libusb) are made
// on first use; a build without one of the libraries drives a backend that lists no device of
// that kind instead; tests install fakes. The emulator link exists only once it is switched on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "DeviceHandle.h"
#include "EmuBackend.h"

namespace qplatform {

struct Backends {
  HidBackend* hid = nullptr;
  BulkBackend* bulk = nullptr;
  EmulatorLink* emulator = nullptr;  // nullptr: the emulator link is switched off
};

// The installed backends (the real HID and bulk backends unless a test installed others). The
// first call makes the real ones; their libraries start only when first listed or opened.
// Never blocks. The set stays owned here (real ones) or by whoever installed it.
Backends& CurrentBackends();
// Installs other backends (tests); returns the previous set. The caller keeps ownership and
// must keep them alive while installed. Never blocks.
Backends SetBackends(const Backends& backends);

// Switches the emulator link on or off. On: an EmulatorLink in
// EmulatorLink::DefaultDirectory(), whose slots listen from the next search on. Off: its slots
// are closed and their socket files removed. Never blocks.
void EnableEmulator(bool on);

// The HID backend over hidapi (hidraw), in builds with QUADRELLE_WITH_HIDAPI; see
// DeviceHandle.h for what its calls return and how long they may take. hid_init runs at the
// first listing or open; the caller owns the backend.
std::unique_ptr<HidBackend> MakeHidapiBackend();
// The bulk machine's device path: \\?\usb#vid_VVVV&pid_PPPP#INSTANCE#{101f9e3f-...}, its
// INSTANCE being the serial number when that is 1 to 8 hexadecimal digits, else the bus number
// and the last (up to three) port numbers, two hexadecimal digits each. Pure functions.
std::string BulkInstance(const std::string& serial, uint8_t bus, const uint8_t* ports, int depth);
std::string BulkDevicePath(uint16_t vendor, uint16_t product, const std::string& instance);
// The bulk backend over libusb-1.0, in builds with QUADRELLE_WITH_LIBUSB; see DeviceHandle.h
// for what its calls return and how long they may take. libusb_init runs at the first listing
// or open; the caller owns the backend, which releases every machine still claimed when it is
// destroyed.
std::unique_ptr<BulkBackend> MakeLibusbBackend();

// The bulk backend over the maker's driver on Windows (SetupDi, CreateFile on the two pipes),
// in builds with QUADRELLE_WITH_SETUPDI; see win/BulkBackend.cpp. Listing never waits on a
// device; opening a pipe waits only for the driver. The caller owns the backend.
std::unique_ptr<BulkBackend> MakeSetupDiBackend();

// Installs a backend set for the lifetime of a scope (tests).
class ScopedBackends {
 public:
  explicit ScopedBackends(const Backends& backends) : previous_(SetBackends(backends)) {}
  ~ScopedBackends() { SetBackends(previous_); }
  ScopedBackends(const ScopedBackends&) = delete;
  ScopedBackends& operator=(const ScopedBackends&) = delete;

 private:
  Backends previous_;
};

}  // namespace qplatform
