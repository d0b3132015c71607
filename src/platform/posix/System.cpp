#include "System.h"

#include <pwd.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

namespace qsys {

WallTime WallClockNow() {
  timeval tv{};
  ::gettimeofday(&tv, nullptr);
  return WallTime{static_cast<int64_t>(tv.tv_sec), static_cast<uint16_t>(tv.tv_usec / 1000)};
}

CivilTime LocalTimeOf(int64_t seconds) {
  const time_t t = static_cast<time_t>(seconds);
  tm local{};
  if (::localtime_r(&t, &local) == nullptr) return CivilTime{};
  return CivilTime{
      static_cast<uint16_t>(local.tm_year + 1900), static_cast<uint16_t>(local.tm_mon + 1),
      static_cast<uint16_t>(local.tm_wday),        static_cast<uint16_t>(local.tm_mday),
      static_cast<uint16_t>(local.tm_hour),        static_cast<uint16_t>(local.tm_min),
      static_cast<uint16_t>(local.tm_sec)};
}

uint32_t CurrentThreadNumber() {
  return static_cast<uint32_t>(::syscall(SYS_gettid));
}

std::string LoginName() {
  passwd entry;
  passwd* found = nullptr;
  char scratch[1024];
  if (::getpwuid_r(::geteuid(), &entry, scratch, sizeof scratch, &found) == 0 && found != nullptr &&
      found->pw_name != nullptr) {
    return found->pw_name;
  }
  const char* user = std::getenv("USER");
  return user != nullptr ? user : "";
}

const char* ExamplesBesideProgram() {
  // The file-system hierarchy's place: bin/../share/<program>/examples.
  return "../share/quadrelle/examples";
}

const char* ProgramFileFilter() {
  return "All files (*)";
}

const char* ProgramSuffix() {
  return "";
}

}  // namespace qsys
