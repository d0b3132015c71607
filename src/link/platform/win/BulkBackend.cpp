// The bulk machine through its maker's driver: the driver exposes the device interface class
// {101F9E3F-8435-4872-BC21-07B27E2BAADD}; SetupDi lists the present interfaces and their paths,
// and the path with "\PIPE00" appended opens the IN pipe, with "\PIPE01" the OUT pipe, each
// with CreateFile (no sharing, overlapped, unbuffered). Every transfer is overlapped with the
// pipe's own event: WaitPending waits on it, PendingResult asks GetOverlappedResult, CancelIo
// cancels. The bytes move in the caller's buffer, so a transfer is never left behind in flight:
// cancelling and closing wait until the driver gave it back.
#include <windows.h>
// windows.h first: the device setup header needs its types.
#include <setupapi.h>

#include <memory>
#include <vector>

#include "Backends.h"
#include "DevicePaths.h"

namespace qplatform {
namespace {

// {101F9E3F-8435-4872-BC21-07B27E2BAADD}
constexpr GUID kInterfaceClass = {
    0x101f9e3f, 0x8435, 0x4872, {0xbc, 0x21, 0x07, 0xb2, 0x7e, 0x2b, 0xaa, 0xdd}};
constexpr DWORD kMaxMembers = 128;
constexpr DWORD kCancelWaitMs = 1000;

const std::string kReadPipe = "\\PIPE00";
const std::string kWritePipe = "\\PIPE01";

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

class DriverPipe : public PipeDevice {
 public:
  DriverPipe(HANDLE handle, HANDLE event, bool reading) : handle_(handle), reading_(reading) {
    overlapped_.hEvent = event;
  }
  ~DriverPipe() override {
    CancelIo(nullptr);
    ::CloseHandle(handle_);
    ::CloseHandle(overlapped_.hEvent);
  }

  IoStart Read(uint8_t* buffer, uint32_t size, uint32_t* bytes, LinkError* error) override {
    return Start(true, buffer, size, bytes, error);
  }
  IoStart Write(const uint8_t* buffer, uint32_t size, uint32_t* bytes, LinkError* error) override {
    return Start(false, const_cast<uint8_t*>(buffer), size, bytes, error);
  }

  WaitResult WaitPending(uint32_t ms) override {
    if (!in_flight_) return WaitResult::kFailed;
    switch (::WaitForSingleObject(overlapped_.hEvent, ms)) {
      case WAIT_OBJECT_0:
        return WaitResult::kSignaled;
      case WAIT_TIMEOUT:
        return WaitResult::kTimeout;
      case WAIT_ABANDONED:
        return WaitResult::kAbandoned;
      default:
        return WaitResult::kFailed;
    }
  }

  bool PendingResult(uint32_t* bytes, LinkError* error) override {
    DWORD moved = 0;
    const BOOL ok = ::GetOverlappedResult(handle_, &overlapped_, &moved, FALSE);
    *bytes = moved;
    if (ok) {
      in_flight_ = false;
      *error = LinkError::kSuccess;
      return true;
    }
    const DWORD code = ::GetLastError();
    if (code != ERROR_IO_INCOMPLETE) in_flight_ = false;
    *error = LinkErrorFromNumber(code);
    return false;
  }

  bool ResetEvent(LinkError* error) override {
    const bool ok = ::ResetEvent(overlapped_.hEvent) != 0;
    if (error != nullptr) *error = ok ? LinkError::kSuccess : LinkErrorFromNumber(::GetLastError());
    return ok;
  }

  bool CancelIo(LinkError* error) override {
    if (error != nullptr) *error = LinkError::kSuccess;
    if (!in_flight_) return true;
    ::CancelIo(handle_);
    // The driver gives the transfer (and the caller's buffer) back once it is cancelled.
    ::WaitForSingleObject(overlapped_.hEvent, kCancelWaitMs);
    DWORD moved = 0;
    ::GetOverlappedResult(handle_, &overlapped_, &moved, FALSE);
    in_flight_ = false;
    return true;
  }

 private:
  IoStart Start(bool reading, uint8_t* buffer, uint32_t size, uint32_t* bytes, LinkError* error) {
    *bytes = 0;
    if (reading != reading_) {
      *error = LinkError::kAccessDenied;
      return IoStart::kFailed;
    }
    if (in_flight_) {
      *error = LinkError::kBusy;
      return IoStart::kFailed;
    }
    const HANDLE event = overlapped_.hEvent;
    overlapped_ = OVERLAPPED{};
    overlapped_.hEvent = event;
    DWORD moved = 0;
    const BOOL done = reading ? ::ReadFile(handle_, buffer, size, &moved, &overlapped_)
                              : ::WriteFile(handle_, buffer, size, &moved, &overlapped_);
    if (done) {
      *bytes = moved;
      *error = LinkError::kSuccess;
      return IoStart::kCompleted;
    }
    const DWORD code = ::GetLastError();
    if (code != ERROR_IO_PENDING) {
      *error = LinkErrorFromNumber(code);
      return IoStart::kFailed;
    }
    in_flight_ = true;
    *error = LinkError::kIoPending;
    return IoStart::kPending;
  }

  const HANDLE handle_;
  const bool reading_;
  OVERLAPPED overlapped_{};
  bool in_flight_ = false;
};

// One member's path, or why it has none.
InterfaceEntry Member(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* member_data) {
  InterfaceEntry entry;
  DWORD size = 0;
  ::SetupDiGetDeviceInterfaceDetailA(set, member_data, nullptr, 0, &size, nullptr);
  std::vector<unsigned char> detail(size);
  if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
    entry.detail_failed = true;
    return entry;
  }
  auto* record = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(detail.data());
  record->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  entry.detail_failed =
      !::SetupDiGetDeviceInterfaceDetailA(set, member_data, record, size, nullptr, nullptr) ||
      !InterfaceDetailPath(detail.data(), size, &entry.path);
  return entry;
}

class SetupDiBackend : public BulkBackend {
 public:
  bool ListInterfaces(std::vector<InterfaceEntry>* entries, LinkError* error) override {
    entries->clear();
    const HDEVINFO set = ::SetupDiGetClassDevsA(&kInterfaceClass, nullptr, nullptr,
                                                DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
      *error = LinkErrorFromNumber(::GetLastError());
      return false;
    }
    for (DWORD member = 0; member < kMaxMembers; ++member) {
      SP_DEVICE_INTERFACE_DATA member_data{};
      member_data.cbSize = sizeof member_data;
      if (!::SetupDiEnumDeviceInterfaces(set, nullptr, &kInterfaceClass, member, &member_data)) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_NO_MORE_ITEMS) break;
        InterfaceEntry failed;
        failed.enum_error = code;
        entries->push_back(failed);
        continue;
      }
      entries->push_back(Member(set, &member_data));
    }
    ::SetupDiDestroyDeviceInfoList(set);
    *error = LinkError::kSuccess;
    return true;
  }

  std::unique_ptr<PipeDevice> Open(const std::string& path, LinkError* error) override {
    const bool reading = EndsWith(path, kReadPipe);
    if (!reading && !EndsWith(path, kWritePipe)) {
      *error = LinkError::kFileNotFound;
      return nullptr;
    }
    const HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) {
      *error = LinkErrorFromNumber(::GetLastError());
      return nullptr;
    }
    const HANDLE handle =
        ::CreateFileA(path.c_str(), reading ? GENERIC_READ : GENERIC_WRITE, 0, nullptr,
                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_FLAG_NO_BUFFERING, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      *error = OpenErrorOf(::GetLastError());
      ::CloseHandle(event);
      return nullptr;
    }
    *error = LinkError::kSuccess;
    return std::make_unique<DriverPipe>(handle, event, reading);
  }

  bool Probe(const std::string& path, LinkError* error) override {
    const HANDLE handle =
        ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      *error = OpenErrorOf(::GetLastError());
      return false;
    }
    ::CloseHandle(handle);
    *error = LinkError::kSuccess;
    return true;
  }
};

}  // namespace

std::unique_ptr<BulkBackend> MakeSetupDiBackend() {
  return std::make_unique<SetupDiBackend>();
}

}  // namespace qplatform
