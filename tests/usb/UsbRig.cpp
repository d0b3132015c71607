#include "UsbRig.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/Reactor.h"

namespace usbemu {

uint32_t JumpClock::TickCount() {
  using namespace std::chrono;
  const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  return static_cast<uint32_t>(ms) + offset_.load();
}

void JumpClock::Sleep(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

Identity BulkIdentity(int port, std::string serial) {
  Identity id;
  id.product = 0x0c9f;
  id.serial = std::move(serial);
  id.name = "Bulk dealer";
  id.port = port;
  return id;
}

std::string BulkPath(const std::string& instance, uint16_t product) {
  return qplatform::BulkDevicePath(0x1781, product, instance);
}

const char* PathName(Path path) {
  switch (path) {
    case Path::kHid:
      return "Hid";
    case Path::kBulkFullSpeed:
      return "BulkFullSpeed";
    case Path::kBulkHighSpeed:
      return "BulkHighSpeed";
  }
  return "?";
}

UsbRig::UsbRig() {
  // QUADRELLE_USB_TRACE=1 shows the link's trace lines while a test runs by hand.
  TraceSetStandardOutput(std::getenv("QUADRELLE_USB_TRACE") != nullptr ? stderr : nullptr);
  TraceSetFileName("/tmp/quadrelle-usb-link-trace.txt");
  qplatform::Reactor::Instance().Install();
  ConnectionList().clear();
  CreateConnectionMutex();
  hid_ = qplatform::MakeHidapiBackend();
  bulk_ = qplatform::MakeLibusbBackend();
  backends_ = std::make_unique<qplatform::ScopedBackends>(
      qplatform::Backends{hid_.get(), bulk_.get(), nullptr});
}

UsbRig::~UsbRig() {
  for (UsbInterface* device : owned_) delete device;
  ConnectionList().clear();
  backends_.reset();
  bulk_.reset();
  hid_.reset();
  machines_.clear();
}

void UsbRig::SetUp() {
  ASSERT_TRUE(Testbed::Available()) << "run this program under umockdev-wrapper";
}

HidMachine& UsbRig::AddHid(Identity identity, int index) {
  auto machine = std::make_unique<HidMachine>(bed_, std::move(identity), index);
  HidMachine& ref = *machine;
  machines_.push_back(std::move(machine));
  ref.Plug();
  return ref;
}

BulkMachine& UsbRig::AddBulk(Identity identity, bool high_speed, BulkShape shape) {
  auto machine = std::make_unique<BulkMachine>(bed_, std::move(identity), high_speed, shape);
  BulkMachine& ref = *machine;
  machines_.push_back(std::move(machine));
  ref.Plug();
  return ref;
}

EmulatedMachine& UsbRig::AddMachine(Path path) {
  if (path == Path::kHid) return AddHid(Identity{}, 0);
  return AddBulk(BulkIdentity(), path == Path::kBulkHighSpeed);
}

UsbInterface* UsbRig::Open() {
  UsbInterface* device = FindDevice(0);
  if (device != nullptr) {
    owned_.push_back(device);
    device->ClientInit();
  }
  return device;
}

void UsbRig::Destroy(UsbInterface* device) {
  std::erase(owned_, device);
  delete device;
}

std::string UsbRig::Command(UsbInterface* device, const char* command, bool* ok) {
  char reply[4096];
  uint32_t length = 0;
  const bool done = device->SendCommand(command, 1000, reply, sizeof reply, &length) == 1;
  if (ok != nullptr) *ok = done;
  return done ? std::string(reply, length) : std::string();
}

}  // namespace usbemu

namespace usbemu {

CmdResult UsbRig::RunCmd(const std::vector<std::string>& arguments, bool other_user) {
  std::vector<std::string> words = {QUADRELLE_CMD};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  int out[2];
  if (::pipe(out) != 0) return {};
  const bool drop = other_user && ::geteuid() == 0;
  const pid_t pid = ::fork();
  if (pid == 0) {
    // Only what is safe between fork and exec in a program with threads.
    ::dup2(out[1], 1);
    ::dup2(out[1], 2);
    ::close(out[0]);
    if (drop && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      ::_exit(126);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  CmdResult result;
  char buffer[512];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) != 0;) {
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    result.output.append(buffer, static_cast<size_t>(n));
  }
  ::close(out[0]);
  int raw = 0;
  while (::waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
  }
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return result;
}

void UsbRig::JumpWhenStalled(EmulatedMachine& machine, uint32_t ms) {
  machine.OnStall([this, ms] { clock_.Jump(ms); });
}

}  // namespace usbemu
