// What other programs of this user hold, found without disturbing them. Used by the machine
// listing to tell a held machine from a free one. Never blocks on a device; no trace lines.
#pragma once

#include <string>

namespace qsys {

// True when another process (not this one) has the file `path` open. Processes of other users
// cannot be looked into and count as not holding it.
bool PathOpenInOtherProcess(const std::string& path);
// True when some process listens on the local socket `path`, found without connecting to it.
bool LocalSocketListening(const std::string& path);

}  // namespace qsys
