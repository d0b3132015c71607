// Files of the kinds only POSIX has, for the cases that show a reader refuses them: a FIFO, and a
// file its mode bits make unreadable. On Windows each call fails; the cases skip before.
#pragma once

#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

// True when a FIFO now exists at `path`.
inline bool MakeFifo(const std::string& path) {
#ifdef _WIN32
  (void)path;
  return false;
#else
  return mkfifo(path.c_str(), 0600) == 0;
#endif
}

// True when the file's mode bits now let nobody read it.
inline bool MakeUnreadable(const std::string& path) {
#ifdef _WIN32
  (void)path;
  return false;
#else
  return chmod(path.c_str(), 0) == 0;
#endif
}

// True when the tests run with the rights of root, who reads every file whatever its mode.
inline bool RunningAsRoot() {
#ifdef _WIN32
  return false;
#else
  return geteuid() == 0;
#endif
}
