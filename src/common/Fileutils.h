// Whole-file helpers: existence, size, cutting a file down to its tail, and base names.
#pragma once

#include <cstddef>
#include <cstdint>

#include "SysError.h"

// 1 when the path names a regular file that can be opened for reading, else 0. No trace line.
int FileExists(const char* path);
// The size in bytes, or 0 when the file cannot be opened. A file of 4 GiB or more reports
// 0xFFFFFFFF, a size no record-based reader accepts, instead of a wrapped value.
uint32_t FileSizeOf(const char* path);
// 1 when the file is at most `limit` bytes or has been cut to its last `keep` bytes, else 0.
int TrimFileToTail(const char* path, uint32_t limit, uint32_t keep);
// Replaces the file's contents with `size` bytes, or creates it: the bytes go to a temporary file
// in the same folder, which is flushed to disc and renamed over the target, so a full disc or any
// other failure leaves the old file exactly as it was and no temporary file behind. A link is
// followed to the file it names; an existing target that is not a regular file is refused. An
// existing file keeps its permission bits. Returns 1, or 0 with *error (may be nullptr) saying
// why; on POSIX errno also stays set, for callers that show the system's message. No trace line.
int ReplaceFileContents(const char* path, const void* data, size_t size,
                        qsys::SysError* error = nullptr);
// Reads the whole regular file `path` into `buffer` of `size` bytes, the size FileSizeOf gave:
// the one reader of the deal files. Returns 1 when exactly `size` bytes were read; 0 with one
// level W line: "Error opening file", "File size changed" (the file is no longer `size` bytes,
// so it changed since its size was taken), "Error reading file" (a read failed) or
// "Error reading file II" (it ended early).
int ReadWholeFile(const char* path, void* buffer, uint32_t size);
// The part of the path after its last "\" or "/"; the whole path when there is none.
const char* BaseName(const char* path);
