#include "Fileutils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "log.h"

namespace {

// Opens an existing regular file for reading. O_NONBLOCK keeps a FIFO or device from hanging the
// caller; anything that is not a regular file (a directory above all) is refused, as the
// platform's file open refuses a directory.
int OpenRegularForReading(const char* path, struct stat* info) {
  if (path == nullptr) {
    errno = EINVAL;
    return -1;
  }
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return -1;
  }
  if (fstat(fd, info) != 0 || !S_ISREG(info->st_mode)) {
    close(fd);
    errno = EISDIR;
    return -1;
  }
  return fd;
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Reads up to `size` bytes; returns how many were read, or -1 when a read failed.
long long ReadAll(int fd, unsigned char* buffer, unsigned long long size) {
  unsigned long long done = 0;
  while (done < size) {
    const ssize_t n = read(fd, buffer + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<unsigned long long>(n);
  }
  return static_cast<long long>(done);
}

bool WriteAll(int fd, const unsigned char* data, unsigned long long size) {
  unsigned long long done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<unsigned long long>(n);
  }
  return true;
}

// The permission bits a new file gets from the process's umask.
mode_t NewFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

int ReplaceFileContents(const char* path, const void* data, size_t size) {
  if (path == nullptr || *path == '\0') {
    errno = EINVAL;
    return 0;
  }
  std::string target = path;
  char resolved[PATH_MAX];
  struct stat info;
  mode_t mode = NewFileMode();
  if (lstat(path, &info) == 0) {
    if (S_ISLNK(info.st_mode)) {
      if (realpath(path, resolved) == nullptr) return 0;
      target = resolved;
      if (stat(resolved, &info) != 0) return 0;
    }
    if (!S_ISREG(info.st_mode)) {
      errno = EISDIR;
      return 0;
    }
    mode = info.st_mode & 07777;
  } else if (errno != ENOENT) {
    return 0;
  }
  std::string temporary = target + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) return 0;
  bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, static_cast<const unsigned char*>(data), size) &&
            fsync(fd) == 0;
  int saved = errno;
  // The close can be where a full disc shows.
  if (close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok && rename(temporary.c_str(), target.c_str()) != 0) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    unlink(temporary.c_str());
    errno = saved;
    return 0;
  }
  return 1;
}

int FileExists(const char* path) {
  struct stat info;
  const int fd = OpenRegularForReading(path, &info);
  if (fd < 0) {
    return 0;
  }
  close(fd);
  return 1;
}

uint32_t FileSizeOf(const char* path) {
  struct stat info;
  const int fd = OpenRegularForReading(path, &info);
  if (fd < 0) {
    TRACE('I', "Could not open %s\n", path ? path : "");
    return 0;
  }
  close(fd);
  const unsigned long long size = static_cast<unsigned long long>(info.st_size);
  return size > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(size);
}

int TrimFileToTail(const char* path, uint32_t limit, uint32_t keep) {
  struct stat info;
  unsigned long long size;
  {
    Fd file(OpenRegularForReading(path, &info));
    if (file.get() < 0) {
      TRACE('W', "Could not open the file %u\n", static_cast<unsigned>(errno));
      TRACE('W', "Could not open the file %s\n", path ? path : "");
      return 0;
    }
    size = static_cast<unsigned long long>(info.st_size);
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

  long long got;
  {
    Fd file(OpenRegularForReading(path, &info));
    if (file.get() < 0) {
      TRACE('W', "Could not open the file %s\n", path);
      return 0;
    }
    got = ReadAll(file.get(), buffer.get(), size);
  }
  if (got < 0) {
    // Nothing trustworthy was read: keep the file rather than write bytes that were not read.
    TRACE('W', "Could not read the file %s\n", path);
    return 0;
  }
  TRACE('T', "Read %u from %s\n", static_cast<unsigned>(got), path);

  // The file may have shrunk since its size was taken: keep the tail of what was really read.
  const unsigned long long have = static_cast<unsigned long long>(got);
  const unsigned long long tail = have < keep ? have : keep;
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
