// The process-wide list of opened machines, its mutex, the bulk device enumeration, and the
// release of the hardware lock.
#pragma once

#include <cstdint>
#include <list>
#include <vector>

#include "LinkFailure.h"
#include "log.h"

class UsbInterface;

// One opened machine; copied by value into the list and into its UsbInterface.
struct ConnectionRecord {
  uint32_t id = 0;                 // HID serial number, or bulk instance, read as hexadecimal
  UsbInterface* device = nullptr;  // the object that owns the machine
  uint32_t free = 0;               // 1: opened but not yet handed out
  char path[256] = {};             // bulk device path; empty for HID
  uint32_t ticket = 0;             // hardware lock queue number, 0 when not holding or waiting
};

// The list of opened machines in insertion order. Read and change it only while holding the
// connection mutex.
std::list<ConnectionRecord>& ConnectionList();

// Creates the connection mutex; the main dialog calls it before its first device search.
void CreateConnectionMutex();
// Waits for the connection mutex in 1 ms steps for up to 100 ms. Returns 0 on time-out;
// callers carry on either way.
int LockConnectionMutex();
void ReleaseConnectionMutex();
// Puts the connection mutex back to "not created" (tests).
void ResetConnectionMutexForTests();

// Lists the present bulk machines (at most 128 members) into `list`, each {id, no device,
// free, path, ticket 0}. Returns 0 when the device set could not be had.
int EnumerateBulkDevices(std::vector<ConnectionRecord>* list);
// Opens the first enumerated bulk machine that is not in the ConnectionList yet.
UsbInterface* OpenBulkDevice();

// Gives the hardware lock of machine `id` back: every waiting ticket moves up by one.
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
    TRACE_FAILURE('W', "NOT found\n");
  } else {
    for (ConnectionRecord& record : list) {
      if (record.ticket != 0) --record.ticket;
    }
    mine->ticket = 0;
  }
  ReleaseConnectionMutex();
}
