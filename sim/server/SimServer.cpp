#include "SimServer.h"

namespace qsim {
namespace {

bool Due(uint32_t now, uint32_t at) {
  return static_cast<int32_t>(now - at) >= 0;
}

}  // namespace

SimServer::SimServer(SimState& state, LogSink log)
    : state_(state), packets_(state, std::move(log)) {}

SimServer::~SimServer() = default;

void SimServer::Attach(std::unique_ptr<SlotChannel> channel) {
  channel_ = std::move(channel);
  unsent_.clear();
  packets_.Reset();
}

void SimServer::Disconnect(const std::string& why) {
  if (!channel_) {
    return;
  }
  channel_.reset();
  unsent_.clear();
  packets_.Reset();
  packets_.Log("-- disconnected: " + why);
}

bool SimServer::WantsConnection(uint32_t now) const {
  return state_.link.plugged && !packets_.HeldAway(now);
}

int SimServer::NextWakeMs(uint32_t now) const {
  int wake = -1;
  auto consider = [&](uint32_t at) {
    const int ms = Due(now, at) ? 0 : static_cast<int>(at - now);
    if (wake < 0 || ms < wake) {
      wake = ms;
    }
  };
  if (!unsent_.empty()) {
    consider(now);
  }
  if (packets_.HasOutput()) {
    consider(packets_.NextDue());
  }
  if (!channel_ && packets_.HeldAway(now)) {
    consider(packets_.ReplugAt());
  }
  return wake;
}

bool SimServer::PlugInto(const std::string& path, uint32_t now) {
  if (channel_ || !WantsConnection(now)) {
    return false;
  }
  std::string why;
  std::unique_ptr<SlotChannel> channel = SlotChannel::Connect(path, &why);
  if (!channel) {
    if (!waiting_logged_) {
      packets_.Log("-- waiting for " + path + " (" + why + ")");
      waiting_logged_ = true;
    }
    return false;
  }
  Attach(std::move(channel));
  waiting_logged_ = false;
  packets_.Log("-- connected to " + path);
  return true;
}

void SimServer::Pump(uint32_t now) {
  if (channel_ && !state_.link.plugged) {
    Disconnect("unplugged");
  }
  while (channel_) {
    PacketRecord record;
    size_t got = 0;
    std::string why;
    const SlotChannel::Io io = channel_->Receive(record.bytes, sizeof record.bytes, &got, &why);
    if (io == SlotChannel::Io::kAgain) {
      break;
    }
    if (io == SlotChannel::Io::kFailed) {
      Disconnect("read failed: " + why);
      break;
    }
    if (io == SlotChannel::Io::kClosed) {
      Disconnect("the program closed the link");
      break;
    }
    if (got != kPacketRecordSize) {
      packets_.Log("!! ignored a message of " + std::to_string(got) + " bytes");
      continue;
    }
    packets_.Receive(record, now);
  }
  Flush(now);
}

void SimServer::Flush(uint32_t now) {
  if (!channel_) {
    return;
  }
  for (const PacketServer::Output& output : packets_.TakeDue(now)) {
    unsent_.push_back(output);
  }
  size_t sent_count = 0;
  for (const PacketServer::Output& output : unsent_) {
    if (output.hang_up) {
      Disconnect(sent_count == 0 ? "unplugged before the reply"
                                 : "unplugged in the middle of a reply");
      return;
    }
    std::string why;
    const SlotChannel::Io io =
        channel_->Send(output.record.bytes, sizeof output.record.bytes, &why);
    if (io == SlotChannel::Io::kAgain) {
      break;  // the program is not reading; the rest goes on a later pump
    }
    if (io != SlotChannel::Io::kDone) {
      Disconnect(io == SlotChannel::Io::kClosed ? "the program closed the link"
                                                : "write failed: " + why);
      return;
    }
    ++sent_count;
  }
  unsent_.erase(unsent_.begin(), unsent_.begin() + static_cast<std::ptrdiff_t>(sent_count));
}

}  // namespace qsim
