// The HID machine through hidapi (hidraw). Differences from the platform the link was written
// for, made good here:
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
// hidapi hides the descriptor, so the reactor looks at a pending read every millisecond.
#include <fcntl.h>
#include <hidapi.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "Backends.h"
#include "MachineIds.h"

namespace qplatform {
namespace {

constexpr size_t kReport = 64;
constexpr size_t kRecord = kReport + 1;
constexpr uint32_t kDefaultInputBuffers = 32;  // what the platform's HID driver starts with

std::set<std::string>& HeldPaths() {
  static std::set<std::string> held;
  return held;
}

// What the listing says about one node.
struct HidIdentity {
  HidAttributes attributes;
  std::wstring product;
  std::wstring manufacturer;
  std::wstring serial;
};

HidIdentity IdentityOf(const hid_device_info& info) {
  HidIdentity id;
  id.attributes = {info.vendor_id, info.product_id, info.release_number};
  if (info.product_string != nullptr) id.product = info.product_string;
  if (info.manufacturer_string != nullptr) id.manufacturer = info.manufacturer_string;
  if (info.serial_number != nullptr) id.serial = info.serial_number;
  return id;
}

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

// The thread that makes one handle's writes. It owns the node's descriptor (which also holds
// the advisory lock), so a handle closed while a write still blocks leaves the descriptor to the
// thread until the kernel gives the write back; the lock goes with the handle.
class Writer {
 public:
  explicit Writer(int fd) : state_(std::make_shared<State>(fd)) {
    std::thread([state = state_] { Run(*state); }).detach();
  }
  ~Writer() {
    // The machine is free for the next open at once, even while a write still blocks.
    ::flock(state_->fd, LOCK_UN);
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->closing = true;
    state_->abandoned = state_->phase == Phase::kBusy;
    state_->wake.notify_all();
  }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  // Starts the write when none is under way; true with the outcome once it finished.
  bool Try(const uint8_t* buffer, uint32_t size, ssize_t* result, int* error) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    switch (state_->phase) {
      case Phase::kIdle:
        state_->data.assign(buffer, buffer + size);
        state_->phase = Phase::kBusy;
        state_->wake.notify_all();
        return false;
      case Phase::kBusy:
        return false;
      case Phase::kDone:
        state_->phase = Phase::kIdle;
        *result = state_->result;
        *error = state_->error;
        return true;
    }
    return false;
  }

  // The write under way (if any) is no longer wanted: its outcome is dropped.
  void Abandon() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->phase == Phase::kBusy) state_->abandoned = true;
    if (state_->phase == Phase::kDone) state_->phase = Phase::kIdle;
  }

 private:
  enum class Phase { kIdle, kBusy, kDone };
  struct State {
    explicit State(int descriptor) : fd(descriptor) {}
    ~State() { ::close(fd); }
    std::mutex mutex;
    std::condition_variable wake;
    const int fd;
    Phase phase = Phase::kIdle;
    bool abandoned = false;
    bool closing = false;
    std::vector<uint8_t> data;
    ssize_t result = 0;
    int error = 0;
  };

  static void Run(State& state) {
    std::unique_lock<std::mutex> lock(state.mutex);
    for (;;) {
      state.wake.wait(lock, [&] { return state.phase == Phase::kBusy || state.closing; });
      if (state.phase != Phase::kBusy) return;  // closing, nothing to write
      const std::vector<uint8_t> data = state.data;
      lock.unlock();
      ssize_t n;
      do {
        n = ::write(state.fd, data.data(), data.size());
      } while (n < 0 && errno == EINTR);
      const int error = n < 0 ? errno : 0;
      lock.lock();
      if (state.abandoned) {
        state.abandoned = false;
        state.phase = Phase::kIdle;
      } else {
        state.phase = Phase::kDone;
        state.result = n;
        state.error = error;
      }
      if (state.closing) return;
    }
  }

  std::shared_ptr<State> state_;
};

class HidapiHandle : public HidDevice {
 public:
  HidapiHandle(hid_device* device, int node_fd, std::string path, HidIdentity identity)
      : device_(device), writer_(node_fd), path_(std::move(path)), identity_(std::move(identity)) {
    HeldPaths().insert(path_);
  }
  ~HidapiHandle() override {
    hid_close(device_);
    HeldPaths().erase(path_);
  }

  bool AcceptTransfer(bool, LinkError* error) override {
    if (!gone_) return true;
    *error = LinkError::kDeviceNotConnected;
    return false;
  }

  bool CancelIo(LinkError* error) override {
    writer_.Abandon();
    return PolledDevice::CancelIo(error);
  }

  // As many waiting reports as fit, each with report id 0 in front; at least one.
  bool TryRead(uint8_t* buffer, uint32_t size, LinkError* error, uint32_t* bytes) override {
    *error = LinkError::kSuccess;
    *bytes = 0;
    uint32_t have = 0;
    while (size - have >= kRecord) {
      uint8_t report[kReport];
      const int n = hid_read_timeout(device_, report, sizeof report, 0);
      if (n == 0) break;
      if (n < 0) {
        gone_ = true;
        if (have > 0) break;
        *error = LinkError::kDeviceNotConnected;
        return true;
      }
      buffer[have] = 0;
      std::memcpy(buffer + have + 1, report, static_cast<size_t>(n));
      std::memset(buffer + have + 1 + n, 0, kReport - static_cast<size_t>(n));
      have += kRecord;
    }
    if (size < kRecord && have == 0) {
      *error = LinkError::kInvalidUserBuffer;
      return true;
    }
    if (have == 0) return false;
    *bytes = have;
    return true;
  }

  // The writer thread makes the write; the routine runs in an alertable sleep once it is done.
  bool TryWrite(const uint8_t* buffer, uint32_t size, LinkError* error, uint32_t* bytes) override {
    ssize_t n = 0;
    int write_error = 0;
    if (!writer_.Try(buffer, size, &n, &write_error)) return false;
    if (n >= 0) {
      *error = LinkError::kSuccess;
      *bytes = static_cast<uint32_t>(n);
    } else if (write_error == ETIMEDOUT) {
      *error = LinkError::kSemTimeout;  // the device did not take the report; it is still there
      *bytes = 0;
    } else {
      gone_ = true;
      *error = LinkError::kDeviceNotConnected;
      *bytes = 0;
    }
    return true;
  }

  bool GetAttributes(HidAttributes* attributes) override {
    if (identity_.attributes.vendor_id == 0) return false;
    *attributes = identity_.attributes;
    return true;
  }
  bool GetProductString(std::wstring* text) override { return Text(identity_.product, text); }
  bool GetManufacturerString(std::wstring* text) override {
    return Text(identity_.manufacturer, text);
  }
  bool GetSerialNumberString(std::wstring* text) override { return Text(identity_.serial, text); }
  bool GetNumInputBuffers(uint32_t* count) override {
    *count = input_buffers_;
    return true;
  }
  bool SetNumInputBuffers(uint32_t count) override {
    if (count < 2 || count > 512) return false;  // the platform's accepted range
    input_buffers_ = count;
    return true;
  }

 private:
  bool Text(const std::wstring& value, std::wstring* text) const {
    if (identity_.attributes.vendor_id == 0) return false;  // not listed: nothing is known
    *text = value;
    return true;
  }

  hid_device* device_;
  Writer writer_;
  std::string path_;
  HidIdentity identity_;
  uint32_t input_buffers_ = kDefaultInputBuffers;
  bool gone_ = false;
};

class HidapiBackend : public HidBackend {
 public:
  ~HidapiBackend() override {
    if (initialised_) hid_exit();
  }

  bool ListInterfaces(std::vector<InterfaceEntry>* entries, LinkError* error) override {
    entries->clear();
    if (!Initialise()) {
      *error = LinkError::kGenFailure;
      return false;
    }
    identities_.clear();
    hid_device_info* list = hid_enumerate(machine_ids::kVendor, 0);
    for (hid_device_info* info = list; info != nullptr; info = info->next) {
      if (info->path == nullptr || !machine_ids::IsHidProduct(info->product_id)) continue;
      // One hidraw node may be listed once per top-level collection.
      if (!identities_.emplace(info->path, IdentityOf(*info)).second) continue;
      entries->push_back({0, false, info->path, {}});
    }
    hid_free_enumeration(list);
    *error = LinkError::kSuccess;
    return true;
  }

  std::unique_ptr<HidDevice> Open(const std::string& path, LinkError* error) override {
    if (!Initialise()) {
      *error = LinkError::kGenFailure;
      return nullptr;
    }
    if (HeldPaths().count(path) != 0) {
      *error = LinkError::kSharingViolation;
      return nullptr;
    }
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
    return std::make_unique<HidapiHandle>(device, fd, path, Identity(path));
  }

 private:
  bool Initialise() {
    if (!initialised_) initialised_ = hid_init() == 0;
    return initialised_;
  }

  // The identity the last listing gave the path; a path opened without a listing is looked up.
  HidIdentity Identity(const std::string& path) {
    auto it = identities_.find(path);
    if (it != identities_.end()) return it->second;
    HidIdentity found;
    hid_device_info* list = hid_enumerate(0, 0);
    for (hid_device_info* info = list; info != nullptr; info = info->next) {
      if (info->path != nullptr && path == info->path) {
        found = IdentityOf(*info);
        break;
      }
    }
    hid_free_enumeration(list);
    return found;
  }

  bool initialised_ = false;
  std::map<std::string, HidIdentity> identities_;
};

}  // namespace

std::unique_ptr<HidBackend> MakeHidapiBackend() {
  return std::make_unique<HidapiBackend>();
}

}  // namespace qplatform
