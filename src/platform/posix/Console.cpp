#include "Console.h"

#include "ConsoleEscapes.h"

namespace qsys {

FILE* OpenConsole() {
  // The terminal the program was started from, if any.
  return stdout;
}

void ShowOutputInParentConsole() {
  // Standard output is where the program was started from already.
}

void ConsoleWrite(FILE* stream, uint16_t attribute, const char* text) {
  if (stream == nullptr) return;
  if (const char* escape = ConsoleEscape(attribute)) std::fputs(escape, stream);
  if (text != nullptr) std::fputs(text, stream);
  std::fflush(stream);
}

}  // namespace qsys
