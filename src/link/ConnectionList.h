// The process-wide list of opened machines, the connection mutex that guards it, and the
// hardware lock: the ticket queue around every exchange, kept in the machines' records.
#pragma once

#include <cstdint>
#include <list>

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

// Takes the next ticket for machine `id` and waits, sleeping 500 ms at a time (not
// alertably), until its ticket is 10 or less (ten exchanges admitted at once). Blocks up to
// 120,000 ms.
// Returns 1 when admitted; 0 on time-out ("HardwareLock timeout", level C). Either way the
// ticket is held: the caller gives it back with ReleaseHardwareLock.
int AcquireHardwareLock(uint32_t id);
// Gives the hardware lock of machine `id` back: every waiting ticket moves up by one. Blocks
// only for the connection mutex. Writes "NOT found" (level W) when no machine has that id.
void ReleaseHardwareLock(uint32_t id);
