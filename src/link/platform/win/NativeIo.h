// A device the system itself drives through completion routines: ReadFileEx and WriteFileEx on
// an overlapped handle (the emulator's named pipes). The system runs its completion routine in
// an alertable wait of this thread (SleepEx); that routine hands the outcome to the reactor,
// which runs the link's routine in its next alertable sleep, like a polled device's, so the
// link's routines never run inside another alertable wait (Qt's event loop waits alertably).
//
// Each transfer moves through a buffer of its own that lives until the system reported it, so
// a handle closed (or a caller gone) with a transfer in flight leaves the system nothing freed
// to write into. Windows only.
#pragma once

#include <windows.h>

#include "platform/DeviceHandle.h"

namespace qplatform {

class NativeDevice : public CompletionDevice {
 public:
  // Takes `handle` (opened with FILE_FLAG_OVERLAPPED); closes it when destroyed.
  explicit NativeDevice(HANDLE handle);
  // Cancels the transfers in flight and closes the handle; their routines run (with
  // LinkError::kOperationAborted) at the next alertable sleep.
  ~NativeDevice() override;

  // DeviceHandle.h CompletionDevice. A transfer the system refuses because the other end hung
  // up (ERROR_BROKEN_PIPE, ERROR_NO_DATA, ERROR_PIPE_NOT_CONNECTED) still starts: its routine
  // reports LinkError::kBrokenPipe, as a hang-up under a transfer in flight does.
  bool ReadEx(uint8_t* buffer, uint32_t size, Overlapped* overlapped, CompletionRoutine routine,
              LinkError* error) override;
  bool WriteEx(const uint8_t* buffer, uint32_t size, Overlapped* overlapped,
               CompletionRoutine routine, LinkError* error) override;
  bool Pending(bool write) const override;
  // CancelIo on the handle; the routines run later with LinkError::kOperationAborted.
  bool CancelIo(LinkError* error) override;

  HANDLE handle() const { return handle_; }
  // Closes the handle now (the other end sees the hang-up); later transfers are refused with
  // LinkError::kInvalidHandle.
  void CloseNow();

 private:
  bool Start(bool write, uint8_t* buffer, const uint8_t* data, uint32_t size,
             Overlapped* overlapped, CompletionRoutine routine, LinkError* error);

  HANDLE handle_;
};

// Transfers the system has not reported yet (of every native device): Discard's part of them.
// Their routines are dropped when the system reports them. Never blocks.
void DiscardNativeTransfers(const Overlapped* overlapped);
// True while any native transfer is in flight (the reactor then waits alertably).
bool NativeTransfersInFlight();

// The link's error for a system error code of a transfer.
LinkError TransferError(DWORD code);

}  // namespace qplatform
