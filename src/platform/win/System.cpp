#include "System.h"

#include <windows.h>
// after windows.h
#include <lmcons.h>

namespace qsys {
namespace {

// 100-nanosecond steps from 1601 to 1970.
constexpr int64_t kEpochSteps = 116444736000000000LL;

}  // namespace

WallTime WallClockNow() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  const int64_t steps =
      (static_cast<int64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime) - kEpochSteps;
  return WallTime{steps / 10'000'000, static_cast<uint16_t>(steps / 10'000 % 1000)};
}

CivilTime LocalTimeOf(int64_t seconds) {
  const int64_t steps = seconds * 10'000'000 + kEpochSteps;
  FILETIME utc_file{static_cast<DWORD>(steps & 0xFFFFFFFF), static_cast<DWORD>(steps >> 32)};
  SYSTEMTIME utc{};
  SYSTEMTIME local{};
  if (steps < 0 || !FileTimeToSystemTime(&utc_file, &utc) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
    return CivilTime{};
  }
  return CivilTime{local.wYear, local.wMonth,  local.wDayOfWeek, local.wDay,
                   local.wHour, local.wMinute, local.wSecond};
}

uint32_t CurrentThreadNumber() {
  return GetCurrentThreadId();
}

std::string LoginName() {
  char name[UNLEN + 1];
  DWORD size = sizeof name;
  if (!GetUserNameA(name, &size)) return std::string();
  return name;
}

const char* ExamplesBesideProgram() {
  // The installer puts the sample session in a folder beside the program.
  return "examples";
}

const char* ProgramFileFilter() {
  return "Executable files (*.exe)";
}

const char* ProgramSuffix() {
  return ".exe";
}

}  // namespace qsys
