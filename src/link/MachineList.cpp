#include "MachineList.h"

#include "MachineIds.h"
#include "Processes.h"
#include "USBinterface.h"
#include "clock.h"
#include "platform/Backends.h"
#include "rwbulk.h"

namespace {

constexpr uint32_t kSlotLookMs = 50;

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out.push_back(c < 128 ? static_cast<char>(c) : '?');
  return out;
}

bool InThisProcess(uint32_t id) {
  LockConnectionMutex();
  bool mine = false;
  for (const ConnectionRecord& record : ConnectionList()) mine = mine || record.id == id;
  ReleaseConnectionMutex();
  return mine;
}

void ListBulk(std::vector<MachineListing>* out) {
  qplatform::BulkBackend* backend = qplatform::CurrentBackends().bulk;
  std::vector<ConnectionRecord> records;
  if (backend == nullptr || !EnumerateBulkDevices(&records)) return;
  for (const ConnectionRecord& record : records) {
    if (InThisProcess(record.id)) continue;
    MachineListing machine;
    machine.id = record.id;
    machine.kind = "bulk";
    machine.path = record.path;
    machine.serial = record.serial;
    LinkError error = LinkError::kSuccess;
    // The interface can be claimed by one program only: a refusal means another has it.
    machine.held = !backend->Open(machine.path + "\\PIPE01", &error);
    out->push_back(machine);
  }
}

void ListHid(std::vector<MachineListing>* out, const HeldByOther& held_by_other) {
  qplatform::HidBackend* backend = qplatform::CurrentBackends().hid;
  std::vector<qplatform::InterfaceEntry> entries;
  LinkError error = LinkError::kSuccess;
  if (backend == nullptr || !backend->ListInterfaces(&entries, &error)) return;
  for (const qplatform::InterfaceEntry& entry : entries) {
    if (entry.enum_error != 0 || entry.detail_failed) continue;
    MachineListing machine;
    machine.kind = "HID";
    machine.path = entry.path;
    std::unique_ptr<qplatform::HidDevice> handle = backend->Open(entry.path, &error);
    if (!handle) {
      if (error == LinkError::kSharingViolation) continue;  // this process holds it
      machine.held = true;
      out->push_back(machine);
      continue;
    }
    qplatform::HidAttributes attributes;
    if (!handle->GetAttributes(&attributes) || attributes.vendor_id != machine_ids::kVendor ||
        !machine_ids::IsHidProduct(attributes.product_id)) {
      continue;
    }
    std::wstring wide;
    if (handle->GetSerialNumberString(&wide)) {
      machine.serial = Narrow(wide);
      machine_ids::HidIdFromSerial(machine.serial, &machine.id);  // stays 0 when unreadable
    }
    handle.reset();
    machine.held = held_by_other(machine.path);
    out->push_back(machine);
  }
}

void ListEmulator(std::vector<MachineListing>* out, uint32_t wait_ms,
                  const HeldByOther& slot_served) {
  qplatform::EmulatorLink* emulator = qplatform::CurrentBackends().emulator;
  if (emulator == nullptr) return;
  using Slots = qplatform::EmulatorLink;
  bool ours[Slots::kSlots] = {};
  bool held[Slots::kSlots] = {};
  bool found[Slots::kSlots] = {};
  for (int slot = 0; slot < Slots::kSlots; ++slot) {
    if (emulator->InUse(slot)) continue;  // this process drives it
    if (!emulator->Listening(slot) && slot_served(emulator->SlotPath(slot))) {
      held[slot] = true;
      continue;
    }
    qsys::SysError error;
    ours[slot] = emulator->Listening(slot) ||
                 emulator->Listen(slot, &error) == Slots::ListenResult::kListening;
  }
  // Simulated machines connect on their own schedule; give them the time asked for.
  const uint32_t start = qclock::GetTickCount();
  for (;;) {
    for (int slot = 0; slot < Slots::kSlots; ++slot) {
      qsys::SysError error;
      if (ours[slot] && !found[slot] && emulator->Peek(slot, &error)) found[slot] = true;
    }
    if (qclock::GetTickCount() - start >= wait_ms) break;
    qclock::Sleep(kSlotLookMs);
  }
  for (int slot = 0; slot < Slots::kSlots; ++slot) {
    if (!found[slot] && !held[slot]) continue;
    // Hangs up on a machine we saw: it connects again to whoever serves the slot.
    if (found[slot]) emulator->Relisten(slot);
    MachineListing machine;
    machine.id = machine_ids::EmulatorId(slot);
    machine.kind = "emulator";
    machine.path = emulator->SlotPath(slot);
    machine.held = held[slot];
    out->push_back(machine);
  }
}

}  // namespace

bool PathOpenElsewhere(const std::string& path) {
  return qsys::PathOpenInOtherProcess(path);
}

bool SocketListened(const std::string& path) {
  return qsys::LocalSocketListening(path);
}

std::vector<MachineListing> ListMachines(uint32_t wait_ms, const HeldByOther& held_by_other,
                                         const HeldByOther& slot_served) {
  LinkCall call;
  std::vector<MachineListing> machines;
  ListBulk(&machines);
  ListHid(&machines, held_by_other);
  ListEmulator(&machines, wait_ms, slot_served);
  return machines;
}

std::string ListingLine(const MachineListing& machine) {
  return std::to_string(machine.id) + '\t' + machine.kind + '\t' + machine.path + '\t' +
         (machine.serial.empty() ? std::string("-") : machine.serial) + '\t' +
         (machine.held ? "held" : "free");
}
