#include "SimServer.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
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

SimServer::SimServer(SimState& state, LogSink log) : state_(state), log_(std::move(log)) {}

SimServer::~SimServer() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

void SimServer::Log(const std::string& line) const {
  if (log_) {
    log_(line);
  }
}

void SimServer::Attach(int fd) {
  if (fd_ >= 0) {
    ::close(fd_);
  }
  fd_ = fd;
  outgoing_.clear();
  header_seen_ = false;
  command_.clear();
  unplugged_by_fault_ = false;
}

void SimServer::Disconnect(const std::string& why) {
  if (fd_ < 0) {
    return;
  }
  ::close(fd_);
  fd_ = -1;
  outgoing_.clear();
  header_seen_ = false;
  command_.clear();
  Log("-- disconnected: " + why);
}

bool SimServer::WantsConnection(uint32_t now) const {
  if (!state_.link.plugged) {
    return false;
  }
  return !unplugged_by_fault_ || Due(now, replug_at_);
}

int SimServer::NextWakeMs(uint32_t now) const {
  int wake = -1;
  auto consider = [&](uint32_t at) {
    const int ms = Due(now, at) ? 0 : static_cast<int>(at - now);
    if (wake < 0 || ms < wake) {
      wake = ms;
    }
  };
  if (!outgoing_.empty()) {
    consider(outgoing_.front().due);
  }
  if (unplugged_by_fault_ && fd_ < 0) {
    consider(replug_at_);
  }
  return wake;
}

void SimServer::Pump(uint32_t now) {
  if (unplugged_by_fault_ && Due(now, replug_at_)) {
    unplugged_by_fault_ = false;
  }
  if (fd_ >= 0 && !state_.link.plugged) {
    Disconnect("unplugged");
  }
  while (fd_ >= 0) {
    PacketRecord record;
    const ssize_t got = ::recv(fd_, record.bytes, sizeof record.bytes, MSG_DONTWAIT);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      if (errno != EAGAIN && errno != EWOULDBLOCK) {
        Disconnect(std::string("read failed: ") + std::strerror(errno));
      }
      break;
    }
    if (got == 0) {
      Disconnect("the program closed the link");
      break;
    }
    if (static_cast<size_t>(got) != kPacketRecordSize) {
      Log("!! ignored a message of " + std::to_string(got) + " bytes");
      continue;
    }
    Receive(record, now);
  }
  Flush(now);
}

void SimServer::Receive(const PacketRecord& record, uint32_t now) {
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

void SimServer::Answer(uint32_t transmission, const std::string& command, uint32_t now) {
  const std::string tag = "#" + std::to_string(transmission);
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
  if (fault == LinkFault::kUnplugBeforeReply) {
    unplugged_by_fault_ = true;
    replug_at_ = now + state_.link.replug_ms;
    Disconnect("unplugged before the reply");
    return;
  }
  std::vector<PacketRecord> packets = BuildReply(transmission, reply, fault ? &*fault : nullptr);
  AddStrays(packets);
  uint32_t due = now;
  if (fault == LinkFault::kLateReply) {
    due = now + state_.link.late_ms;
  }
  const bool cut = fault == LinkFault::kUnplugMidReply;
  if (cut) {
    // After the HEADER and the first DATA packet; a lone STATUS has no middle.
    unplugged_by_fault_ = true;
    replug_at_ = now + state_.link.replug_ms;
    if (reply.status_only) {
      Disconnect("unplugged before the reply");
      return;
    }
    packets.resize(std::min<size_t>(2, packets.size() - 1));
  }
  for (size_t i = 0; i < packets.size(); ++i) {
    outgoing_.push_back({due, packets[i], cut && i + 1 == packets.size()});
  }
}

std::vector<PacketRecord> SimServer::BuildReply(uint32_t transmission, const Reply& reply,
                                                const LinkFault* fault) {
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

void SimServer::AddStrays(std::vector<PacketRecord>& packets) {
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

void SimServer::Flush(uint32_t now) {
  while (fd_ >= 0 && !outgoing_.empty() && Due(now, outgoing_.front().due)) {
    const Outgoing& next = outgoing_.front();
    const ssize_t sent =
        ::send(fd_, next.record.bytes, sizeof next.record.bytes, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) {
        continue;
      }
      if (errno != EAGAIN && errno != EWOULDBLOCK) {
        Disconnect(std::string("write failed: ") + std::strerror(errno));
      }
      return;  // the program is not reading; try again on the next pump
    }
    const bool close_after = next.close_after;
    outgoing_.pop_front();
    if (close_after) {
      Disconnect("unplugged in the middle of a reply");
    }
  }
}

}  // namespace qsim
