// The process-wide trace log. Every trace statement is the pair TraceMark + TracePrint, written
// through the TRACE macro:  TRACE('W', "File has wrong size %u\n", size);
//
// Levels: C critical (dumps the history, then the critical-error handler ends the program),
// D device and page events, I information, T detailed trace kept in memory only, W warnings and
// failures.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#define TRACE(level, ...) (TraceMark((level), __LINE__, __FILE__), TracePrint(__VA_ARGS__))

// The format the compiler checks trace texts against: the C library's printf. mingw-w64's
// C++ library prints through its own C99 printf, which "printf" does not name there.
#ifdef __MINGW_PRINTF_FORMAT
#define TRACE_PRINTF_FORMAT __MINGW_PRINTF_FORMAT
#else
#define TRACE_PRINTF_FORMAT printf
#endif

enum TraceState { TRACE_NOT_STARTED = 0, TRACE_RUNNING = 1, TRACE_STOPPED = 2, TRACE_FAILED = 3 };

using TraceCriticalHandler = void (*)(const char* message);

// `path` is kept until the next mark: pass a literal (the macro passes __FILE__).
int TraceMark(char level, int line, const char* path);
int TracePrint(const char* format, ...) __attribute__((format(TRACE_PRINTF_FORMAT, 1, 2)));

int TraceSetFileName(const char* path);
void TraceSetSizeLimit(uint32_t bytes);
// TRACE_RUNNING starts the log, TRACE_STOPPED stops it; returns the resulting state.
TraceState TraceSetState(int request);
TraceState TraceGetState();
void TraceSetCriticalHandler(TraceCriticalHandler handler);
void TraceSetThreadName(const char* name);
int TraceDrain();
void TraceFlush();
int TraceDump(const char* path);

// The console: once the application has one ("-console"), the drain writes every line there in
// its level's colour. nullptr (the default) means no console.
void TraceSetConsole(FILE* stream);
// Where lines go at once while the log is not running; stdout by default, nullptr for nowhere
// (the command-line tools keep their own output clean this way).
void TraceSetStandardOutput(FILE* stream);

// The low-level ring: (file, line, tick) marks that are only ever shown by a dump.
void TraceLowLevel(const char* file, int line);

// --- Capturing lines -------------------------------------------------------------------------
// Tests read what the log wrote through this; the command-line tools use it to report the reason
// a reader gave for a failure.

// One trace statement as the log recorded it (text cut to 127 characters, file to its base name).
struct TraceLine {
  char level;
  std::string file;
  int line;
  std::string text;
  // Set in an outer capture when a capture opened inside it took the line too.
  bool inner = false;
};

// While one of these lives, every trace statement of any level is also appended to `lines`, even
// before the log was first started. Captures nest: a line reaches every capture alive.
class TraceCapture {
 public:
  TraceCapture();
  ~TraceCapture();
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  std::vector<TraceLine> lines;
  // The levels to keep ("WC"), or nullptr for every level.
  const char* levels = nullptr;
  // True when some captured line has this level and exactly this text.
  bool Contains(char level, const std::string& text) const;
  // The texts of the captured lines of one level, in order.
  std::vector<std::string> Texts(char level) const;

 private:
  friend int TracePrint(const char* format, ...);
  TraceCapture* previous_ = nullptr;
};

// Puts the whole log back into its state at load (closed file, empty rings, default options).
void TraceResetForTests();
// How many lines wait in the output queue, and how many records the history holds.
size_t TraceQueuedForTests();
size_t TraceHistoryForTests();
