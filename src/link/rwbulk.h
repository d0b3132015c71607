// The process-wide list of opened machines, its mutex, the bulk device enumeration, and the
// release of the hardware lock.
#pragma once

#include <cstdint>
#include <list>
#include <vector>

#include "LinkFailure.h"
#include "MachineFilter.h"
#include "log.h"

class UsbInterface;

// One opened machine; copied by value into the list and into its UsbInterface.
struct ConnectionRecord {
  uint32_t id = 0;                 // HID serial number, or bulk instance, read as hexadecimal
  UsbInterface* device = nullptr;  // the object that owns the machine
  uint32_t free = 0;               // 1: opened but not yet handed out
  char path[256] = {};             // bulk device path; empty for HID
  char serial[64] = {};            // HID serial number or bulk instance; empty for the emulator
  uint32_t ticket = 0;             // hardware lock queue number, 0 when not holding or waiting
};

// The list of opened machines in insertion order. Read and change it only while holding the
// connection mutex. Never blocks.
std::list<ConnectionRecord>& ConnectionList();

// Creates the connection mutex (MachineConnection does before its first search); a second call
// keeps the one there is. Never blocks.
void CreateConnectionMutex();
// Waits for the connection mutex in 1 ms steps; blocks up to 100 ms. Creates the mutex first
// if nobody did ("ConnectionList mutex was init'ed", level W).
// Returns 1 when held; 0 on time-out ("Connection mutex timeout", level C). Callers carry on
// either way.
int LockConnectionMutex();
// Never blocks. Writes "Connection mutex release error" (level C) when the mutex was not held.
void ReleaseConnectionMutex();
// Puts the connection mutex back to "not created" (tests).
void ResetConnectionMutexForTests();

// Appends the present bulk machines (at most 128 members) to `list`, each {id, no device,
// free, path, ticket 0}; members that fail are skipped with their trace line.
// Blocks: the bulk listing (up to 2 s per unanswering candidate) and one probe open each.
// Returns 1 when the device set was had (the list may be unchanged); 0 when it could not be
// ("SetupDiGetClassDevs failed with %u").
int EnumerateBulkDevices(std::vector<ConnectionRecord>* list);
// Opens the first enumerated bulk machine that `which` takes and that is not in the
// ConnectionList yet; it registers itself there, free, and stays owned by the list until
// FindDevice hands it out.
// Blocks: as EnumerateBulkDevices, plus the two pipe opens and Init's flush.
// Returns the machine, or nullptr when there is none new or a pipe or Init failed (what was
// opened is closed again).
UsbInterface* OpenBulkDevice(const MachineFilter& which = MachineFilter());

// Gives the hardware lock of machine `id` back: every waiting ticket moves up by one. Blocks
// only for the connection mutex. Writes "NOT found" (level W) when no machine has that id.
inline void ReleaseHardwareLock(uint32_t id) {
  LockConnectionMutex();
  std::list<ConnectionRecord>& list = ConnectionList();
  ConnectionRecord* mine = nullptr;
  for (ConnectionRecord& record : list) {
    if (record.id == id) {
      mine = &record;
      break;
    }
  }
  if (mine == nullptr) {
    TRACE_FAILURE('W', LinkError::kFileNotFound, "NOT found\n");
  } else {
    for (ConnectionRecord& record : list) {
      if (record.ticket != 0) --record.ticket;
    }
    mine->ticket = 0;
  }
  ReleaseConnectionMutex();
}
