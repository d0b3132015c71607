// bench_link's machine on POSIX: the slot's SOCK_SEQPACKET socket and a bare socket pair, both
// polled by the machine's thread.
#include "LinkMachine.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace linkbench {
namespace {

int Connect(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) std::abort();
  return fd;
}

}  // namespace

std::string MakeSlotFolder() {
  char pattern[] = "/tmp/quadrelle-bench-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) std::abort();
  return pattern;
}

void RemoveSlotFolder(const std::string& folder) {
  ::rmdir(folder.c_str());
}

const char* FloorName() {
  return "BM_SocketFloor";
}

struct Machine::Parts {
  void Run() {
    uint32_t transmission[2] = {0, 0};
    while (!stop) {
      pollfd polled[2];
      for (int i = 0; i < 2; ++i) polled[i] = {fds[i], POLLIN, 0};
      if (::poll(polled, 2, 20) <= 0) continue;
      for (int i = 0; i < 2; ++i) {
        if ((polled[i].revents & POLLIN) == 0) continue;
        PacketRecord p;
        if (::recv(fds[i], p.bytes, sizeof p.bytes, MSG_DONTWAIT) != 65) continue;
        if (PacketTypeOf(p) == PACKET_HEADER) transmission[i] = HeaderTransmission(p);
        if (PacketTypeOf(p) != PACKET_COMMAND) continue;
        for (const PacketRecord& r : MakeReply(transmission[i], "01 busy", 7)) {
          ::send(fds[i], r.bytes, kPacketRecordSize, MSG_NOSIGNAL);
        }
      }
    }
  }

  int fds[2] = {-1, -1};  // the machine's ends: the slot, the floor
  int floor_host = -1;
  std::atomic<bool> stop{false};
  std::thread thread;
};

Machine::Machine(const std::string& slot_path) : parts_(std::make_unique<Parts>()) {
  parts_->fds[0] = Connect(slot_path);
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) std::abort();
  parts_->floor_host = pair[0];
  parts_->fds[1] = pair[1];
  parts_->thread = std::thread([this] { parts_->Run(); });
}

Machine::~Machine() {
  parts_->stop = true;
  parts_->thread.join();
  for (int fd : {parts_->fds[0], parts_->fds[1], parts_->floor_host}) ::close(fd);
}

bool Machine::FloorExchange(const PacketRecord (&out)[2], PacketRecord (&in)[3]) {
  for (const PacketRecord& p : out) ::send(parts_->floor_host, p.bytes, kPacketRecordSize, 0);
  for (PacketRecord& p : in) {
    if (::recv(parts_->floor_host, p.bytes, sizeof p.bytes, 0) != 65) return false;
  }
  return true;
}

}  // namespace linkbench
