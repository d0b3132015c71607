// The device search: one pass per device kind, in a fixed order (bulk, HID, the emulator
// slots), each opening the machines of its kind that are new and registering them in the
// ConnectionList, and FindDevice, which hands a free one out.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "MachineIds.h"
#include "MachineNotices.h"
#include "USBinterface.h"
#include "platform/Backends.h"

namespace {

constexpr int kMaxMembers = 128;

const char kReadPipe[] = "\\PIPE00";
const char kWritePipe[] = "\\PIPE01";

std::string Narrow(const std::wstring& text) {
  return qplatform::NarrowDeviceString(text);
}

// The first bulk machine `which` takes that is not open yet.
UsbInterface* OpenBulkDevice(const MachineFilter& which) {
  std::vector<ConnectionRecord> found;
  EnumerateBulkDevices(&found);
  LockConnectionMutex();
  std::erase_if(found, [&which](const ConnectionRecord& candidate) {
    return !which.Matches(candidate.id, candidate.serial) ||
           std::any_of(ConnectionList().begin(), ConnectionList().end(),
                       [&](const ConnectionRecord& r) { return r.id == candidate.id; });
  });
  ReleaseConnectionMutex();
  if (found.empty()) return nullptr;

  const ConnectionRecord& record = found.front();
  qplatform::BulkBackend* backend = qplatform::CurrentBackends().bulk;
  LinkError error = LinkError::kSuccess;
  const std::string write_path = std::string(record.path) + kWritePipe;
  std::unique_ptr<qplatform::PipeDevice> write_handle = backend->Open(write_path, &error);
  if (!write_handle) {
    TRACE('T', "Err opening:_%s_\n", write_path.c_str());
    TRACE('I', "Error opening write pipe %i\n", static_cast<int>(error));
    if (error == LinkError::kAccessDenied) {
      if (machine_notices::Note('B', record.path, machine_notices::kNoPermission)) {
        TRACE('W', machine_notices::kNoPermission, record.path);
      }
    } else if (error == LinkError::kSharingViolation || error == LinkError::kLockViolation) {
      // Machines this process holds are not tried: the pipe belongs to another program.
      if (machine_notices::Note('B', record.path, machine_notices::kInUse)) {
        TRACE('W', machine_notices::kInUse, record.path);
      }
    }
    return nullptr;
  }
  const std::string read_path = std::string(record.path) + kReadPipe;
  std::unique_ptr<qplatform::PipeDevice> read_handle = backend->Open(read_path, &error);
  if (!read_handle) {
    TRACE_FAILURE('W', error, "Error opening read pipe %i\n", static_cast<int>(error));
    return nullptr;
  }
  machine_notices::Opened(record.path);
  auto* device = new UsbInterface(record);
  if (device->InitBulk(std::move(read_handle), std::move(write_handle))) {
    TRACE('T', "Bulk pipes opened\n");
    return device;
  }
  TRACE_FAILURE('W', CauseOr(LinkError::kGenFailure), "USB init error\n");
  delete device;
  return nullptr;
}

UsbInterface* OpenHidDevice(const MachineFilter& which) {
  TRACE('T', "TestConnect\n");
  qclock::SleepEx(1, true);
  qplatform::HidBackend* backend = qplatform::CurrentBackends().hid;
  std::vector<qplatform::InterfaceEntry> entries;
  LinkError error = LinkError::kSuccess;
  if (backend == nullptr || !backend->ListInterfaces(&entries, &error)) {
    TRACE_FAILURE('W', ErrorOr(error, LinkError::kGenFailure), "Could not attach to PnP node");
    return nullptr;
  }
  machine_notices::Listed('H', entries);
  int member = 0;
  for (; member < kMaxMembers; ++member) {
    if (static_cast<size_t>(member) >= entries.size()) break;  // no more items
    const qplatform::InterfaceEntry& entry = entries[member];
    if (entry.enum_error != 0) continue;
    if (entry.detail_failed || entry.path.size() >= 256) {
      TRACE_FAILURE('W', LinkError::kFileNotFound,
                    "Could not find the system name for this Device\n");
      continue;
    }
    std::unique_ptr<qplatform::HidDevice> handle = backend->Open(entry.path, &error);
    if (!handle) {
      TRACE('T', "Createfile failed %i\n", member);
      // Said once per plug-in: the search comes back every 200 ms.
      if (error == LinkError::kAccessDenied &&
          machine_notices::Note('H', entry.path, machine_notices::kNoPermission)) {
        TRACE('W', machine_notices::kNoPermission, entry.path.c_str());
      } else if (error == LinkError::kLockViolation &&
                 machine_notices::Note('H', entry.path, machine_notices::kInUse)) {
        TRACE('W', machine_notices::kInUse, entry.path.c_str());
      }
      continue;
    }
    TRACE('T', "** Device path is %s\n", entry.path.c_str());
    std::wstring wide;
    if (!handle->GetProductString(&wide)) continue;
    const std::string product = Narrow(wide);
    TRACE('I', "Product ID : %s\n", product.c_str());
    qplatform::HidAttributes attributes;
    if (!handle->GetAttributes(&attributes)) {
      TRACE_FAILURE('W', LinkError::kGenFailure, "Error getting attributes\n");
      continue;
    }
    if (attributes.vendor_id != machine_ids::kVendor ||
        !machine_ids::IsHidProduct(attributes.product_id)) {
      continue;
    }
    TRACE('D', "Vendor  ID : %hu\n", attributes.vendor_id);
    TRACE('D', "Product ID : %hu\n", attributes.product_id);
    TRACE('D', "Version #  : %hu\n", attributes.version_number);
    if (!handle->GetManufacturerString(&wide)) continue;
    TRACE('I', "Manf : %s\n", Narrow(wide).c_str());
    if (!handle->GetSerialNumberString(&wide)) {
      handle.reset();
      TRACE_FAILURE('W', LinkError::kGenFailure, "Error getting serial number\n");
      continue;
    }
    const std::string serial = Narrow(wide);
    TRACE('I', "Serial num : %s\n", serial.c_str());
    uint32_t id = 0;
    if (!machine_ids::HidIdFromSerial(serial, &id)) {
      TRACE_FAILURE('W', LinkError::kInvalidData, "Illigal ID %s\n", serial.c_str());
      continue;
    }
    if (!which.Matches(id, serial)) {
      TRACE('T', "Not the machine asked for\n");
      continue;  // closes it again: it may be another copy's
    }
    uint32_t buffers = 0;
    handle->GetNumInputBuffers(&buffers);
    TRACE('T', "Buffers allocated %u \n", buffers);
    handle->SetNumInputBuffers(200);
    handle->GetNumInputBuffers(&buffers);
    TRACE('T', "Buffers allocated %u \n", buffers);

    ConnectionRecord record;
    record.id = id;
    record.free = 1;
    std::snprintf(record.serial, sizeof record.serial, "%s", serial.c_str());
    UsbInterface* device = new (std::nothrow) UsbInterface(record);
    if (device == nullptr) {
      handle.reset();
      TRACE_FAILURE('C', LinkError::kNotEnoughMemory, "Error in new\n");
      return nullptr;
    }
    device->SetProduct(product.c_str());
    machine_notices::Opened(entry.path);
    if (device->InitInterrupt(std::move(handle))) {
      TRACE('I', "HID opened\n");
      return device;
    }
    TRACE_FAILURE('W', CauseOr(LinkError::kGenFailure), "USB init error\n");
    delete device;
    return nullptr;
  }
  TRACE('T', "Fail %i\n", member);
  return nullptr;
}

// The emulator slots: a connected client not yet in use becomes a machine with id slot + 42.
// Slots `which` does not take are never listened on, so another copy can serve them.
UsbInterface* OpenEmuDevice(const MachineFilter& which) {
  qplatform::EmulatorLink* emulator = qplatform::CurrentBackends().emulator;
  if (emulator == nullptr) return nullptr;
  for (int slot = 0; slot < qplatform::EmulatorLink::kSlots; ++slot) {
    if (!which.Matches(machine_ids::EmulatorId(slot), "")) continue;
    if (!emulator->Listening(slot)) {
      if (emulator->Attempted(slot)) continue;
      qsys::SysError error;
      switch (emulator->Listen(slot, &error)) {
        case qplatform::EmulatorLink::ListenResult::kListening:
          break;
        case qplatform::EmulatorLink::ListenResult::kOpenFailed:
          TRACE('T', "Error opening pipe \r\n");
          continue;
        case qplatform::EmulatorLink::ListenResult::kListenFailed:
          TRACE('T', "ConnectNamedPipe failed with %d.\n", static_cast<int>(error.number));
          continue;
        case qplatform::EmulatorLink::ListenResult::kEventFailed:
          TRACE('T', "CreateEvent failed with %d.\n", static_cast<int>(error.number));
          continue;
      }
    }
    qsys::SysError accept_error;
    const bool connected = emulator->Peek(slot, &accept_error);
    if (emulator->InUse(slot)) {
      if (!connected) {
        TRACE('T', "Peek %i fail\n", slot);
        emulator->Relisten(slot);
      }
      continue;
    }
    if (accept_error.fault != qsys::Fault::kNone) {
      TRACE('T', "ConnectNamedPipe failed with %d.\n", static_cast<int>(accept_error.number));
    }
    if (!connected) continue;
    ConnectionRecord record;
    record.id = machine_ids::EmulatorId(slot);
    record.free = 1;
    UsbInterface* device = new (std::nothrow) UsbInterface(record);
    if (device == nullptr || !device->InitInterrupt(emulator->TakeClient(slot))) {
      TRACE('T', "USB EMU error\n");
      delete device;
      emulator->Relisten(slot);
      continue;
    }
    return device;
  }
  return nullptr;
}

// The passes of one search, in their order; `found` is the line a pass that opened a machine
// writes.
struct Pass {
  UsbInterface* (*open)(const MachineFilter& which);
  const char* found;
};

constexpr Pass kPasses[] = {
    {OpenBulkDevice, "Found bulk device\n"},
    {OpenHidDevice, "Found interrupt device(s)\n"},
    {OpenEmuDevice, "Found EMU device(s)\n"},
};

}  // namespace

UsbInterface* FindDevice(uint32_t id) {
  return FindDevice(id, MachineFilter());
}

UsbInterface* FindDevice(uint32_t id, const MachineFilter& which) {
  LinkCall call;
  // Each pass opens one new machine at a time; the search starts over after every one found.
  for (bool found = true; found;) {
    found = false;
    for (const Pass& pass : kPasses) {
      if (pass.open(which) == nullptr) continue;
      TRACE('T', "%s", pass.found);
      found = true;
      break;
    }
  }
  UsbInterface* found = nullptr;
  LockConnectionMutex();
  for (ConnectionRecord& record : ConnectionList()) {
    if (!which.Matches(record.id, record.serial)) continue;
    if ((id == 0 && record.free) || (id != 0 && record.id == id)) {
      record.free = 0;
      found = record.device;
      break;
    }
  }
  ReleaseConnectionMutex();
  if (found != nullptr) TRACE('T', "Found device in list\n");
  return found;
}

void EnableEmulatorLink(bool on) {
  qplatform::EnableEmulator(on);
}
