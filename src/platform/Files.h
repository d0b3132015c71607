// Files as the ground floor needs them: an existing regular file read whole, and a file's
// contents replaced in one step. Nothing here writes a trace line; failures come back as a
// SysError for the caller to trace.
#pragma once

#include <cstddef>
#include <cstdint>

#include "SysError.h"

namespace qsys {

// One regular file open for reading. Not copyable; closes itself.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile() { Close(); }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opens an existing regular file for reading, without sharing restrictions. Never blocks: a
  // FIFO or a device cannot hang the caller, and anything that is not a regular file is refused
  // (Fault::kNotAFile). Returns true, or false with *error.
  bool Open(const char* path, SysError* error);
  // The size the file had when it was opened. 0 while closed.
  uint64_t Size() const { return size_; }
  // Reads up to `size` bytes, as many calls as it takes. Returns the bytes read (fewer only at
  // the end of the file), or -1 with *error when a read failed.
  int64_t Read(void* buffer, uint64_t size, SysError* error);
  void Close();
  bool IsOpen() const { return handle_ >= 0; }

 private:
  intptr_t handle_ = -1;
  uint64_t size_ = 0;
};

// Replaces the file's contents with `size` bytes, or creates it: the bytes go to a temporary
// file in the same folder, which is flushed to disc and renamed over the target, so any failure
// (a full disc above all) leaves the old file as it was and no temporary file behind. A link is
// followed; an existing target that is not a regular file is refused (Fault::kNotAFile); an
// existing file keeps its permission bits. Returns true, or false with *error (may be nullptr).
// On POSIX errno is left as the failing call set it, for callers that show the system's message.
bool ReplaceFile(const char* path, const void* data, size_t size, SysError* error);

}  // namespace qsys
