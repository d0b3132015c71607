#include "SimPackets.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace qsim {
namespace {

bool Due(uint32_t now, uint32_t at) {
  return static_cast<int32_t>(now - at) >= 0;
}

std::string Printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 32 && c < 127) {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

}  // namespace

PacketServer::PacketServer(SimState& state, LogSink log) : state_(state), log_(std::move(log)) {}

void PacketServer::Log(const std::string& line) const {
  if (log_) {
    log_(line);
  }
}

void PacketServer::Reset() {
  outgoing_.clear();
  header_seen_ = false;
  command_.clear();
}

bool PacketServer::HeldAway(uint32_t now) const {
  return held_away_ && !Due(now, replug_at_);
}

std::vector<PacketServer::Output> PacketServer::TakeDue(uint32_t now) {
  std::vector<Output> due;
  while (!outgoing_.empty() && Due(now, outgoing_.front().due)) {
    due.push_back(outgoing_.front());
    outgoing_.pop_front();
  }
  return due;
}

std::vector<PacketServer::Output> PacketServer::TakeAll() {
  std::vector<Output> all(outgoing_.begin(), outgoing_.end());
  outgoing_.clear();
  return all;
}

void PacketServer::Receive(const PacketRecord& record, uint32_t now) {
  switch (PacketTypeOf(record)) {
    case PACKET_ALIVE:
      return;  // the program's link test wants no answer
    case PACKET_HEADER:
      if (header_seen_) {
        Log("!! HEADER #" + std::to_string(HeaderTransmission(record)) +
            " while a command was incomplete; dropped the earlier one");
      }
      header_seen_ = true;
      transmission_ = HeaderTransmission(record);
      commands_expected_ = HeaderPacketCount(record) == 0 ? 1 : HeaderPacketCount(record);
      command_.clear();
      return;
    case PACKET_COMMAND:
      if (!header_seen_) {
        Log("!! COMMAND without HEADER ignored: " + Printable(CommandText(record)));
        return;
      }
      command_ += CommandText(record);
      if (--commands_expected_ == 0) {
        header_seen_ = false;
        Answer(transmission_, command_, now);
      }
      return;
    default:
      Log("!! ignored packet " + PacketTypeName(record));
      return;
  }
}

void PacketServer::Answer(uint32_t transmission, const std::string& command, uint32_t now) {
  std::string tag = "#";
  tag += std::to_string(transmission);
  Log("<- " + tag + " " + Printable(command));
  const Reply reply = state_.machine.Execute(command, now);
  ++replies_;
  const std::optional<LinkFault> fault = state_.link.Take();
  if (reply.status_only) {
    Log("-> " + tag + " STATUS " + std::to_string(reply.status) + " alone");
  } else {
    Log("-> " + tag + " " + reply.text);
  }
  if (fault) {
    Log(std::string("!! fault ") + LinkFaultName(*fault) + " on reply " + tag);
  }
  const bool unplug = fault == LinkFault::kUnplugBeforeReply || fault == LinkFault::kUnplugMidReply;
  if (unplug) {
    held_away_ = true;
    replug_at_ = now + state_.link.replug_ms;
  }
  std::vector<PacketRecord> packets;
  if (fault != LinkFault::kUnplugBeforeReply) {
    packets = BuildReply(transmission, reply, fault ? &*fault : nullptr);
    AddStrays(packets);
  }
  if (fault == LinkFault::kUnplugMidReply) {
    // After the HEADER and the first DATA packet; a lone STATUS has no middle.
    packets.resize(reply.status_only ? 0 : std::min<size_t>(2, packets.size() - 1));
  }
  const uint32_t due = fault == LinkFault::kLateReply ? now + state_.link.late_ms : now;
  for (const PacketRecord& packet : packets) {
    outgoing_.push_back({due, false, packet});
  }
  if (unplug) {
    outgoing_.push_back({due, true, {}});
  }
}

std::vector<PacketRecord> PacketServer::BuildReply(uint32_t transmission, const Reply& reply,
                                                   const LinkFault* fault) const {
  std::vector<PacketRecord> packets;
  if (reply.status_only) {
    packets.push_back(MakeStatus(reply.status, reply.status == 0 ? "OK" : ""));
  } else {
    packets = MakeReply(transmission, reply.text.data(), reply.text.size());
  }
  if (fault == nullptr) {
    return packets;
  }
  const bool has_header = !reply.status_only;
  switch (*fault) {
    case LinkFault::kWrongTransmission:
      if (has_header) {
        WriteU32(packets.front(), packet_offset::kHeaderTransmission, transmission - 1);
      }
      break;
    case LinkFault::kSequenceGap:
      // The last DATA packet comes one number too far, as if one had been lost.
      if (packets.size() >= 3) {
        PacketRecord& last_data = packets[packets.size() - 2];
        WriteU16(last_data, packet_offset::kDataSequence,
                 static_cast<uint16_t>(DataSequence(last_data) + 1));
      }
      break;
    case LinkFault::kLengthMismatch:
      if (has_header) {
        WriteU32(packets.front(), packet_offset::kHeaderReplyLength,
                 HeaderReplyLength(packets.front()) + static_cast<uint32_t>(kDataBytesPerPacket));
      }
      break;
    case LinkFault::kUnexpectedType:
      // Where the closing STATUS belongs, so the whole reply is still read.
      packets.back() = MakePacket(PACKET_Q);
      break;
    default:
      break;
  }
  return packets;
}

void PacketServer::AddStrays(std::vector<PacketRecord>& packets) const {
  // Unasked packets go in right after the first packet of the reply, where the program must
  // take them out of the stream without counting them.
  const size_t at = packets.size() > 1 ? 1 : 0;
  const LinkFaults& link = state_.link;
  if (link.userstatus_every > 0 && replies_ % static_cast<uint32_t>(link.userstatus_every) == 0) {
    packets.insert(packets.begin() + static_cast<std::ptrdiff_t>(at), MakeUserStatus());
  }
  if (link.log_every > 0 && replies_ % static_cast<uint32_t>(link.log_every) == 0) {
    const std::string text = "reply " + std::to_string(replies_);
    packets.insert(packets.begin() + static_cast<std::ptrdiff_t>(at), MakeLog(text.c_str()));
  }
}

}  // namespace qsim
