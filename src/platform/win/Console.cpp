#include "Console.h"

#include <io.h>
#include <windows.h>

#include "ConsoleEscapes.h"

namespace qsys {
namespace {

// The console behind `stream`, or nullptr when it is a file or a pipe.
HANDLE ConsoleOf(FILE* stream) {
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return nullptr;
  return handle;
}

}  // namespace

FILE* OpenConsole() {
  // A program started from a console window writes there; one started from the desktop has
  // none and gets a console window of its own.
  if (GetConsoleWindow() == nullptr && !AllocConsole()) return nullptr;
  if (ConsoleOf(stdout) == nullptr && std::freopen("CONOUT$", "w", stdout) == nullptr) {
    return nullptr;
  }
  return stdout;
}

void ShowOutputInParentConsole() {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out != nullptr && out != INVALID_HANDLE_VALUE) return;  // a console, a file or a pipe
  if (AttachConsole(ATTACH_PARENT_PROCESS)) {
    std::freopen("CONOUT$", "w", stdout);
    std::freopen("CONOUT$", "w", stderr);
  }
}

void ConsoleWrite(FILE* stream, uint16_t attribute, const char* text) {
  if (stream == nullptr) return;
  if (attribute != 0) {
    if (const HANDLE console = ConsoleOf(stream)) {
      std::fflush(stream);
      SetConsoleTextAttribute(console, attribute);
    } else if (const char* escape = ConsoleEscape(attribute)) {
      std::fputs(escape, stream);
    }
  }
  if (text != nullptr) std::fputs(text, stream);
  std::fflush(stream);
}

}  // namespace qsys
