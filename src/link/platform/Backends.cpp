#include "Backends.h"

namespace qplatform {
namespace {

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
    real.hid = MakeHidapiBackend();
    real.bulk = MakeLibusbBackend();
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
