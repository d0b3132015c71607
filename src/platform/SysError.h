// How the system layer reports a failure: what kind of failure, and the system's own number for
// it (errno here, the last-error value on Windows), which is what the log prints where it prints
// a number. Never a global: the caller gets the value back from the call that failed.
#pragma once

#include <cstdint>

namespace qsys {

enum class Fault {
  kNone,
  kNotFound,      // no such file, or a folder on the way is missing
  kNotAFile,      // the path names a folder, a device or anything but a regular file
  kAccessDenied,  // the user may not open or create it
  kInvalid,       // no path, or an empty one
  kInUse,         // another program holds the file open and shares it with nobody (Windows)
  kOther,         // a read, write, flush or rename failed (a full disc among others)
};

struct SysError {
  Fault fault = Fault::kNone;
  uint32_t number = 0;  // the system's own number; 0 when the layer found the fault itself
};

}  // namespace qsys
