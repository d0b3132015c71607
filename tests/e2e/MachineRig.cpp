#include "MachineRig.h"

#include <cstring>

#include "USBinterface.h"
#include "platform/Reactor.h"

SimWire::SimWire(qplatform::FakeDevice& device, qsim::PacketServer& server)
    : device_(device), server_(server) {
  device_.on_write = [this](qplatform::FakeDevice&, const uint8_t* bytes, uint32_t size) {
    for (uint32_t offset = 0; offset + kPacketRecordSize <= size; offset += kPacketRecordSize) {
      PacketRecord record;
      std::memcpy(record.bytes, bytes + offset, kPacketRecordSize);
      server_.Receive(record, qclock::GetTickCount());
    }
    const uint32_t now = qclock::GetTickCount();
    for (const qsim::PacketServer::Output& output : server_.TakeAll()) {
      const uint32_t delay = static_cast<int32_t>(output.due - now) > 0 ? output.due - now : 0;
      if (!output.hang_up) {
        device_.SendPacket(output.record, delay);
      }
    }
  };
}

MachineRig::MachineRig()
    : scoped_clock_(&clock_),
      hid_(qplatform::FakeDevice::Kind::kHid),
      bulk_(qplatform::FakeDevice::Kind::kBulk),
      backends_(qplatform::Backends{&hid_, &bulk_, nullptr}) {
  TraceResetForTests();
  TraceSetStandardOutput(nullptr);
  qplatform::Reactor::Instance().Install();
  ResetMachineConnectionForTests();
  ConnectionList().clear();
  qsim::MachineOptions options;
  options.card_ms = 5;
  options.deck.shuffled = true;
  sim_ = std::make_unique<qsim::SimState>(options);
  server_ = std::make_unique<qsim::PacketServer>(
      *sim_, [this](const std::string& line) { sim_log_.push_back(line); });
  device_ = hid_.AddDevice("/dev/hidraw3");
  wire_ = std::make_unique<SimWire>(*device_, *server_);
}

MachineRig::~MachineRig() {
  dialog_.reset();
  ResetMachineConnectionForTests();
  ConnectionList().clear();
}

void MachineRig::Connect() {
  dialog_ = std::make_unique<CMainDlg>();
  dialog_->show();
  clock_.Advance(CMainDlg::kPollIntervalMs);
  dialog_->OnKickIdle();
  ASSERT_NE(dialog_->MachineLink(), nullptr);
}

std::vector<std::string> MachineRig::CommandsSent() const {
  std::vector<std::string> commands;
  for (const std::string& line : sim_log_) {
    // "<- #12 SORT 4321...": the command follows the transmission tag.
    if (line.rfind("<- ", 0) != 0) continue;
    const size_t blank = line.find(' ', 3);
    if (blank != std::string::npos) commands.push_back(line.substr(blank + 1));
  }
  return commands;
}
