#include "SlotMachine.h"

#include <chrono>

#include "SlotChannel.h"

namespace {

enum { kConnecting, kConnected, kGaveUp, kFinished };

}  // namespace

SlotMachine::SlotMachine(std::string path, Replies replies, int wait_ms)
    : path_(std::move(path)),
      replies_(std::move(replies)),
      wait_ms_(wait_ms),
      thread_([this] { Run(); }) {}

SlotMachine::~SlotMachine() {
  HangUp();
  thread_.join();
}

bool SlotMachine::WaitConnected() {
  while (state_ == kConnecting) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return state_ == kConnected || state_ == kFinished;
}

void SlotMachine::WaitFinished() {
  while (state_ == kConnecting || state_ == kConnected) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void SlotMachine::HangUp() {
  hang_up_ = true;
  std::lock_guard<std::mutex> lock(mutex_);
  channel_.reset();
}

void SlotMachine::SendRaw(const void* bytes, size_t size) {
  Send(bytes, size);
}

bool SlotMachine::Send(const void* bytes, size_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!channel_) return false;
  std::string why;
  for (;;) {
    const qsim::SlotChannel::Io io = channel_->Send(static_cast<const uint8_t*>(bytes), size, &why);
    if (io != qsim::SlotChannel::Io::kAgain) return io == qsim::SlotChannel::Io::kDone;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void SlotMachine::Run() {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms_);
  std::shared_ptr<qsim::SlotChannel> channel;
  for (;;) {
    std::string why;
    channel = qsim::SlotChannel::Connect(path_, &why);
    if (channel || hang_up_ || std::chrono::steady_clock::now() >= give_up) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!channel) {
    state_ = kGaveUp;
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!hang_up_) channel_ = channel;
  }
  state_ = kConnected;
  uint32_t transmission = 0;
  while (!hang_up_) {
    PacketRecord p;
    size_t got = 0;
    std::string why;
    const qsim::SlotChannel::Io io = channel->Receive(p.bytes, sizeof p.bytes, &got, &why);
    if (io == qsim::SlotChannel::Io::kAgain) {
      channel->Wait(2);
      continue;
    }
    if (io != qsim::SlotChannel::Io::kDone) break;  // the program hung up
    if (got != kPacketRecordSize) continue;
    switch (PacketTypeOf(p)) {
      case PACKET_HEADER:
        transmission = HeaderTransmission(p);
        break;
      case PACKET_ALIVE:
        ++alive_;
        break;
      case PACKET_COMMAND:
        for (const PacketRecord& r : replies_(transmission, CommandText(p))) {
          Send(r.bytes, kPacketRecordSize);
        }
        break;
      default:
        break;
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    channel_.reset();
  }
  channel.reset();
  state_ = kFinished;
}

std::vector<PacketRecord> EchoReplies(uint32_t transmission, const std::string& command) {
  const std::string reply = "00 " + command;
  std::vector<PacketRecord> out = {MakeLog("busy"), MakeUserStatus()};
  for (const PacketRecord& r : MakeReply(transmission, reply.data(), reply.size())) {
    out.push_back(r);
  }
  return out;
}
