// The wall clock, the calling thread's number, the login name and where an installed program
// finds its shared files. Never blocks; no trace lines.
#pragma once

#include <cstdint>
#include <string>

namespace qsys {

// Local calendar time, as the trace log and the version text show it.
struct CivilTime {
  uint16_t year = 0;
  uint16_t month = 0;        // 1..12
  uint16_t day_of_week = 0;  // 0 Sunday
  uint16_t day = 0;          // 1..31
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
};

// Seconds since 1970 (UTC) and the milliseconds within that second.
struct WallTime {
  int64_t seconds = 0;
  uint16_t millisecond = 0;
};

WallTime WallClockNow();
// `seconds` since 1970 broken down in the local time zone; all fields 0 when it cannot be.
CivilTime LocalTimeOf(int64_t seconds);
// The system's number for the calling thread (what the trace log prints). Asked of the system
// on every call; cache it per thread.
uint32_t CurrentThreadNumber();
// The user's login name (empty when it cannot be found), as the system knows it.
std::string LoginName();
// The folder of the installed examples, relative to the program's own folder ("/" separated).
const char* ExamplesBesideProgram();
// What a file dialog offers when the operator picks a program to start.
const char* ProgramFileFilter();
// What ends the file name of a program ("" on POSIX, ".exe" on Windows).
const char* ProgramSuffix();

}  // namespace qsys
