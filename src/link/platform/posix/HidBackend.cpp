// The HID machine through hidapi (hidraw); the part every system shares is HidapiDevice.h.
// Differences from the platform the link was written for, made good here:
//  - hidraw delivers a report without its report-id byte: we put report id 0 in front, so that
//    every record stays 65 bytes;
//  - hidraw lets a device be opened twice: we refuse a path this process already holds, as an
//    unshared open does, and another program through an advisory lock on the node (flock), so
//    that a second copy of our programs is told the machine is busy instead of sharing reports;
//  - a hidraw write blocks in the kernel until the device takes the report (up to usbhid's 5 s):
//    writes go to a thread of the handle's own, so the link's thread never waits on one;
//  - there is no count of driver input buffers: we report one and accept the set call.
// The search lists only the machine's vendor and products, and takes the identity strings from
// that listing (sysfs), so it opens no other HID device of the system.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "Backends.h"
#include "HidapiDevice.h"

namespace qplatform {
namespace {

constexpr uint32_t kDefaultInputBuffers = 32;  // what the platform's HID driver starts with

LinkError OpenError(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return LinkError::kAccessDenied;
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return LinkError::kFileNotFound;
    default:
      return LinkError::kGenFailure;
  }
}

// The node's descriptor, which also holds the advisory lock: the writes go here, and a handle
// closed while a write still blocks leaves it to the writer until the kernel gives the write
// back; the lock goes with the handle.
class NodeSink : public ReportSink {
 public:
  explicit NodeSink(int fd) : fd_(fd) {}
  ~NodeSink() override { ::close(fd_); }

  long Write(const uint8_t* data, size_t size, LinkError* error) override {
    ssize_t n;
    do {
      n = ::write(fd_, data, size);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
      // A write the kernel timed out: the device did not take the report; it is still there.
      *error = errno == ETIMEDOUT ? LinkError::kSemTimeout : LinkError::kDeviceNotConnected;
    }
    return static_cast<long>(n);
  }
  void Release() override { ::flock(fd_, LOCK_UN); }

 private:
  const int fd_;
};

class HidrawBackend : public HidapiBackend {
 protected:
  std::unique_ptr<HidDevice> OpenNode(const std::string& path, HidIdentity identity,
                                      LinkError* error) override {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
      *error = OpenError(errno);
      return nullptr;
    }
    // The machine is taken with its lock.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      *error = errno == EWOULDBLOCK ? LinkError::kLockViolation : LinkError::kGenFailure;
      ::close(fd);
      return nullptr;
    }
    hid_device* device = hid_open_path(path.c_str());
    if (device == nullptr) {
      *error = LinkError::kGenFailure;
      ::close(fd);
      return nullptr;
    }
    hid_set_nonblocking(device, 1);
    *error = LinkError::kSuccess;
    return std::make_unique<HidapiDevice>(device, std::make_unique<NodeSink>(fd), path,
                                          std::move(identity), kDefaultInputBuffers);
  }
};

}  // namespace

std::unique_ptr<HidBackend> MakeHidapiBackend() {
  return std::make_unique<HidrawBackend>();
}

}  // namespace qplatform
