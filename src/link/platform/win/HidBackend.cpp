// The HID machine through hidapi's Windows backend; the part every system shares is
// HidapiDevice.h. hidapi opens a device shared for reading and writing, so an unshared open
// of our own beside it cannot be had (the two exclude each other). One program holds a machine
// through a named mutex per device path instead (DevicePaths.h HidHoldName), taken before
// hidapi opens the path: another of our programs is told the machine is in use (33) instead of
// sharing its reports with the dialog, and the machine list still sees the holder, whose
// hidapi handle makes an unshared probe fail. Writes go through a handle of our own on the
// path (write access, shared like hidapi's) on the writer's thread, so hidapi's device is only
// ever used on the link's thread; a write the device does not take within 5 s is cancelled.
#include <windows.h>

#include "Backends.h"
#include "DevicePaths.h"
#include "HidapiDevice.h"

namespace qplatform {
namespace {

constexpr uint32_t kDefaultInputBuffers = 64;  // what hidapi asks the driver for at open
constexpr DWORD kWriteTimeoutMs = 5000;        // as long as Linux's usbhid waits

// Takes the machine for this program. nullptr with *error when another one holds it (or one
// of another user, whose mutex we may not open).
HANDLE Hold(const std::string& path, LinkError* error) {
  DWORD code = 0;
  const HANDLE hold = TakeHold(HidHoldName(path), &code);
  if (hold != nullptr) return hold;
  *error = code == ERROR_ALREADY_EXISTS || code == ERROR_ACCESS_DENIED ? LinkError::kLockViolation
                                                                       : LinkError::kGenFailure;
  return nullptr;
}

// Our own handle on the path for the writes, and the hold, which goes with the handle.
class NodeSink : public ReportSink {
 public:
  NodeSink(HANDLE node, HANDLE hold) : node_(node), hold_(hold) {}
  ~NodeSink() override {
    ::CloseHandle(node_);
    Release();
  }

  long Write(const uint8_t* data, size_t size, LinkError* error) override {
    OVERLAPPED overlapped{};
    overlapped.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (overlapped.hEvent == nullptr) {
      *error = LinkError::kNotEnoughMemory;
      return -1;
    }
    DWORD written = 0;
    BOOL ok = ::WriteFile(node_, data, static_cast<DWORD>(size), nullptr, &overlapped);
    if (!ok && ::GetLastError() == ERROR_IO_PENDING) {
      if (::WaitForSingleObject(overlapped.hEvent, kWriteTimeoutMs) != WAIT_OBJECT_0) {
        ::CancelIo(node_);
        ::GetOverlappedResult(node_, &overlapped, &written, TRUE);
        ::CloseHandle(overlapped.hEvent);
        *error = LinkError::kSemTimeout;  // the device did not take the report
        return -1;
      }
      ok = TRUE;
    }
    ok = ok && ::GetOverlappedResult(node_, &overlapped, &written, FALSE);
    ::CloseHandle(overlapped.hEvent);
    if (!ok) {
      *error = LinkError::kDeviceNotConnected;
      return -1;
    }
    return static_cast<long>(written);
  }
  // The machine is free for the next open at once, even while a write still blocks.
  void Release() override {
    if (hold_ != nullptr) ::CloseHandle(hold_);
    hold_ = nullptr;
  }

 private:
  const HANDLE node_;
  HANDLE hold_;
};

class WindowsHidBackend : public HidapiBackend {
 protected:
  std::unique_ptr<HidDevice> OpenNode(const std::string& path, HidIdentity identity,
                                      LinkError* error) override {
    const HANDLE hold = Hold(path, error);
    if (hold == nullptr) return nullptr;
    const HANDLE node =
        ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (node == INVALID_HANDLE_VALUE) {
      *error = OpenErrorOf(::GetLastError());
      ::CloseHandle(hold);
      return nullptr;
    }
    auto sink = std::make_unique<NodeSink>(node, hold);
    hid_device* device = hid_open_path(path.c_str());
    if (device == nullptr) {
      *error = LinkError::kGenFailure;
      return nullptr;
    }
    hid_set_nonblocking(device, 1);
    *error = LinkError::kSuccess;
    return std::make_unique<HidapiDevice>(device, std::move(sink), path, std::move(identity),
                                          kDefaultInputBuffers);
  }
};

}  // namespace

std::unique_ptr<HidBackend> MakeHidapiBackend() {
  return std::make_unique<WindowsHidBackend>();
}

}  // namespace qplatform
