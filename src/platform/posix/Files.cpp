#include "Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "Errno.h"

namespace qsys {
namespace {

// Fills *error from errno (errno stays as it is) and returns false.
bool Failed(SysError* error) {
  const int number = errno;
  if (error != nullptr) *error = ErrnoFailure(number);
  return false;
}

bool FailWith(int number, SysError* error) {
  errno = number;
  return Failed(error);
}

bool WriteAll(int fd, const unsigned char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// The permission bits a new file gets from the process's umask.
mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

bool InputFile::Open(const char* path, SysError* error) {
  Close();
  if (path == nullptr) return FailWith(EINVAL, error);
  // O_NONBLOCK keeps a FIFO or a device from hanging the caller.
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return Failed(error);
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return FailWith(EISDIR, error);
  }
  handle_ = fd;
  size_ = static_cast<uint64_t>(info.st_size);
  return true;
}

int64_t InputFile::Read(void* buffer, uint64_t size, SysError* error) {
  if (handle_ < 0) {
    FailWith(EBADF, error);
    return -1;
  }
  auto* bytes = static_cast<unsigned char*>(buffer);
  uint64_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(static_cast<int>(handle_), bytes + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Failed(error);
      return -1;
    }
    if (n == 0) break;
    done += static_cast<uint64_t>(n);
  }
  return static_cast<int64_t>(done);
}

void InputFile::Close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
  size_ = 0;
}

bool ReplaceFile(const char* path, const void* data, size_t size, SysError* error) {
  if (path == nullptr || *path == '\0') return FailWith(EINVAL, error);
  std::string target = path;
  char resolved[PATH_MAX];
  struct stat info;
  mode_t mode = NewFileMode();
  if (::lstat(path, &info) == 0) {
    if (S_ISLNK(info.st_mode)) {
      if (::realpath(path, resolved) == nullptr) return Failed(error);
      target = resolved;
      if (::stat(resolved, &info) != 0) return Failed(error);
    }
    if (!S_ISREG(info.st_mode)) return FailWith(EISDIR, error);
    mode = info.st_mode & 07777;
  } else if (errno != ENOENT) {
    return Failed(error);
  }
  std::string temporary = target + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return Failed(error);
  bool ok = ::fchmod(fd, mode) == 0 &&
            WriteAll(fd, static_cast<const unsigned char*>(data), size) && ::fsync(fd) == 0;
  int saved = errno;
  // The close can be where a full disc shows.
  if (::close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    ::unlink(temporary.c_str());
    return FailWith(saved, error);
  }
  return true;
}

}  // namespace qsys
