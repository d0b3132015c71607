// The slot channel on POSIX: a Unix-domain SOCK_SEQPACKET socket, non-blocking by the calls'
// flags.
#include "SlotChannel.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qsim {
namespace {

class SocketChannel : public SlotChannel {
 public:
  explicit SocketChannel(int fd) : fd_(fd) {}
  ~SocketChannel() override { ::close(fd_); }

  Io Receive(uint8_t* buffer, size_t capacity, size_t* size, std::string* why) override {
    for (;;) {
      const ssize_t got = ::recv(fd_, buffer, capacity, MSG_DONTWAIT | MSG_TRUNC);
      if (got > 0) {
        *size = static_cast<size_t>(got);
        return Io::kDone;
      }
      if (got == 0) return Io::kClosed;
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return Io::kAgain;
      *why = std::strerror(errno);
      return Io::kFailed;
    }
  }

  Io Send(const uint8_t* data, size_t size, std::string* why) override {
    for (;;) {
      if (::send(fd_, data, size, MSG_DONTWAIT | MSG_NOSIGNAL) >= 0) return Io::kDone;
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return Io::kAgain;
      if (errno == EPIPE || errno == ECONNRESET) return Io::kClosed;
      *why = std::strerror(errno);
      return Io::kFailed;
    }
  }

  void Wait(int ms) override {
    pollfd p{fd_, POLLIN, 0};
    ::poll(&p, 1, ms);
  }

  int Descriptor() const override { return fd_; }

 private:
  const int fd_;
};

}  // namespace

std::unique_ptr<SlotChannel> SlotChannel::Connect(const std::string& path, std::string* why) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    *why = std::strerror(ENAMETOOLONG);
    return nullptr;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *why = std::strerror(errno);
    return nullptr;
  }
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    *why = std::strerror(errno);
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<SocketChannel>(fd);
}

std::pair<std::unique_ptr<SlotChannel>, std::unique_ptr<SlotChannel>> SlotChannel::Pair() {
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) != 0) return {};
  return {std::make_unique<SocketChannel>(fds[0]), std::make_unique<SocketChannel>(fds[1])};
}

}  // namespace qsim
