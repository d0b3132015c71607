// The simulator's control socket (--control PATH): a listening Unix stream socket for control
// lines, private to the user. POSIX only.
#pragma once

#include <string>

namespace qsim {

// Returns the socket, or -1 with errno set. A socket left behind by an earlier run is replaced;
// any other file at `path` is left alone.
int ListenControl(const std::string& path);

}  // namespace qsim
