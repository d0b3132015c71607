// The system's errno values as the platform layer's faults: the one table for every POSIX file
// of the platform layers (the files here, the emulator link's slots under src/link). The number
// stays the system's, as the log prints it. POSIX only.
#pragma once

#include <cerrno>
#include <cstdint>

#include "SysError.h"

namespace qsys {

// What kind of failure errno `number` is. Never Fault::kNone: a failure that left errno 0 is
// Fault::kOther.
inline Fault FaultOfErrno(int number) {
  switch (number) {
    case ENOENT:
    case ENOTDIR:
      return Fault::kNotFound;
    case EISDIR:
      return Fault::kNotAFile;
    case EACCES:
      return Fault::kAccessDenied;
    case EINVAL:
      return Fault::kInvalid;
    default:
      return Fault::kOther;
  }
}

// A failure with errno `number`, as the layer reports it.
inline SysError ErrnoFailure(int number) {
  return SysError{FaultOfErrno(number), static_cast<uint32_t>(number)};
}

}  // namespace qsys
