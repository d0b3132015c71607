// What a program that crashed leaves of the local socket it listened on.
#pragma once

#include <string>

// Leaves at `path` a local socket that nobody listens on, as a listener that died leaves it: a
// socket file on POSIX. On Windows a local socket is a named pipe, which goes with its process,
// so nothing is left and nothing is done. True when done.
bool LeaveStaleLocalSocket(const std::string& path);
