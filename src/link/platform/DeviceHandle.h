// What the machine link needs of the operating system, written once for every device kind:
// list the interface paths of a kind, open a path, start a read or a write (with a completion
// routine, or waited for on the transfer's own event), cancel, close, and the HID queries.
//
// One DeviceBackend per device kind, one DeviceHandle per open path. The backends:
//   HID       hidapi (hidraw), Backends.h MakeHidapiBackend()
//   bulk      libusb-1.0,      Backends.h MakeLibusbBackend()
//   emulator  EmuBackend.h: not a DeviceBackend (the search serves its slots itself), but its
//             connected clients are DeviceHandles driven like HID machines
//   fake      FakeBackend.h, in-memory, for tests
//
// Which backend provides what:
//
// | call                                   | HID | bulk | emulator | fake | blocks?               |
// |----------------------------------------|-----|------|----------|------|-----------------------|
// | DeviceBackend::ListInterfaces          | yes | yes  | -        | yes  | bulk: serial reads    |
// | DeviceBackend::Open                    | yes | yes  | -        | yes  | bulk: serial reads    |
// | ReadEx / WriteEx (completion routines) | yes | no   | yes      | HID  | HID write: kernel     |
// | TryRead / TryWrite (reactor side)      | yes | no   | yes      | HID  | HID write: kernel     |
// | NextEventTick (posix/PollSource.h: fd) | -   | -    | fd       | tick | never                 |
// | Read / Write / PendingResult           | no  | yes  | no       | bulk | never                 |
// | WaitPending(ms)                        | no  | yes  | no       | bulk | up to ms              |
// | ResetEvent                             | yes | yes  | yes      | yes  | never                 |
// | CancelIo                               | yes | yes  | yes      | yes  | bulk: up to 1,000 ms  |
// | HID queries                            | yes | no   | no       | HID  | never                 |
//
// "no" means the default below: it refuses (false, or IoStart::kFailed with
// LinkError::kInvalidFunction), so a caller never needs to know the kind to stay safe.
//
// Errors are LinkError values (LinkError.h): the platform's classic numbers, because the link
// prints them in its trace and its completion routines test for some of them.
// Everything is called on the one thread that drives the link.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LinkError.h"

namespace qplatform {

// The record a pending transfer carries; `context` leads the completion routine back to its
// owner (the platform's event field serves that purpose there).
struct Overlapped {
  void* context = nullptr;
};

using CompletionRoutine = void (*)(LinkError error, uint32_t bytes, Overlapped* overlapped);

// How an event-waited transfer started.
enum class IoStart { kCompleted, kPending, kFailed };
// What a wait on a pending transfer's event returned.
enum class WaitResult { kSignaled, kTimeout, kAbandoned, kFailed };

struct HidAttributes {
  uint16_t vendor_id = 0;
  uint16_t product_id = 0;
  uint16_t version_number = 0;
};

// One open path.
//
// Two ways of moving bytes, one per device kind:
//  - ReadEx / WriteEx: at most one pending read and one pending write, each finishing through
//    its completion routine, which the reactor runs only inside an alertable sleep on the
//    calling thread (HID and emulator devices). A device provides TryRead / TryWrite and,
//    when it has one, the descriptor that says when to try again.
//  - Read / Write / WaitPending / PendingResult: one transfer at a time, waited for on its
//    event in steps the caller chooses (bulk pipes).
class DeviceHandle {
 public:
  DeviceHandle() = default;
  // Closes the path. Pending transfers with completion routines are cancelled, and their
  // routines still run (with LinkError::kOperationAborted) at the next alertable sleep, as they do
  // when a handle is closed under them on the platform. Bulk: a transfer in flight is cancelled
  // first (CancelIo, so up to 1,000 ms); the machine is released once both pipes are closed.
  virtual ~DeviceHandle();
  DeviceHandle(const DeviceHandle&) = delete;
  DeviceHandle& operator=(const DeviceHandle&) = delete;

  // Starts a read of up to `size` bytes into `buffer`; `routine` runs with `overlapped` once it
  // finished, inside a later alertable sleep (never inside this call, even when the bytes are
  // there already). `buffer` must stay valid until then.
  // Never blocks (it tries TryRead once). Not virtual: the reactor drives every device through
  // TryRead.
  // Returns:
  //  - true: started (*error = 0)
  //  - false: refused, with *error: LinkError::kInvalidHandle (the handle takes no completion
  //    routines: bulk pipes, probes), LinkError::kInvalidParameter (no routine, no buffer or size
  //    0), LinkError::kBusy (a read is pending, or finished with its routine not yet run), or what
  //    AcceptTransfer said (LinkError::kDeviceNotConnected: the device has gone)
  bool ReadEx(uint8_t* buffer, uint32_t size, Overlapped* overlapped, CompletionRoutine routine,
              LinkError* error);
  // Starts a write of `size` bytes, as ReadEx does a read; the bytes must stay valid until the
  // routine ran. It tries TryWrite once, so it blocks as long as that may (a HID write is
  // handed to the kernel synchronously); otherwise never. Returns as ReadEx, LinkError::kBusy
  // meaning a write is pending.
  bool WriteEx(const uint8_t* buffer, uint32_t size, Overlapped* overlapped,
               CompletionRoutine routine, LinkError* error);
  // Cancels this handle's pending transfers.
  // Required (the default serves every handle driven through completion routines: their
  // transfers end with LinkError::kOperationAborted, routines run at the next alertable sleep).
  // Blocks: bulk, until libusb gave the cancelled transfer (and the caller's buffer) back, at
  // most 1,000 ms; otherwise never.
  // Returns true (*error = 0) once nothing is in flight any more, also when nothing was; false
  // with *error only where a device cannot cancel (none of ours).
  virtual bool CancelIo(LinkError* error);

  // --- Reactor side: used by the reactor only. ------------------------------------------------
  // Finishes the pending read or write now if the device can. Required for a handle that says
  // SupportsCompletionRoutines(); the default finishes at once with LinkError::kInvalidHandle.
  // Blocks: never for reads (HID reads every report waiting, emulator every message waiting);
  // a HID write is handed to the kernel synchronously and returns when the device took the
  // report (the kernel gives up on a device that does not, after its USB time-out of 5 s).
  // Returns:
  //  - false: nothing yet; the reactor tries again when the device's descriptor is ready (a
  //    posix::PollSource), at
  //    NextEventTick(), or after 1 ms
  //  - true: finished; *bytes moved (HID: whole 65-byte records, report id 0 in front;
  //    emulator: whole messages, a malformed one alone), *error 0 or the failure:
  //    LinkError::kDeviceNotConnected (unplugged), LinkError::kInvalidUserBuffer (HID: a buffer too
  //    small for one record), LinkError::kBrokenPipe (the emulator's client hung up), 234 (an
  //    emulator message larger than the buffer: its rest is lost)
  virtual bool TryRead(uint8_t* buffer, uint32_t size, LinkError* error, uint32_t* bytes);
  virtual bool TryWrite(const uint8_t* buffer, uint32_t size, LinkError* error, uint32_t* bytes);
  // Optional (fake devices). True with *tick when the device knows the tick at which its next
  // transfer of that direction can finish; false: the reactor tries again every millisecond
  // (unless it polls the device's descriptor). Never blocks.
  virtual bool NextEventTick(bool /*write*/, uint32_t* /*tick*/) { return false; }
  // Whether the handle accepts transfers with completion routines at all: HID, emulator and fake
  // HID handles say true. Never blocks.
  virtual bool SupportsCompletionRoutines() const { return false; }
  // Optional. Asked before a transfer with a completion routine starts: false (with *error)
  // refuses it, as the platform refuses to start I/O on a device that has gone
  // (LinkError::kDeviceNotConnected). The default accepts. Never blocks.
  virtual bool AcceptTransfer(bool /*write*/, LinkError* /*error*/) { return true; }

  // --- Transfers waited for on an event (bulk pipes). -----------------------------------------
  // Starts a transfer of `size` bytes; one at a time per handle. A bulk read finishes only when
  // all `size` bytes have arrived. Never blocks. Bulk and fake bulk; the default refuses.
  // Returns:
  //  - IoStart::kPending: started (*error = LinkError::kIoPending); wait with WaitPending, then ask
  //    PendingResult. The bulk backend always answers this.
  //  - IoStart::kCompleted: finished at once, *bytes moved (fake pipes only)
  //  - IoStart::kFailed: not started, *error says why: LinkError::kInvalidFunction (the handle
  //    moves no bytes this way), LinkError::kAccessDenied (a read on the write pipe or the other
  //    way round), LinkError::kBusy (a transfer is in flight), LinkError::kDeviceNotConnected, ...
  virtual IoStart Read(uint8_t* buffer, uint32_t size, uint32_t* bytes, LinkError* error);
  virtual IoStart Write(const uint8_t* buffer, uint32_t size, uint32_t* bytes, LinkError* error);
  // Waits for the transfer in flight. Blocks up to `ms` (bulk: running libusb's event handling
  // on the calling thread; fake: on the clock seam). The default returns kFailed at once.
  // Returns:
  //  - kSignaled: it finished (also when it finished before the call); ask PendingResult
  //  - kTimeout: still in flight after `ms`
  //  - kAbandoned: the platform's abandoned wait; none of our backends answers it, the link
  //    still handles it
  //  - kFailed: nothing in flight, or the event handling failed
  virtual WaitResult WaitPending(uint32_t ms);
  // The outcome of the finished transfer. Never blocks. Bulk and fake bulk; the default fails
  // with LinkError::kInvalidFunction.
  // Returns true with *bytes when it finished without error; false with *bytes (what did move)
  // and *error: the transfer's failure (LinkError::kSemTimeout, LinkError::kOperationAborted,
  // LinkError::kDeviceNotConnected, ...) or LinkError::kIoIncomplete (not finished yet).
  virtual bool PendingResult(uint32_t* bytes, LinkError* error);
  // Makes the transfer's event ready for the next transfer. Never blocks. Optional: the
  // default (and the bulk backend, whose transfers carry no event to reset) returns true.
  virtual bool ResetEvent(LinkError* error);

  // --- HID queries. HID and fake HID handles; the default returns false. ----------------------
  // None of them blocks: hidapi answers from what the kernel knows of the device, without a
  // request to it. False when the device refuses or is no HID device.
  virtual bool GetAttributes(HidAttributes* attributes);
  // The strings as the device gives them (hidapi: at most 1,023 characters).
  virtual bool GetProductString(std::wstring* text);
  virtual bool GetManufacturerString(std::wstring* text);
  virtual bool GetSerialNumberString(std::wstring* text);
  // The driver's count of input buffers. hidraw has none: the HID backend reports its own
  // count (32 at open) and accepts a set of 2 to 512, false outside that range.
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

// How Open opens a path. The exclusive modes refuse a path this process holds already
// (LinkError::kSharingViolation), as an unshared open does on the platform.
enum class OpenMode {
  kExclusive,       // read and write, no sharing, overlapped (HID)
  kExclusiveRead,   // read access, no sharing, overlapped (bulk "\PIPE00")
  kExclusiveWrite,  // write access, no sharing, overlapped (bulk "\PIPE01")
  kProbe,           // read and write, shared, no flags: only to see that it opens
};

// One device kind.
class DeviceBackend {
 public:
  virtual ~DeviceBackend() = default;

  // Lists the present interfaces of the kind into *entries (cleared first), in a stable order.
  // Required.
  // Blocks: HID never waits on a device (hidapi reads what the kernel knows); bulk reads the
  // serial number of each candidate of the machine's vendor id, two control requests of at most
  // 1,000 ms each, so a device that does not answer costs up to 2 s; fake never.
  // Returns:
  //  - true (*error = 0): *entries holds every member; one may carry its own failure
  //    (enum_error, detail_failed), which the search skips
  //  - false: the device set cannot be had (the library failed to start or to list), *error
  //    says why (LinkError::kGenFailure, or libusb's error mapped to the classic numbers)
  virtual bool ListInterfaces(std::vector<InterfaceEntry>* entries, LinkError* error) = 0;

  // Opens a path that ListInterfaces gave (bulk: with "\PIPE00" or "\PIPE01" appended, or
  // bare for kProbe). Required.
  // Blocks: as ListInterfaces for the bulk backend (it finds the device by its path, reading
  // serial numbers); otherwise never waits on a device.
  // Returns the handle (*error = 0), which the caller owns; or nullptr with *error:
  //  - LinkError::kFileNotFound: no such device (unplugged, or a path of another kind)
  //  - LinkError::kAccessDenied: the user may not open the device node
  //  - LinkError::kSharingViolation: held by this process already (exclusive modes), or the bulk
  //    interface is claimed by someone else
  //  - LinkError::kGenFailure and others: the library failed
  virtual std::unique_ptr<DeviceHandle> Open(const std::string& path, OpenMode mode,
                                             LinkError* error) = 0;
};

// Converts a device's wide string to 8-bit text of at most 127 characters, ending at the first
// zero; characters outside 8 bits become '?'. Never blocks.
std::string NarrowDeviceString(const std::wstring& text);

}  // namespace qplatform
