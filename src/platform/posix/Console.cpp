#include "Console.h"

#include "ConsoleEscapes.h"

namespace qsys {

FILE* OpenConsole() {
  // The terminal the program was started from, if any.
  return stdout;
}

void ConsoleWrite(FILE* stream, uint16_t attribute, const char* text) {
  if (stream == nullptr) return;
  if (const char* escape = ConsoleEscape(attribute)) std::fputs(escape, stream);
  if (text != nullptr) std::fputs(text, stream);
  std::fflush(stream);
}

}  // namespace qsys
