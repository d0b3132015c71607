#include "Processes.h"

#include <dirent.h>
#include <unistd.h>

#include <climits>
#include <fstream>
#include <sstream>

namespace qsys {

bool PathOpenInOtherProcess(const std::string& path) {
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return false;
  const std::string self = std::to_string(::getpid());
  bool held = false;
  while (!held) {
    const dirent* process = ::readdir(proc);
    if (process == nullptr) break;
    const std::string pid = process->d_name;
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos || pid == self) {
      continue;
    }
    const std::string fds = "/proc/" + pid + "/fd";
    DIR* dir = ::opendir(fds.c_str());
    if (dir == nullptr) continue;  // another user's process: not ours to see
    while (const dirent* fd = ::readdir(dir)) {
      char target[PATH_MAX];
      const std::string link = fds + "/" + fd->d_name;
      const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
      if (n > 0 && path.compare(0, std::string::npos, target, static_cast<size_t>(n)) == 0) {
        held = true;
        break;
      }
    }
    ::closedir(dir);
  }
  ::closedir(proc);
  return held;
}

bool LocalSocketListening(const std::string& path) {
  // Num RefCount Protocol Flags Type St Inode Path; flag 0x10000 marks a listening socket.
  std::ifstream table("/proc/net/unix");
  std::string line;
  std::getline(table, line);
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string num, refs, protocol, flags, type, state, inode, socket_path;
    if (!(fields >> num >> refs >> protocol >> flags >> type >> state >> inode >> socket_path)) {
      continue;
    }
    if (socket_path == path && (std::stoul(flags, nullptr, 16) & 0x10000) != 0) return true;
  }
  return false;
}

}  // namespace qsys
