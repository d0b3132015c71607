// A program run from the system's shell, as directors and support staff run the tools.
#pragma once

#include <string>

// Runs `program` with `arguments` (the rest of a command line, split by the system's shell:
// sh on POSIX, cmd on Windows), its standard output into the file `out` and its standard error
// into the file `err` (empty: the null device). Waits for it to end. Returns its exit status, or
// -1 when it did not end by exiting.
int RunProgram(const std::string& program, const std::string& arguments, const std::string& out,
               const std::string& err);

// The text a program wrote to a captured standard stream, line ends as it wrote them ("\n"; on
// Windows a text-mode stream's "\r\n" reads back as "\n"). Empty when the file cannot be read.
std::string CapturedText(const std::string& path);
