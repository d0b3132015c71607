// The ANSI escape sequence of each console colour the log uses, for the consoles that take them.
#pragma once

#include <cstdint>

namespace qsys {

// nullptr for 0 and for a colour the log never uses.
inline const char* ConsoleEscape(uint16_t attribute) {
  switch (attribute) {
    case 12:
      return "\033[1;31m";
    case 10:
      return "\033[1;32m";
    case 7:
      return "\033[0;37m";
    case 6:
      return "\033[0;33m";
    default:
      return nullptr;
  }
}

}  // namespace qsys
