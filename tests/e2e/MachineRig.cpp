#include "MachineRig.h"

#include <cstring>

#include "USBinterface.h"
#include "platform/Reactor.h"

SimWire::SimWire(qplatform::FakeDevice& device, qsim::PacketServer& server,
                 CommandHook before_command, std::function<void()> hang_up)
    : device_(device),
      server_(server),
      before_command_(std::move(before_command)),
      hang_up_(std::move(hang_up)) {
  device_.on_write = [this](qplatform::FakeDevice&, const uint8_t* bytes, uint32_t size) {
    for (uint32_t offset = 0; offset + kPacketRecordSize <= size; offset += kPacketRecordSize) {
      PacketRecord record;
      std::memcpy(record.bytes, bytes + offset, kPacketRecordSize);
      if (before_command_ && PacketTypeOf(record) == PACKET_COMMAND) {
        before_command_(CommandText(record));
      }
      server_.Receive(record, qclock::GetTickCount());
    }
    const uint32_t now = qclock::GetTickCount();
    bool hung_up = false;
    for (const qsim::PacketServer::Output& output : server_.TakeAll()) {
      const uint32_t delay = static_cast<int32_t>(output.due - now) > 0 ? output.due - now : 0;
      if (output.hang_up) {
        hung_up = true;
      } else if (!hung_up) {
        device_.SendPacket(output.record, delay);
      }
    }
    // Pulled out after the packets that made it onto the wire: the link reads what was
    // delivered and then meets the missing device.
    if (hung_up && hang_up_) {
      hang_up_();
    }
  };
}

MachineRig::MachineRig()
    : scoped_clock_(&clock_), backends_(qplatform::Backends{&hid_, &bulk_, nullptr}) {
  TraceResetForTests();
  TraceSetStandardOutput(nullptr);
  qplatform::Reactor::Instance().Install();
  ConnectionList().clear();
  qsim::MachineOptions options;
  options.card_ms = 5;
  options.deck.shuffled = true;
  sim_ = std::make_unique<qsim::SimState>(options);
  server_ = std::make_unique<qsim::PacketServer>(
      *sim_, [this](const std::string& line) { sim_log_.push_back(line); });
  Plug();
}

void MachineRig::Plug() {
  replug_pending_ = false;
  server_->Reset();
  device_ = hid_.AddDevice("/dev/hidraw3");
  wire_ = std::make_unique<SimWire>(
      *device_, *server_,
      [this](const std::string& command) {
        if (before_command_) before_command_(command);
      },
      [this] {
        device_->Unplug();
        replug_pending_ = true;
        replug_at_ = server_->ReplugAt();
      });
}

void MachineRig::Unplug() {
  device_->Unplug();
}

void MachineRig::PullFor(uint32_t ms) {
  Unplug();
  replug_pending_ = true;
  replug_at_ = Now() + ms;
}

void MachineRig::FloodLog(int count) {
  for (int i = 0; i < count; ++i) {
    device_->SendPacket(MakeLog(("flood " + std::to_string(i)).c_str()));
  }
}

void MachineRig::ReplugWhenDue() {
  if (replug_pending_ && static_cast<int32_t>(Now() - replug_at_) >= 0) {
    Plug();
  }
}

MachineRig::~MachineRig() {
  dialog_.reset();
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
