#include "Fileutils.h"

#include <cstring>
#include <memory>
#include <new>

#include "Files.h"
#include "log.h"

int ReplaceFileContents(const char* path, const void* data, size_t size, qsys::SysError* error) {
  return qsys::ReplaceFile(path, data, size, error) ? 1 : 0;
}

int FileExists(const char* path) {
  qsys::InputFile file;
  return file.Open(path, nullptr) ? 1 : 0;
}

uint32_t FileSizeOf(const char* path) {
  qsys::InputFile file;
  if (!file.Open(path, nullptr)) {
    TRACE('I', "Could not open %s\n", path ? path : "");
    return 0;
  }
  const uint64_t size = file.Size();
  return size > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(size);
}

int ReadWholeFile(const char* path, void* buffer, uint32_t size) {
  qsys::InputFile file;
  if (!file.Open(path, nullptr)) {
    TRACE('W', "Error opening file\n");
    return 0;
  }
  // The size taken before must be the size of what is read, or a file that changed in between
  // (or whose size could not be taken) would load as a wrong or empty deal set.
  if (file.Size() != size) {
    TRACE('W', "File size changed\n");
    return 0;
  }
  const int64_t got = file.Read(buffer, size, nullptr);
  if (got < 0) {
    TRACE('W', "Error reading file\n");
    return 0;
  }
  if (static_cast<uint64_t>(got) != size) {
    TRACE('W', "Error reading file II\n");
    return 0;
  }
  return 1;
}

int TrimFileToTail(const char* path, uint32_t limit, uint32_t keep) {
  uint64_t size;
  {
    qsys::InputFile file;
    qsys::SysError error;
    if (!file.Open(path, &error)) {
      TRACE('W', "Could not open the file %u\n", static_cast<unsigned>(error.number));
      TRACE('W', "Could not open the file %s\n", path ? path : "");
      return 0;
    }
    size = file.Size();
    TRACE('T', "%s is %i\n", path, static_cast<int>(size));
  }
  if (size <= limit) {
    return 1;
  }
  if (keep > limit) {
    keep = limit;
  }

  // A file that cannot be held in memory is left as it is: losing the whole file is worse than
  // a file that stays too large for a while.
  std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[size]);
  if (!buffer) {
    TRACE('W', "Could allocate mem for file %s\n", path);
    return 0;
  }

  int64_t got;
  {
    qsys::InputFile file;
    if (!file.Open(path, nullptr)) {
      TRACE('W', "Could not open the file %s\n", path);
      return 0;
    }
    got = file.Read(buffer.get(), size, nullptr);
  }
  if (got < 0) {
    // Nothing trustworthy was read: keep the file rather than write bytes that were not read.
    TRACE('W', "Could not read the file %s\n", path);
    return 0;
  }
  TRACE('T', "Read %u from %s\n", static_cast<unsigned>(got), path);

  // The file may have shrunk since its size was taken: keep the tail of what was really read.
  const uint64_t have = static_cast<uint64_t>(got);
  const uint64_t tail = have < keep ? have : keep;
  // The tail replaces the file as a whole: a failed write leaves the old file, never a cut one.
  if (!ReplaceFileContents(path, buffer.get() + (have - tail), tail)) {
    TRACE('W', "Could not write the file %s\n", path);
    return 0;
  }
  TRACE('T', "Wrote %u to %s\n", static_cast<unsigned>(tail), path);
  return 1;
}

const char* BaseName(const char* path) {
  if (path == nullptr) {
    return "";
  }
  const size_t n = std::strlen(path);
  for (size_t i = n; i-- > 1;) {
    if (path[i] == '\\' || path[i] == '/') {
      return path + i + 1;
    }
  }
  return path;
}
