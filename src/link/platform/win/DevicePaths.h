// What the Windows devices' system calls take and give, as pure functions so that tests can
// pin them: the name of the kernel object that holds a HID machine for one program, the path
// in a device interface detail, and the link's error for a failed open. Windows only.
#pragma once

#include <windows.h>

#include <string>

#include "platform/LinkError.h"

namespace qplatform {

// The named mutex that marks a HID machine or an emulator slot as held by a running program of
// ours: one per device path or pipe name, in the global namespace so that programs of every
// session see it. Paths differ only in case on this system, so the name is taken in lower case;
// a backslash (which object names cannot hold) becomes '/'; a path too long for an object name
// keeps its head and a hash of the whole.
std::string HoldName(const char* kind, const std::string& path);
inline std::string HidHoldName(const std::string& path) {
  return HoldName("hid", path);
}
// Takes the hold of `name` for this program: the mutex, which exists while a program holds it.
// nullptr with *code when another one holds it (ERROR_ALREADY_EXISTS, or ERROR_ACCESS_DENIED
// for another user's) or the system failed.
HANDLE TakeHold(const std::string& name, DWORD* code);

// The device path in what SetupDiGetDeviceInterfaceDetailA filled in: `size` bytes at
// `detail`. False when the record is too short, its cbSize is not the system's, or the path
// has no end within `size`.
bool InterfaceDetailPath(const void* detail, DWORD size, std::string* path);

// The link's error for a CreateFile that failed with `code`.
LinkError OpenErrorOf(DWORD code);

}  // namespace qplatform
