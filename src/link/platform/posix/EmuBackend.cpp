// The emulator link on POSIX: each slot is a Unix-domain SOCK_SEQPACKET listening socket
// (non-blocking; a directory we create is 0700, the sockets 0600). Beside each socket a lock
// file (tppipeNN.lock, flock) says that a running program holds the slot, so another program
// sees that without ever connecting to the socket.
#include "EmuBackend.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "PollSource.h"
#include "posix/Errno.h"

namespace qplatform {
namespace {

struct Connection {
  int fd = -1;
  ~Connection() {
    if (fd >= 0) ::close(fd);
  }
};

struct Slot {
  int listen_fd = -1;
  int lock_fd = -1;
  std::shared_ptr<Connection> client;
  bool in_use = false;
  bool attempted = false;
};

constexpr size_t kRecord = 65;

bool FillAddress(const std::string& path, sockaddr_un* address) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof address->sun_path) return false;
  std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

// Takes the slot's lock file, which marks the slot as held by a program that is still running
// (the lock goes with the program). Looking at the socket itself would mean connecting to it,
// and a connection to a program that does not accept it waits in that program's queue (the
// third blocks for good) and later poses as a machine. -1 with *error when another program
// holds it.
int LockSlot(const std::string& path, int* error) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
      *error = errno;
      return -1;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      *error = errno == EWOULDBLOCK ? EADDRINUSE : errno;
      ::close(fd);
      return -1;
    }
    // The holder removes the file as it ends: what we locked must still be the file there.
    struct stat locked;
    struct stat named;
    if (::fstat(fd, &locked) == 0 && ::lstat(path.c_str(), &named) == 0 &&
        locked.st_dev == named.st_dev && locked.st_ino == named.st_ino) {
      return fd;
    }
    ::close(fd);
  }
  *error = EADDRINUSE;
  return -1;
}

// Gives a slot's lock file up: removed while still held, so nobody locks a file on its way out.
void DropLock(const std::string& path, int fd) {
  ::unlink(path.c_str());
  ::close(fd);
}

// A connected client, driven like a HID machine: each message is one packet record.
class EmuHandle : public PolledDevice, public PollSource {
 public:
  explicit EmuHandle(std::shared_ptr<void> keep, int* fd) : keep_(std::move(keep)), fd_(fd) {}
  ~EmuHandle() override {
    // Closing the handle hangs up on the client; the slot notices at its next look.
    if (*fd_ >= 0) ::close(*fd_);
    *fd_ = -1;
  }

  int PollDescriptor() const override { return *fd_; }

  bool AcceptTransfer(bool, LinkError* error) override {
    if (*fd_ >= 0) return true;
    *error = LinkError::kInvalidHandle;
    return false;
  }

  bool TryRead(uint8_t* buffer, uint32_t size, LinkError* error, uint32_t* bytes) override {
    *error = LinkError::kSuccess;
    *bytes = 0;
    uint32_t have = 0;
    for (;;) {
      if (have > 0) {
        // Only whole records join a completion; anything else waits for the next read, so a
        // malformed message reports alone.
        char probe;
        const ssize_t next = ::recv(*fd_, &probe, 1, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
        if (next != static_cast<ssize_t>(kRecord) || size - have < kRecord) break;
      }
      const ssize_t n = ::recv(*fd_, buffer + have, size - have, MSG_TRUNC | MSG_DONTWAIT);
      if (n < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) break;
        if (have > 0) break;
        *error = LinkError::kBrokenPipe;
        return true;
      }
      if (n == 0) {  // the client hung up
        if (have > 0) break;
        *error = LinkError::kBrokenPipe;
        return true;
      }
      if (static_cast<size_t>(n) > size - have) {
        *error = LinkError::kMoreData;  // more data than the buffer holds: the rest of the message
                                        // is lost
        *bytes = size;
        return true;
      }
      have += static_cast<uint32_t>(n);
      if (static_cast<size_t>(n) != kRecord) break;
    }
    if (have == 0) return false;
    *bytes = have;
    return true;
  }

  bool TryWrite(const uint8_t* buffer, uint32_t size, LinkError* error, uint32_t* bytes) override {
    *error = LinkError::kSuccess;
    *bytes = 0;
    for (;;) {
      const ssize_t n = ::send(*fd_, buffer, size, MSG_DONTWAIT | MSG_NOSIGNAL);
      if (n >= 0) {
        *bytes = static_cast<uint32_t>(n);
        return true;
      }
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return false;
      *error = LinkError::kBrokenPipe;
      return true;
    }
  }

 private:
  std::shared_ptr<void> keep_;
  int* fd_;
};

// Creates what is missing of `directory`, each level private to the user.
bool PrepareDirectory(const std::string& directory, int* error) {
  struct stat st;
  if (::stat(directory.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return true;
    *error = ENOTDIR;
    return false;
  }
  for (size_t pos = 1; pos <= directory.size(); ++pos) {
    if (pos != directory.size() && directory[pos] != '/') continue;
    const std::string part = directory.substr(0, pos);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      *error = errno;
      return false;
    }
  }
  return true;
}

}  // namespace

struct EmulatorLink::Slots {
  Slot slot[kSlots];
};

EmulatorLink::EmulatorLink(std::string directory)
    : directory_(directory.empty() ? DefaultDirectory() : std::move(directory)),
      slots_(std::make_unique<Slots>()) {}

EmulatorLink::~EmulatorLink() {
  for (int slot = 0; slot < kSlots; ++slot) {
    const Slot& s = slots_->slot[slot];
    if (s.listen_fd >= 0) {
      ::close(s.listen_fd);
      ::unlink(SlotPath(slot).c_str());
    }
    if (s.lock_fd >= 0) DropLock(LockPath(slot), s.lock_fd);
  }
}

std::string EmulatorLink::DefaultDirectory() {
  for (const char* name : {"QUADRELLE_EMULATOR_DIR", "XDG_RUNTIME_DIR"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return "/tmp";
}

std::string EmulatorLink::SlotPath(int slot) const {
  char name[16];
  std::snprintf(name, sizeof name, "tppipe%02u", static_cast<unsigned>(slot));
  return directory_ + "/" + name;
}

std::string EmulatorLink::LockPath(int slot) const {
  return SlotPath(slot) + ".lock";
}

bool EmulatorLink::Listening(int slot) const {
  return slots_->slot[slot].listen_fd >= 0;
}

bool EmulatorLink::InUse(int slot) const {
  return slots_->slot[slot].in_use;
}

bool EmulatorLink::Attempted(int slot) const {
  return slots_->slot[slot].attempted;
}

namespace {

// Listen's work on the system's numbers: *error is errno, or one of ours (ENAMETOOLONG,
// EADDRINUSE).
EmulatorLink::ListenResult ListenOn(const std::string& directory, const std::string& path,
                                    const std::string& lock_path, Slot* s, int* error) {
  using ListenResult = EmulatorLink::ListenResult;
  *error = 0;
  if (s->listen_fd >= 0) return ListenResult::kListening;
  s->attempted = true;
  if (!PrepareDirectory(directory, error)) return ListenResult::kOpenFailed;
  sockaddr_un address;
  if (!FillAddress(path, &address)) {
    *error = ENAMETOOLONG;
    return ListenResult::kOpenFailed;
  }
  const int lock = LockSlot(lock_path, error);
  if (lock < 0) return ListenResult::kOpenFailed;
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0) {
    // A socket left by a program that ended (its lock went with it) is taken over; any other
    // file is left alone.
    if (!S_ISSOCK(st.st_mode)) {
      *error = EADDRINUSE;
      DropLock(lock_path, lock);
      return ListenResult::kOpenFailed;
    }
    ::unlink(path.c_str());
  }
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error = errno;
    DropLock(lock_path, lock);
    return ListenResult::kOpenFailed;
  }
  const mode_t old_mask = ::umask(0077);
  const int bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  const int bind_errno = errno;
  ::umask(old_mask);
  if (bound != 0) {
    *error = bind_errno;
    ::close(fd);
    DropLock(lock_path, lock);
    return ListenResult::kOpenFailed;
  }
  ::chmod(path.c_str(), 0600);
  if (::listen(fd, 1) != 0) {
    *error = errno;
    ::close(fd);
    ::unlink(path.c_str());
    DropLock(lock_path, lock);
    return ListenResult::kListenFailed;
  }
  s->listen_fd = fd;
  s->lock_fd = lock;
  return ListenResult::kListening;
}

}  // namespace

EmulatorLink::ListenResult EmulatorLink::Listen(int slot, qsys::SysError* error) {
  int number = 0;
  const ListenResult result =
      ListenOn(directory_, SlotPath(slot), LockPath(slot), &slots_->slot[slot], &number);
  *error = number == 0 ? qsys::SysError() : qsys::ErrnoFailure(number);
  return result;
}

bool EmulatorLink::Peek(int slot, qsys::SysError* accept_error) {
  *accept_error = qsys::SysError();
  Slot& s = slots_->slot[slot];
  if (s.client) {
    const int fd = s.client->fd;
    if (fd < 0) return false;
    char probe;
    const ssize_t n = ::recv(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) return true;
    if (n == 0) return false;
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
  }
  if (s.in_use || s.listen_fd < 0) return false;
  const int fd = ::accept4(s.listen_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) {
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
      *accept_error = qsys::ErrnoFailure(errno);
    return false;
  }
  s.client = std::make_shared<Connection>();
  s.client->fd = fd;
  return true;
}

std::unique_ptr<CompletionDevice> EmulatorLink::TakeClient(int slot) {
  Slot& s = slots_->slot[slot];
  if (!s.client || s.client->fd < 0) return nullptr;
  s.in_use = true;
  return std::make_unique<EmuHandle>(s.client, &s.client->fd);
}

void EmulatorLink::Relisten(int slot) {
  Slot& s = slots_->slot[slot];
  // The handle (if one is still out) keeps its connection alive until it is closed; the slot
  // forgets it and takes the next client.
  s.client.reset();
  s.in_use = false;
  if (s.listen_fd < 0) s.attempted = false;
}

}  // namespace qplatform
