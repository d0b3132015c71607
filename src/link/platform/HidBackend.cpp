// The HID machine through hidapi (hidraw). Differences from the platform the link was written
// for, made good here:
//  - hidraw delivers a report without its report-id byte: we put report id 0 in front, so that
//    every record stays 65 bytes;
//  - hidraw lets a device be opened twice: we refuse a path this process already holds, as an
//    unshared open does;
//  - there is no count of driver input buffers: we report one and accept the set call.
// hidapi hides the descriptor, so the reactor looks at a pending read every millisecond.
#include <hidapi.h>

#include <cerrno>
#include <cstring>
#include <set>

#include "Backends.h"

namespace qplatform {
namespace {

constexpr size_t kReport = 64;
constexpr size_t kRecord = kReport + 1;
constexpr uint32_t kDefaultInputBuffers = 32;  // what the platform's HID driver starts with

std::set<std::string>& HeldPaths() {
  static std::set<std::string> held;
  return held;
}

bool ReadString(hid_device* device, int (*get)(hid_device*, wchar_t*, size_t), std::wstring* text) {
  wchar_t buffer[1024] = {};  // the platform's 2048-byte wide buffer
  if (get(device, buffer, sizeof buffer / sizeof buffer[0] - 1) != 0) return false;
  *text = buffer;
  return true;
}

class HidapiHandle : public DeviceHandle {
 public:
  HidapiHandle(hid_device* device, std::string path) : device_(device), path_(std::move(path)) {
    HeldPaths().insert(path_);
  }
  ~HidapiHandle() override {
    hid_close(device_);
    HeldPaths().erase(path_);
  }

  bool SupportsCompletionRoutines() const override { return true; }

  bool AcceptTransfer(bool, uint32_t* error) override {
    if (!gone_) return true;
    *error = kErrorDeviceNotConnected;
    return false;
  }

  // As many waiting reports as fit, each with report id 0 in front; at least one.
  bool TryRead(uint8_t* buffer, uint32_t size, uint32_t* error, uint32_t* bytes) override {
    *error = 0;
    *bytes = 0;
    uint32_t have = 0;
    while (size - have >= kRecord) {
      uint8_t report[kReport];
      const int n = hid_read_timeout(device_, report, sizeof report, 0);
      if (n == 0) break;
      if (n < 0) {
        gone_ = true;
        if (have > 0) break;
        *error = kErrorDeviceNotConnected;
        return true;
      }
      buffer[have] = 0;
      std::memcpy(buffer + have + 1, report, static_cast<size_t>(n));
      std::memset(buffer + have + 1 + n, 0, kReport - static_cast<size_t>(n));
      have += kRecord;
    }
    if (size < kRecord && have == 0) {
      *error = kErrorInvalidUserBuffer;
      return true;
    }
    if (have == 0) return false;
    *bytes = have;
    return true;
  }

  // hidraw writes are short and synchronous; the routine still runs only in an alertable sleep.
  bool TryWrite(const uint8_t* buffer, uint32_t size, uint32_t* error, uint32_t* bytes) override {
    const int n = hid_write(device_, buffer, size);
    if (n < 0) {
      gone_ = true;
      *error = kErrorDeviceNotConnected;
      *bytes = 0;
    } else {
      *error = 0;
      *bytes = static_cast<uint32_t>(n);
    }
    return true;
  }

  bool GetAttributes(HidAttributes* attributes) override {
    hid_device_info* info = hid_get_device_info(device_);
    if (info == nullptr) return false;
    attributes->vendor_id = info->vendor_id;
    attributes->product_id = info->product_id;
    attributes->version_number = info->release_number;
    return true;
  }
  bool GetProductString(std::wstring* text) override {
    return ReadString(device_, hid_get_product_string, text);
  }
  bool GetManufacturerString(std::wstring* text) override {
    return ReadString(device_, hid_get_manufacturer_string, text);
  }
  bool GetSerialNumberString(std::wstring* text) override {
    return ReadString(device_, hid_get_serial_number_string, text);
  }
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
  hid_device* device_;
  std::string path_;
  uint32_t input_buffers_ = kDefaultInputBuffers;
  bool gone_ = false;
};

class HidapiBackend : public DeviceBackend {
 public:
  ~HidapiBackend() override {
    if (initialised_) hid_exit();
  }

  bool ListInterfaces(std::vector<InterfaceEntry>* entries, uint32_t* error) override {
    entries->clear();
    if (!Initialise()) {
      *error = kErrorGenFailure;
      return false;
    }
    hid_device_info* list = hid_enumerate(0, 0);
    std::set<std::string> seen;
    for (hid_device_info* info = list; info != nullptr; info = info->next) {
      // One hidraw node may be listed once per top-level collection.
      if (info->path == nullptr || !seen.insert(info->path).second) continue;
      entries->push_back({0, false, info->path});
    }
    hid_free_enumeration(list);
    *error = 0;
    return true;
  }

  std::unique_ptr<DeviceHandle> Open(const std::string& path, OpenMode mode,
                                     uint32_t* error) override {
    if (!Initialise()) {
      *error = kErrorGenFailure;
      return nullptr;
    }
    if (mode != OpenMode::kProbe && HeldPaths().count(path) != 0) {
      *error = kErrorSharingViolation;
      return nullptr;
    }
    errno = 0;
    hid_device* device = hid_open_path(path.c_str());
    if (device == nullptr) {
      *error = errno == EACCES || errno == EPERM ? kErrorAccessDenied
               : errno == ENOENT                 ? kErrorFileNotFound
                                                 : kErrorGenFailure;
      return nullptr;
    }
    hid_set_nonblocking(device, 1);
    *error = 0;
    return std::make_unique<HidapiHandle>(device, path);
  }

 private:
  bool Initialise() {
    if (!initialised_) initialised_ = hid_init() == 0;
    return initialised_;
  }
  bool initialised_ = false;
};

}  // namespace

std::unique_ptr<DeviceBackend> MakeHidapiBackend() {
  return std::make_unique<HidapiBackend>();
}

}  // namespace qplatform
