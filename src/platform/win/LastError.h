// The system's last-error values as the platform layer's faults: the one table for every
// Windows file of the platform layers (the files here, the machine link's devices and emulator
// slots under src/link). The number stays the system's, as the log prints it. Windows only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "SysError.h"

namespace qsys {

// What kind of failure the last-error value `number` is. Never Fault::kNone: a failure that
// left no error is Fault::kOther.
inline Fault FaultOfLastError(DWORD number) {
  switch (number) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
      return Fault::kNotFound;
    case ERROR_DIRECTORY:
      return Fault::kNotAFile;
    case ERROR_ACCESS_DENIED:
      return Fault::kAccessDenied;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER:
      return Fault::kInvalid;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return Fault::kInUse;
    default:
      return Fault::kOther;
  }
}

// A failure with the last-error value `number`, as the layer reports it.
inline SysError LastErrorFailure(DWORD number) {
  return SysError{FaultOfLastError(number), static_cast<uint32_t>(number)};
}

}  // namespace qsys
