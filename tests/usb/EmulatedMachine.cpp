#include "EmulatedMachine.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace usbemu {

qsim::MachineOptions FastMachine() {
  qsim::MachineOptions options;
  options.card_ms = 1;
  return options;
}

std::vector<uint8_t> StringDescriptor(const std::string& text) {
  std::vector<uint8_t> out = {static_cast<uint8_t>(2 + 2 * text.size()), 3};
  for (char c : text) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(0);
  }
  return out;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string out;
  char two[3];
  for (uint8_t b : bytes) {
    std::snprintf(two, sizeof two, "%02X", b);
    out += two;
  }
  return out;
}

EmulatedMachine::EmulatedMachine(Testbed& bed, Identity identity, qsim::MachineOptions options)
    : bed_(bed),
      identity_(std::move(identity)),
      handler_(umockdev_ioctl_base_new()),
      state_(std::make_unique<qsim::SimState>(std::move(options))),
      alive_(std::make_shared<bool>(true)) {
  server_ = std::make_unique<qsim::PacketServer>(*state_, [](const std::string&) {});
  g_signal_connect(handler_, "client-connected",
                   G_CALLBACK(+[](UMockdevIoctlBase*, UMockdevIoctlClient*, gpointer data) {
                     auto* self = static_cast<EmulatedMachine*>(data);
                     self->Locked([&] { ++self->opens_; });
                   }),
                   this);
  // Runs on the test bed's thread, as the destructor's hand-over does: never after it.
  std::weak_ptr<bool> alive = alive_;
  bed_.Every(1, [this, alive] {
    if (alive.expired()) return;
    bool pull = false;
    Locked([&] {
      Pump();
      Deliver();
      pull = pull_plug_;
      pull_plug_ = false;
    });
    if (pull) {
      bed_.Remove(SysfsPaths());
      Locked([this] { in_sysfs_ = false; });
    }
  });
}

EmulatedMachine::~EmulatedMachine() {
  // On the test bed's thread, so that the pump is not running and never runs again; under the
  // lock, so that no handler is running. The programs have closed the node by now.
  bed_.Run([this] {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    alive_.reset();
    g_signal_handlers_disconnect_by_data(handler_, this);
  });
  g_object_unref(handler_);
}

std::string EmulatedMachine::UsbSysfsPath() const {
  return "/devices/pci0000:00/0000:00:14.0/usb1/1-" + std::to_string(identity_.port);
}

uint32_t EmulatedMachine::Now() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void EmulatedMachine::Plug() {
  bed_.Add(Record());
  if (!attached_) attached_ = bed_.Attach(Node(), handler_);
  Locked([this] {
    in_sysfs_ = true;
    gone_ = false;
    to_host_.clear();
    server_->Reset();
  });
}

void EmulatedMachine::Unplug() {
  Locked([this] { gone_ = true; });
  bed_.Remove(SysfsPaths());
  Locked([this] { in_sysfs_ = false; });
}

bool EmulatedMachine::WaitUntilUnplugged() {
  for (int i = 0; i < 1000; ++i) {
    bool present = true;
    Locked([&] { present = in_sysfs_; });
    if (!present) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

void EmulatedMachine::WithFirmware(const std::function<void(qsim::SimState&)>& work) {
  Locked([&] { work(*state_); });
}

int EmulatedMachine::Opens() {
  int n = 0;
  Locked([&] { n = opens_; });
  return n;
}

std::vector<std::string> EmulatedMachine::Commands() {
  std::vector<std::string> out;
  Locked([&] { out = commands_; });
  return out;
}

void EmulatedMachine::OnStall(std::function<void()> hook) {
  Locked([&] { stall_hook_ = std::move(hook); });
}

void EmulatedMachine::Stalled() {
  if (!stall_hook_) return;
  std::function<void()> hook = std::move(stall_hook_);
  stall_hook_ = nullptr;
  hook();
}

void EmulatedMachine::FromHost(const PacketRecord& record) {
  if (PacketTypeOf(record) == PACKET_COMMAND) commands_.push_back(CommandText(record));
  server_->Receive(record, Now());
  Pump();
}

void EmulatedMachine::Pump() {
  if (gone_) return;
  const uint32_t now = Now();
  for (const qsim::PacketServer::Output& output : server_->TakeDue(now)) {
    uint32_t due = now;
    if (spread_ms_ != 0) {
      if (static_cast<int32_t>(last_due_ + spread_ms_ - now) > 0) due = last_due_ + spread_ms_;
      last_due_ = due;
    }
    ToHost out;
    out.due = due;
    out.hang_up = output.hang_up;
    if (!output.hang_up) {
      out.bytes.assign(output.record.bytes + 1, output.record.bytes + kPacketRecordSize);
    }
    to_host_.push_back(std::move(out));
  }
}

bool EmulatedMachine::HasDue() const {
  return !to_host_.empty() && static_cast<int32_t>(Now() - to_host_.front().due) >= 0;
}

void EmulatedMachine::HangUp() {
  gone_ = true;
  to_host_.clear();
  pull_plug_ = true;
}

}  // namespace usbemu
