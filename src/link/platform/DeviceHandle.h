// What the machine link needs of the operating system, written once for every device kind:
// list the interface paths of a kind, open a path, start a read or a write (with a completion
// routine, or waited for on the transfer's own event), cancel, close, and the HID queries.
//
// One backend per device kind, one handle per open path. The handle types, by I/O model:
//
//   DeviceHandle       closing (destruction) and CancelIo: every open path
//   CompletionDevice   ReadEx / WriteEx with completion routines, Pending: what the interrupt
//                      transport drives (HID machines, emulator slots)
//   PolledDevice       a CompletionDevice whose transfers the completion reactor (Reactor.h)
//                      finishes by trying the device: TryRead / TryWrite, AcceptTransfer,
//                      NextEventTick. A system whose own completion routines serve a device
//                      derives from CompletionDevice directly and answers ReadEx / WriteEx
//                      itself
//   HidDevice          a PolledDevice with the HID queries (attributes, the three strings,
//                      the input-buffer count)
//   PipeDevice         Read / Write / WaitPending / PendingResult / ResetEvent: one transfer
//                      at a time, waited for on its event (bulk pipes)
//
// Which backend implements which:
//
// | backend                     | opens                                 | handle type          |
// |-----------------------------|---------------------------------------|----------------------|
// | HidBackend: hidapi (hidraw; | Open                                  | HidDevice            |
// |   Windows: its own backend) |                                       | (HidapiDevice.h)     |
// | BulkBackend: libusb-1.0     | Open (path and "\PIPE00" / "\PIPE01") | PipeDevice           |
// |   (Windows: SetupDi and the |                                       |                      |
// |   maker's driver)           | Probe (bare path: opens, closes)      | none handed out      |
// | EmulatorLink (EmuBackend.h) | TakeClient                            | CompletionDevice     |
// |                             |                                       | (posix: PolledDevice |
// |                             |                                       | and a PollSource;    |
// |                             |                                       | Windows: NativeDevice|
// |                             |                                       | in win/NativeIo.h)   |
// | fake HID, fake bulk (tests) | as HID, as bulk                       | HidDevice, PipeDevice|
// | a build without the library | nothing: it lists no device           | -                    |
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

// One open path.
class DeviceHandle {
 public:
  DeviceHandle() = default;
  // Closes the path. What closing does to transfers still out, each type says below.
  virtual ~DeviceHandle() = default;
  DeviceHandle(const DeviceHandle&) = delete;
  DeviceHandle& operator=(const DeviceHandle&) = delete;

  // Cancels this handle's transfers in flight.
  // Blocks: a pipe, until libusb gave the cancelled transfer (and the caller's buffer) back, at
  // most 1,000 ms; a device driven through completion routines never.
  // Returns true (*error = 0, when error is not nullptr) once nothing is in flight any more,
  // also when nothing was; false with *error only where a device cannot cancel (none of ours).
  virtual bool CancelIo(LinkError* error) = 0;
};

// A path driven through completion routines: at most one pending read and one pending write,
// each finishing through its routine, which runs only inside an alertable sleep on the calling
// thread (qclock::SleepEx(ms, true)). Closing the handle cancels its transfers; their routines
// still run (with LinkError::kOperationAborted) at the next alertable sleep, as they do when a
// handle is closed under them on the platform. CancelIo ends them the same way.
class CompletionDevice : public DeviceHandle {
 public:
  // Starts a read of up to `size` bytes into `buffer`; `routine` runs with `overlapped` once it
  // finished, inside a later alertable sleep (never inside this call, even when the bytes are
  // there already). `buffer` must stay valid until then. Never blocks.
  // Returns:
  //  - true: started (*error = 0)
  //  - false: refused, with *error: LinkError::kInvalidParameter (no routine, no buffer or size
  //    0), LinkError::kBusy (a read is pending, or finished with its routine not yet run),
  //    LinkError::kDeviceNotConnected (the device has gone), LinkError::kInvalidHandle (an
  //    emulator client already closed)
  virtual bool ReadEx(uint8_t* buffer, uint32_t size, Overlapped* overlapped,
                      CompletionRoutine routine, LinkError* error) = 0;
  // Starts a write of `size` bytes, as ReadEx does a read; the bytes must stay valid until the
  // routine ran. Blocks as long as the device's first try may (a HID write is handed to the
  // kernel synchronously); otherwise never. Returns as ReadEx, LinkError::kBusy meaning a write
  // is pending (a fake device told to refuse the start says LinkError::kGenFailure).
  virtual bool WriteEx(const uint8_t* buffer, uint32_t size, Overlapped* overlapped,
                       CompletionRoutine routine, LinkError* error) = 0;
  // True while a transfer of that direction is pending or finished with its routine not yet
  // run. Never blocks.
  virtual bool Pending(bool write) const = 0;
};

// A CompletionDevice whose transfers the completion reactor (Reactor.h) finishes: ReadEx and
// WriteEx hand them to it, it tries the device (TryRead / TryWrite) when they start and in every
// alertable sleep, and runs the routines. HID machines and the POSIX emulator slots; the fakes.
class PolledDevice : public CompletionDevice {
 public:
  // Cancels what the reactor still holds of this handle (the routines run later, with 995).
  ~PolledDevice() override;

  // The reactor's: checks the arguments and AcceptTransfer, tries the device once, and queues
  // the transfer (DeviceHandle.h CompletionDevice for the results).
  bool ReadEx(uint8_t* buffer, uint32_t size, Overlapped* overlapped, CompletionRoutine routine,
              LinkError* error) override;
  bool WriteEx(const uint8_t* buffer, uint32_t size, Overlapped* overlapped,
               CompletionRoutine routine, LinkError* error) override;
  bool Pending(bool write) const override;
  // Ends the transfers with LinkError::kOperationAborted; never blocks, never fails.
  bool CancelIo(LinkError* error) override;

  // --- Reactor side: used by the reactor only. ------------------------------------------------
  // Finishes the pending read or write now if the device can.
  // Blocks: never for reads (HID reads every report waiting, emulator every message waiting);
  // a HID write is handed to the kernel synchronously and returns when the device took the
  // report (the kernel gives up on a device that does not, after its USB time-out of 5 s).
  // Returns:
  //  - false: nothing yet; the reactor tries again when the device's descriptor is ready (a
  //    posix::PollSource), at NextEventTick(), or after 1 ms
  //  - true: finished; *bytes moved (HID: whole 65-byte records, report id 0 in front;
  //    emulator: whole messages, a malformed one alone), *error 0 or the failure:
  //    LinkError::kDeviceNotConnected (unplugged), LinkError::kInvalidUserBuffer (HID: a buffer
  //    too small for one record), LinkError::kBrokenPipe (the emulator's client hung up), 234
  //    (an emulator message larger than the buffer: its rest is lost)
  virtual bool TryRead(uint8_t* buffer, uint32_t size, LinkError* error, uint32_t* bytes) = 0;
  virtual bool TryWrite(const uint8_t* buffer, uint32_t size, LinkError* error,
                        uint32_t* bytes) = 0;
  // Asked before a transfer starts: false (with *error) refuses it, as the platform refuses to
  // start I/O on a device that has gone (LinkError::kDeviceNotConnected). Never blocks.
  virtual bool AcceptTransfer(bool write, LinkError* error) = 0;
  // A hint, not a refusal: true with *tick when the device knows the tick at which its next
  // transfer of that direction can finish (fake devices); false, the default: the reactor
  // tries again every millisecond (unless it polls the device's descriptor). Never blocks.
  virtual bool NextEventTick(bool /*write*/, uint32_t* /*tick*/) { return false; }
};

struct HidAttributes {
  uint16_t vendor_id = 0;
  uint16_t product_id = 0;
  uint16_t version_number = 0;
};

// A HID machine: polled like every HID device (also where the system's own completion routines
// serve the emulator slots), with the identity queries. None of them blocks: hidapi answers
// from what the kernel knows of the device, without a request to it.
class HidDevice : public PolledDevice {
 public:
  // False when the device refuses or nothing is known of it.
  virtual bool GetAttributes(HidAttributes* attributes) = 0;
  // The strings as the device gives them (hidapi: at most 1,023 characters).
  virtual bool GetProductString(std::wstring* text) = 0;
  virtual bool GetManufacturerString(std::wstring* text) = 0;
  virtual bool GetSerialNumberString(std::wstring* text) = 0;
  // The driver's count of input buffers. hidraw has none: the HID backend reports its own
  // count (32 at open) and accepts a set of 2 to 512, false outside that range.
  virtual bool GetNumInputBuffers(uint32_t* count) = 0;
  virtual bool SetNumInputBuffers(uint32_t count) = 0;
};

// One bulk pipe ("\PIPE00" reads, "\PIPE01" writes): one transfer at a time, waited for on its
// event in steps the caller chooses. Closing it cancels a transfer in flight first (CancelIo,
// so up to 1,000 ms); the machine is released once both its pipes are closed.
class PipeDevice : public DeviceHandle {
 public:
  // Starts a transfer of `size` bytes. A read finishes only when all `size` bytes have
  // arrived. Never blocks.
  // Returns:
  //  - IoStart::kPending: started (*error = LinkError::kIoPending); wait with WaitPending, then
  //    ask PendingResult. The libusb backend always answers this.
  //  - IoStart::kCompleted: finished at once, *bytes moved (fake pipes only)
  //  - IoStart::kFailed: not started, *error says why: LinkError::kAccessDenied (a read on the
  //    write pipe or the other way round), LinkError::kBusy (a transfer is in flight),
  //    LinkError::kDeviceNotConnected, ...
  virtual IoStart Read(uint8_t* buffer, uint32_t size, uint32_t* bytes, LinkError* error) = 0;
  virtual IoStart Write(const uint8_t* buffer, uint32_t size, uint32_t* bytes,
                        LinkError* error) = 0;
  // Waits for the transfer in flight. Blocks up to `ms` (libusb: running its event handling on
  // the calling thread; fake: on the clock seam).
  // Returns:
  //  - kSignaled: it finished (also when it finished before the call); ask PendingResult
  //  - kTimeout: still in flight after `ms`
  //  - kAbandoned: the platform's abandoned wait; none of our backends answers it, the link
  //    still handles it
  //  - kFailed: nothing in flight, or the event handling failed
  virtual WaitResult WaitPending(uint32_t ms) = 0;
  // The outcome of the finished transfer. Never blocks.
  // Returns true with *bytes when it finished without error; false with *bytes (what did move)
  // and *error: the transfer's failure (LinkError::kSemTimeout, LinkError::kOperationAborted,
  // LinkError::kDeviceNotConnected, ...) or LinkError::kIoIncomplete (not finished yet).
  virtual bool PendingResult(uint32_t* bytes, LinkError* error) = 0;
  // Makes the transfer's event ready for the next transfer. Never blocks. libusb and the fake
  // carry no event to reset and return true (*error = 0, when error is not nullptr).
  virtual bool ResetEvent(LinkError* error) = 0;
};

// One member of an interface listing: the path, or the failure that member gave.
struct InterfaceEntry {
  uint32_t enum_error = 0;     // non-zero: enumerating this member failed (never "no more")
  bool detail_failed = false;  // the member exists but its path could not be read
  std::string path;
  // Non-empty: a device of the machine's vendor that is not a machine, and why not.
  std::string not_machine = {};
};

// What every device kind's backend lists.
class DeviceBackend {
 public:
  virtual ~DeviceBackend() = default;

  // Lists the present interfaces of the kind into *entries (cleared first), in a stable order.
  // Blocks: HID never waits on a device (hidapi reads what the kernel knows); bulk reads the
  // serial number of each candidate of the machine's vendor id, two control requests of at most
  // 1,000 ms each, so a device that does not answer costs up to 2 s; fake never.
  // Returns:
  //  - true (*error = 0): *entries holds every member; one may carry its own failure
  //    (enum_error, detail_failed), which the search skips
  //  - false: the device set cannot be had (the library failed to start or to list), *error
  //    says why (LinkError::kGenFailure, or libusb's error mapped to the classic numbers)
  virtual bool ListInterfaces(std::vector<InterfaceEntry>* entries, LinkError* error) = 0;
};

// The HID machines.
class HidBackend : public DeviceBackend {
 public:
  // Opens a path that ListInterfaces gave: read and write, overlapped, shared with nobody.
  // Never waits on a device.
  // Returns the handle (*error = 0), which the caller owns; or nullptr with *error:
  //  - LinkError::kFileNotFound: no such device (unplugged, or a path of another kind)
  //  - LinkError::kAccessDenied: the user may not open the device node
  //  - LinkError::kSharingViolation: held by this process already
  //  - LinkError::kLockViolation: held by another of our programs
  //  - LinkError::kGenFailure: the library failed
  virtual std::unique_ptr<HidDevice> Open(const std::string& path, LinkError* error) = 0;
};

// The bulk machines.
class BulkBackend : public DeviceBackend {
 public:
  // Opens one pipe of a path that ListInterfaces gave, "\PIPE00" (read) or "\PIPE01" (write)
  // appended; shared with nobody. Both pipes share one claimed interface.
  // Blocks: as ListInterfaces (it finds the device by its path, reading serial numbers), unless
  // the other pipe of the machine is open already.
  // Returns the pipe (*error = 0), which the caller owns; or nullptr with *error:
  //  - LinkError::kFileNotFound: no such device, or no pipe suffix
  //  - LinkError::kAccessDenied: the user may not open the device node
  //  - LinkError::kSharingViolation: the pipe is held by this process already, or the interface
  //    is claimed by someone else
  //  - LinkError::kGenFailure and others: the library failed
  virtual std::unique_ptr<PipeDevice> Open(const std::string& path, LinkError* error) = 0;
  // Opens the bare path shared, only to see that it opens, and closes it again. Blocks as
  // Open. Returns true (*error = 0), or false with *error as Open.
  virtual bool Probe(const std::string& path, LinkError* error) = 0;
};

// Converts a device's wide string to 8-bit text of at most 127 characters, ending at the first
// zero; characters outside 8 bits become '?'. Never blocks.
std::string NarrowDeviceString(const std::wstring& text);

}  // namespace qplatform
