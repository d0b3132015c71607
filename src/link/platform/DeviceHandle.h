// What the machine link needs of the operating system, written once for every device kind:
// list the interface paths of a kind, open a path, start a read or a write (with a completion
// routine, or waited for on the transfer's own event), cancel, close, and the HID queries.
//
// Error numbers are the platform's classic ones, because the link prints them in its trace and
// its completion routines test for some of them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qplatform {

constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorInvalidFunction = 1;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr uint32_t kErrorGenFailure = 31;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorLockViolation = 33;  // another program holds the device
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorBrokenPipe = 109;
constexpr uint32_t kErrorSemTimeout = 121;
constexpr uint32_t kErrorBusy = 170;
constexpr uint32_t kErrorNoMoreItems = 259;
constexpr uint32_t kErrorOperationAborted = 995;
constexpr uint32_t kErrorIoPending = 997;
constexpr uint32_t kErrorDeviceNotConnected = 1167;
constexpr uint32_t kErrorInvalidUserBuffer = 1784;

// The record a pending transfer carries; `context` leads the completion routine back to its
// owner (the platform's event field serves that purpose there).
struct Overlapped {
  void* context = nullptr;
};

using CompletionRoutine = void (*)(uint32_t error, uint32_t bytes, Overlapped* overlapped);

// How an event-waited transfer started.
enum class IoStart { kCompleted, kPending, kFailed };
// What a wait on a pending transfer's event returned.
enum class WaitResult { kSignaled, kTimeout, kAbandoned, kFailed };

struct HidAttributes {
  uint16_t vendor_id = 0;
  uint16_t product_id = 0;
  uint16_t version_number = 0;
};

// One open path. Destroying the handle closes it: pending transfers with completion routines
// are cancelled, and their routines still run (with kErrorOperationAborted) at the next
// alertable sleep, as they do when a handle is closed under them on the platform.
//
// Two ways of moving bytes, one per device kind:
//  - ReadEx / WriteEx: at most one pending read and one pending write, each finishing through
//    its completion routine, which the reactor runs only inside an alertable sleep on the
//    calling thread (HID and emulator devices). A device provides TryRead / TryWrite and,
//    when it has one, the descriptor that says when to try again.
//  - Read / Write / WaitPending / PendingResult: one transfer at a time, waited for on its
//    event in steps the caller chooses (bulk pipes). Optional: the default refuses.
class DeviceHandle {
 public:
  DeviceHandle() = default;
  virtual ~DeviceHandle();
  DeviceHandle(const DeviceHandle&) = delete;
  DeviceHandle& operator=(const DeviceHandle&) = delete;

  // Starts a read of up to `size` bytes into `buffer`. False when refused; *error says why.
  bool ReadEx(uint8_t* buffer, uint32_t size, Overlapped* overlapped, CompletionRoutine routine,
              uint32_t* error);
  // Starts a write of `size` bytes (the bytes must stay valid until the routine ran).
  bool WriteEx(const uint8_t* buffer, uint32_t size, Overlapped* overlapped,
               CompletionRoutine routine, uint32_t* error);
  // Cancels this handle's pending transfers. False (with *error) when there was nothing to
  // cancel on a handle that cannot cancel.
  virtual bool CancelIo(uint32_t* error);

  // --- Reactor side: used by the reactor only. ------------------------------------------------
  // Finishes the pending read or write now if the device can, without blocking. True when it
  // finished; *error and *bytes then hold the outcome.
  virtual bool TryRead(uint8_t* buffer, uint32_t size, uint32_t* error, uint32_t* bytes);
  virtual bool TryWrite(const uint8_t* buffer, uint32_t size, uint32_t* error, uint32_t* bytes);
  // The descriptor whose readiness means "try again", or -1 when the device has none.
  virtual int PollDescriptor() const { return -1; }
  // When the device knows the tick at which its next transfer can finish (fake devices), it
  // says so here; otherwise the reactor tries again every millisecond.
  virtual bool NextEventTick(bool /*write*/, uint32_t* /*tick*/) { return false; }
  // Whether the handle accepts transfers with completion routines at all.
  virtual bool SupportsCompletionRoutines() const { return false; }
  // Asked before a transfer with a completion routine starts: false (with *error) refuses it,
  // as the platform refuses to start I/O on a device that has gone.
  virtual bool AcceptTransfer(bool /*write*/, uint32_t* /*error*/) { return true; }

  // --- Transfers waited for on an event (bulk pipes). -----------------------------------------
  virtual IoStart Read(uint8_t* buffer, uint32_t size, uint32_t* bytes, uint32_t* error);
  virtual IoStart Write(const uint8_t* buffer, uint32_t size, uint32_t* bytes, uint32_t* error);
  virtual WaitResult WaitPending(uint32_t ms);
  // The outcome of the finished transfer, without waiting. False with *error on failure.
  virtual bool PendingResult(uint32_t* bytes, uint32_t* error);
  virtual bool ResetEvent(uint32_t* error);

  // --- HID queries. False when the device refuses or is no HID device. ------------------------
  virtual bool GetAttributes(HidAttributes* attributes);
  virtual bool GetProductString(std::wstring* text);
  virtual bool GetManufacturerString(std::wstring* text);
  virtual bool GetSerialNumberString(std::wstring* text);
  virtual bool GetNumInputBuffers(uint32_t* count);
  virtual bool SetNumInputBuffers(uint32_t count);
};

// One member of an interface listing: the path, or the failure that member gave.
struct InterfaceEntry {
  uint32_t enum_error = 0;     // non-zero: enumerating this member failed (never "no more")
  bool detail_failed = false;  // the member exists but its path could not be read
  std::string path;
  // Non-empty: a device of the machine's vendor that is not a machine, and why not.
  std::string not_machine = {};
};

enum class OpenMode {
  kExclusive,       // read and write, no sharing, overlapped (HID)
  kExclusiveRead,   // read access, no sharing, overlapped (bulk "\PIPE00")
  kExclusiveWrite,  // write access, no sharing, overlapped (bulk "\PIPE01")
  kProbe,           // read and write, shared, no flags: only to see that it opens
};

// One device kind. ListInterfaces fails (false, *error) when the device set cannot be had.
class DeviceBackend {
 public:
  virtual ~DeviceBackend() = default;
  virtual bool ListInterfaces(std::vector<InterfaceEntry>* entries, uint32_t* error) = 0;
  virtual std::unique_ptr<DeviceHandle> Open(const std::string& path, OpenMode mode,
                                             uint32_t* error) = 0;
};

// Converts a device's wide string to 8-bit text of at most 127 characters; characters outside
// 8 bits become '?'.
std::string NarrowDeviceString(const std::wstring& text);

}  // namespace qplatform
