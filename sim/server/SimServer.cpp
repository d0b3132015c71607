#include "SimServer.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "SimSlot.h"

namespace qsim {
namespace {

bool Due(uint32_t now, uint32_t at) {
  return static_cast<int32_t>(now - at) >= 0;
}

}  // namespace

SimServer::SimServer(SimState& state, LogSink log)
    : state_(state), packets_(state, std::move(log)) {}

SimServer::~SimServer() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

void SimServer::Attach(int fd) {
  if (fd_ >= 0) {
    ::close(fd_);
  }
  fd_ = fd;
  unsent_.clear();
  packets_.Reset();
}

void SimServer::Disconnect(const std::string& why) {
  if (fd_ < 0) {
    return;
  }
  ::close(fd_);
  fd_ = -1;
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
  if (fd_ < 0 && packets_.HeldAway(now)) {
    consider(packets_.ReplugAt());
  }
  return wake;
}

bool SimServer::PlugInto(const std::string& path, uint32_t now) {
  if (fd_ >= 0 || !WantsConnection(now)) {
    return false;
  }
  const int fd = ConnectSlot(path);
  if (fd < 0) {
    if (!waiting_logged_) {
      packets_.Log("-- waiting for " + path + " (" + std::strerror(errno) + ")");
      waiting_logged_ = true;
    }
    return false;
  }
  Attach(fd);
  waiting_logged_ = false;
  packets_.Log("-- connected to " + path);
  return true;
}

void SimServer::Pump(uint32_t now) {
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
      packets_.Log("!! ignored a message of " + std::to_string(got) + " bytes");
      continue;
    }
    packets_.Receive(record, now);
  }
  Flush(now);
}

void SimServer::Flush(uint32_t now) {
  if (fd_ < 0) {
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
    const ssize_t sent =
        ::send(fd_, output.record.bytes, sizeof output.record.bytes, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        Disconnect(std::string("write failed: ") + std::strerror(errno));
        return;
      }
      break;  // the program is not reading; the rest goes on a later pump
    }
    ++sent_count;
  }
  unsent_.erase(unsent_.begin(), unsent_.begin() + static_cast<std::ptrdiff_t>(sent_count));
}

}  // namespace qsim
