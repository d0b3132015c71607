#include "Backends.h"

namespace qplatform {
namespace {

// The backends of a kind this build has no library for: they list no device, so the search
// passes over the kind as it does when no machine of it is plugged in.
bool ListNothing(std::vector<InterfaceEntry>* entries, LinkError* error) {
  entries->clear();
  *error = LinkError::kSuccess;
  return true;
}

class NoHidDevices : public HidBackend {
 public:
  bool ListInterfaces(std::vector<InterfaceEntry>* entries, LinkError* error) override {
    return ListNothing(entries, error);
  }
  std::unique_ptr<HidDevice> Open(const std::string&, LinkError* error) override {
    *error = LinkError::kFileNotFound;
    return nullptr;
  }
};

class NoBulkDevices : public BulkBackend {
 public:
  bool ListInterfaces(std::vector<InterfaceEntry>* entries, LinkError* error) override {
    return ListNothing(entries, error);
  }
  std::unique_ptr<PipeDevice> Open(const std::string&, LinkError* error) override {
    *error = LinkError::kFileNotFound;
    return nullptr;
  }
  bool Probe(const std::string&, LinkError* error) override {
    *error = LinkError::kFileNotFound;
    return false;
  }
};

std::unique_ptr<HidBackend> MakeHid() {
#if QUADRELLE_WITH_HIDAPI
  return MakeHidapiBackend();
#else
  return std::make_unique<NoHidDevices>();
#endif
}

std::unique_ptr<BulkBackend> MakeBulk() {
#if QUADRELLE_WITH_SETUPDI
  return MakeSetupDiBackend();
#elif QUADRELLE_WITH_LIBUSB
  return MakeLibusbBackend();
#else
  return std::make_unique<NoBulkDevices>();
#endif
}

struct Owned {
  std::unique_ptr<HidBackend> hid;
  std::unique_ptr<BulkBackend> bulk;
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
