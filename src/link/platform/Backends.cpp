#include "Backends.h"

namespace qplatform {
namespace {

// The backend of a kind this build has no library for: it lists no device, so the search
// passes over the kind as it does when no machine of it is plugged in.
class NoDevices : public DeviceBackend {
 public:
  bool ListInterfaces(std::vector<InterfaceEntry>* entries, LinkError* error) override {
    entries->clear();
    *error = LinkError::kSuccess;
    return true;
  }
  std::unique_ptr<DeviceHandle> Open(const std::string&, OpenMode, LinkError* error) override {
    *error = LinkError::kFileNotFound;
    return nullptr;
  }
};

std::unique_ptr<DeviceBackend> MakeHid() {
#if QUADRELLE_WITH_HIDAPI
  return MakeHidapiBackend();
#else
  return std::make_unique<NoDevices>();
#endif
}

std::unique_ptr<DeviceBackend> MakeBulk() {
#if QUADRELLE_WITH_LIBUSB
  return MakeLibusbBackend();
#else
  return std::make_unique<NoDevices>();
#endif
}

struct Owned {
  std::unique_ptr<DeviceBackend> hid;
  std::unique_ptr<DeviceBackend> bulk;
  std::unique_ptr<EmulatorLink> emulator;
};

Owned& Real() {
  static Owned owned;
  return owned;
}

Backends& Installed() {
  static Backends backends = [] {
    Owned& real = Real();
    real.hid = MakeHid();
    real.bulk = MakeBulk();
    return Backends{real.hid.get(), real.bulk.get(), nullptr};
  }();
  return backends;
}

}  // namespace

Backends& CurrentBackends() {
  return Installed();
}

Backends SetBackends(const Backends& backends) {
  Backends previous = Installed();
  Installed() = backends;
  return previous;
}

void EnableEmulator(bool on) {
  Owned& real = Real();
  Backends& installed = Installed();
  if (on) {
    if (!real.emulator) real.emulator = std::make_unique<EmulatorLink>();
    installed.emulator = real.emulator.get();
  } else {
    if (installed.emulator == real.emulator.get()) installed.emulator = nullptr;
    real.emulator.reset();
  }
}

}  // namespace qplatform
