#include "Processes.h"

#include <windows.h>

namespace qsys {

bool PathOpenInOtherProcess(const std::string& path) {
  // An open for reading that allows no sharing meets a sharing violation exactly when someone
  // has the device or file open for data (an open for attributes alone is never checked); when
  // it succeeds nobody had, and it is closed at once. This program's own handles count too: the
  // caller asks only of paths it does not hold.
  const HANDLE probe = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe != INVALID_HANDLE_VALUE) {
    CloseHandle(probe);
    return false;
  }
  return GetLastError() == ERROR_SHARING_VIOLATION;
}

bool LocalSocketListening(const std::string& path) {
  // A named pipe exists while its server has an instance: asked without connecting, a pipe
  // that does not exist says so at once; one whose instances are all taken times out.
  if (WaitNamedPipeA(path.c_str(), 1)) return true;
  return GetLastError() != ERROR_FILE_NOT_FOUND;
}

}  // namespace qsys
