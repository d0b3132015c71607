// The trace log's console ("-console"): a window the program writes its trace lines to, each in
// its level's colour. Colours are the classic console attributes the log has always used
// (12 bright red, 10 bright green, 7 light grey, 6 dark yellow). Never blocks beyond the write;
// no trace lines.
#pragma once

#include <cstdint>
#include <cstdio>

namespace qsys {

inline constexpr uint16_t kConsoleBrightRed = 12;
inline constexpr uint16_t kConsoleBrightGreen = 10;
inline constexpr uint16_t kConsoleLightGrey = 7;
inline constexpr uint16_t kConsoleDarkYellow = 6;

// The stream of the program's console, opening one when the program has none (a program started
// from the desktop on Windows); nullptr when none can be had.
FILE* OpenConsole();

// Makes standard output reach the command prompt a windowed program was started from (a Windows
// program without a console of its own prints nowhere otherwise), so --help and --version show.
// Output already going to a terminal, a file or a pipe stays there. Never blocks.
void ShowOutputInParentConsole();

// Writes `text` (nullptr: none) to `stream` after switching to colour `attribute` (0: the colour
// stays as it is), and flushes. A terminal or a stream that is no console (a file, a pipe, a test's
// capture) gets the colour as an ANSI escape sequence; a Windows console gets its text attribute.
void ConsoleWrite(FILE* stream, uint16_t attribute, const char* text);

}  // namespace qsys
