#include "NativeIo.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "Reactor.h"

namespace qplatform {
namespace {

// One transfer handed to the system. OVERLAPPED comes first: the system's routine gets its
// address back.
struct Transfer {
  OVERLAPPED system{};
  const CompletionDevice* device = nullptr;  // nullptr once the device is gone
  bool write = false;
  bool discarded = false;
  uint8_t* destination = nullptr;  // read: the caller's buffer
  Overlapped* overlapped = nullptr;
  CompletionRoutine routine = nullptr;
  std::vector<uint8_t> bytes;
};

std::vector<Transfer*>& InFlight() {
  static std::vector<Transfer*> in_flight;
  return in_flight;
}

bool IsHangUp(DWORD code) {
  return code == ERROR_BROKEN_PIPE || code == ERROR_NO_DATA || code == ERROR_PIPE_NOT_CONNECTED;
}

// The system's completion routine: runs in an alertable wait of the thread that started it.
VOID CALLBACK TransferDone(DWORD code, DWORD bytes, LPOVERLAPPED system) {
  std::unique_ptr<Transfer> transfer(reinterpret_cast<Transfer*>(system));
  std::erase(InFlight(), transfer.get());
  if (transfer->discarded) return;
  const LinkError error = TransferError(code);
  if (!transfer->write && bytes > 0) {
    std::memcpy(transfer->destination, transfer->bytes.data(),
                std::min<size_t>(bytes, transfer->bytes.size()));
  }
  Reactor::Instance().Finished(transfer->device, transfer->write, transfer->routine, error, bytes,
                               transfer->overlapped);
}

}  // namespace

LinkError TransferError(DWORD code) {
  if (code == ERROR_SUCCESS) return LinkError::kSuccess;
  if (IsHangUp(code)) return LinkError::kBrokenPipe;
  if (code == ERROR_OPERATION_ABORTED) return LinkError::kOperationAborted;
  if (code == ERROR_MORE_DATA) return LinkError::kMoreData;
  if (code == ERROR_DEVICE_NOT_CONNECTED) return LinkError::kDeviceNotConnected;
  return LinkErrorFromNumber(code);
}

NativeDevice::NativeDevice(HANDLE handle) : handle_(handle) {}

NativeDevice::~NativeDevice() {
  CloseNow();
}

void NativeDevice::CloseNow() {
  if (handle_ == INVALID_HANDLE_VALUE) return;
  ::CancelIo(handle_);
  ::CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
  // The system still reports the cancelled transfers; they no longer name this device.
  for (Transfer* transfer : InFlight()) {
    if (transfer->device == this) transfer->device = nullptr;
  }
}

bool NativeDevice::ReadEx(uint8_t* buffer, uint32_t size, Overlapped* overlapped,
                          CompletionRoutine routine, LinkError* error) {
  return Start(false, buffer, nullptr, size, overlapped, routine, error);
}

bool NativeDevice::WriteEx(const uint8_t* buffer, uint32_t size, Overlapped* overlapped,
                           CompletionRoutine routine, LinkError* error) {
  return Start(true, nullptr, buffer, size, overlapped, routine, error);
}

bool NativeDevice::Start(bool write, uint8_t* buffer, const uint8_t* data, uint32_t size,
                         Overlapped* overlapped, CompletionRoutine routine, LinkError* error) {
  LinkError scratch = LinkError::kSuccess;
  if (error == nullptr) error = &scratch;
  if (routine == nullptr || (write ? data == nullptr : buffer == nullptr) || size == 0) {
    *error = LinkError::kInvalidParameter;
    return false;
  }
  if (Pending(write)) {
    *error = LinkError::kBusy;
    return false;
  }
  if (handle_ == INVALID_HANDLE_VALUE) {
    *error = LinkError::kInvalidHandle;
    return false;
  }
  auto transfer = std::make_unique<Transfer>();
  transfer->device = this;
  transfer->write = write;
  transfer->destination = buffer;
  transfer->overlapped = overlapped;
  transfer->routine = routine;
  if (write) {
    transfer->bytes.assign(data, data + size);
  } else {
    transfer->bytes.resize(size);
  }
  const BOOL started =
      write ? ::WriteFileEx(handle_, transfer->bytes.data(), size, &transfer->system, TransferDone)
            : ::ReadFileEx(handle_, transfer->bytes.data(), size, &transfer->system, TransferDone);
  if (!started) {
    const DWORD code = ::GetLastError();
    if (!IsHangUp(code)) {
      *error = TransferError(code);
      return false;
    }
    // Reported like a hang-up under a transfer in flight: through the routine, later.
    Reactor::Instance().Finished(this, write, routine, LinkError::kBrokenPipe, 0, overlapped);
    *error = LinkError::kSuccess;
    return true;
  }
  InFlight().push_back(transfer.release());
  Reactor::Instance().Install();
  *error = LinkError::kSuccess;
  return true;
}

bool NativeDevice::Pending(bool write) const {
  const bool in_flight = std::any_of(InFlight().begin(), InFlight().end(), [&](const Transfer* t) {
    return t->device == this && t->write == write;
  });
  return in_flight || Reactor::Instance().HasPending(this, write);
}

bool NativeDevice::CancelIo(LinkError* error) {
  if (handle_ != INVALID_HANDLE_VALUE) ::CancelIo(handle_);
  if (error != nullptr) *error = LinkError::kSuccess;
  return true;
}

void DiscardNativeTransfers(const Overlapped* overlapped) {
  for (Transfer* transfer : InFlight()) {
    if (transfer->overlapped == overlapped) transfer->discarded = true;
  }
}

bool NativeTransfersInFlight() {
  return !InFlight().empty();
}

}  // namespace qplatform
