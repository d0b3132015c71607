// The trace log: fixed rings of fixed records, so that writing a line never allocates, a drain
// that writes queued lines to the console and the log file within a small time budget, and a
// history of detailed lines that is dumped when a critical line arrives.
#include "log.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <string>

#include "Console.h"
#include "Fileutils.h"
#include "System.h"
#include "clock.h"
#include "trace_ring.h"

namespace {

// 16,384 records (2.8 MB): some 20 seconds of a busy page's detailed lines, enough to explain a
// critical line, and a dump that fits in the slack of the log file's size limit. A ring of
// millions grew the program by megabytes a minute and wrote hundreds of megabytes at a dump.
constexpr uint32_t kHistorySlots = 1u << 14;
constexpr uint32_t kOutputSlots = 4096;
constexpr uint32_t kLowLevelSlots = 1024;
constexpr uint32_t kDrainBudgetMs = 4;
constexpr uint32_t kReopenIntervalMs = 5000;
constexpr int kLockWaits = 1002;

struct LowLevelRecord {
  char file[32];
  int32_t line;
  uint32_t tick;
};
static_assert(sizeof(LowLevelRecord) == 40);

// Zero at load; the history is 16,384 records of 172 bytes.
TraceRing<TraceRecord, kHistorySlots> g_history;
TraceRing<TraceRecord, kOutputSlots> g_output;
TraceRing<LowLevelRecord, kLowLevelSlots> g_lowlevel;

char g_file_name[260] = "log.txt";
uint32_t g_size_limit = 0;
std::recursive_mutex* g_lock = nullptr;  // created by the first state change, never freed
FILE* g_log_file = nullptr;
TraceState g_state = TRACE_NOT_STARTED;

bool g_history_recording = true;
bool g_history_suspended = false;
bool g_stdout_printing = true;
bool g_file_output = true;
FILE* g_console = nullptr;
FILE* g_stdout = stdout;
TraceCriticalHandler g_handler = nullptr;

char g_pending_level = 0;
const char* g_pending_path = "";  // __FILE__ of the mark: a literal that lives forever
int g_pending_line = 0;

int g_nesting = 0;
int g_drain_running = 0;
bool g_in_handler = false;
bool g_state_change = false;
bool g_reopening = false;
bool g_reopened_once = false;
uint32_t g_next_reopen = 0;

// Lock acquisitions of TraceMark that the matching TracePrint still has to give back.
thread_local int t_marks_held = 0;

std::mutex g_names_lock;
std::map<uint32_t, std::string> g_thread_names;

TraceCapture* g_capture = nullptr;

// Asked once per thread: the system call costs more than the rest of a detailed line.
uint32_t CurrentThreadId() {
  thread_local const uint32_t id = qsys::CurrentThreadNumber();
  return id;
}

void LocalTime(TraceRecord& record) {
  const qsys::WallTime now = qsys::WallClockNow();
  // The calendar breakdown changes once a second; most lines share it with the line before.
  thread_local int64_t cached_seconds = -1;
  thread_local qsys::CivilTime local{};
  if (now.seconds != cached_seconds) {
    local = qsys::LocalTimeOf(now.seconds);
    cached_seconds = now.seconds;
  }
  record.year = local.year;
  record.month = local.month;
  record.day_of_week = local.day_of_week;
  record.day = local.day;
  record.hour = local.hour;
  record.minute = local.minute;
  record.second = local.second;
  record.millisecond = now.millisecond;
}

void FillRecord(TraceRecord& record, char level, const char* base, int line, const char* text) {
  std::memset(&record, 0, sizeof record);
  record.level = level;
  record.kind = 0;
  LocalTime(record);
  record.tick = qclock::GetTickCount();
  record.line = static_cast<uint16_t>(line);
  record.reserved = 0;
  std::memcpy(record.file, base, strnlen(base, sizeof record.file - 1));
  std::memcpy(record.text, text, strnlen(text, sizeof record.text - 1));
  record.thread = CurrentThreadId();
}

void ThreadName(uint32_t thread, char* out, size_t size) {
  std::lock_guard<std::mutex> guard(g_names_lock);
  auto it = g_thread_names.find(thread);
  if (it != g_thread_names.end()) {
    std::snprintf(out, size, "%s", it->second.c_str());
  } else {
    std::snprintf(out, size, "%04X", thread);
  }
}

// Removes every trailing line feed and carriage return, then ends the line with one "\n".
void EndLine(char* line, size_t size) {
  size_t n = std::strlen(line);
  while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) {
    line[--n] = 0;
  }
  if (n + 1 < size) {
    line[n] = '\n';
    line[n + 1] = 0;
  } else {
    line[size - 2] = '\n';
  }
}

uint16_t ColourOf(char level) {
  switch (level) {
    case 'C':
      return qsys::kConsoleBrightRed;
    case 'D':
      return qsys::kConsoleBrightGreen;
    case 'I':
    case 'T':
      return qsys::kConsoleLightGrey;
    case 'W':
      return qsys::kConsoleDarkYellow;
    default:
      return 0;  // the colour stays as it is
  }
}
constexpr uint16_t kColourRed = qsys::kConsoleBrightRed;
constexpr uint16_t kColourReset = qsys::kConsoleLightGrey;

void ConsoleWrite(uint16_t colour, const char* text) {
  qsys::ConsoleWrite(g_console, colour, text);
}

void RecordHistory(char level, const char* base, int line, const char* text) {
  if (!g_history_recording || g_history_suspended) {
    return;
  }
  TraceRecord record;
  FillRecord(record, level, base, line, text);
  g_history.Push(record);
}

bool TickPast(uint32_t now, uint32_t deadline) {
  return static_cast<int32_t>(now - deadline) > 0;
}

void Reopen();

void WriteOutput(char level, const char* base, int line, const char* text) {
  if (level == 0) {
    return;  // no trace macro has run yet: the log was never started
  }
  ++g_nesting;
  if (level == 'C') {
    g_history_suspended = true;
  }
  TraceRecord record;
  FillRecord(record, level, base, line, text);
  if (g_state != TRACE_RUNNING && g_stdout_printing && g_stdout != nullptr) {
    char formatted[512];
    FormatTraceLine(record, formatted, sizeof formatted);
    std::fputs(formatted, g_stdout);
    std::fflush(g_stdout);
  }
  g_output.Push(record);
  if (g_nesting == 1) {
    TraceDrain();
    if (level == 'C' && !g_in_handler) {
      char message[512];
      std::snprintf(message, sizeof message, "File :%s\nLine :%i\n%s", record.file,
                    static_cast<int>(record.line), record.text);
      if (g_handler != nullptr) {
        g_in_handler = true;
        g_handler(message);
        g_in_handler = false;
      }
    }
  }
  --g_nesting;
}

// The periodic reopen lets a size limit take effect while the program runs. It is the stop and
// start of the log, except that the in-memory history survives it: otherwise every reopen would
// throw away exactly what a later critical line needs to explain itself.
void Reopen() {
  TRACE('T', "Log reopen\n");
  g_reopening = true;
  TraceSetState(TRACE_STOPPED);
  TraceSetState(TRACE_RUNNING);
  g_reopening = false;
}

void ResetRings() {
  g_history.Clear();
  g_lowlevel.Clear();
}

// One history record in the dump format, line end included; returns its length.
size_t FormatDumpLine(const TraceRecord& record, char* line, size_t size) {
  char name[40];
  ThreadName(record.thread, name, sizeof name);
  std::snprintf(line, size, "\t%-10s %010lu %15s %5hu %s", name,
                static_cast<unsigned long>(record.tick), record.file,
                static_cast<unsigned short>(record.line), record.text);
  const size_t n = std::strlen(line);
  if (n == 0 || line[n - 1] != '\n') {
    std::strncat(line, "\n", size - n - 1);
    return n + 1 < size ? n + 1 : n;
  }
  return n;
}

// How many bytes of the calling thread's dump would take the log file past its limit plus the
// slack. A file already past its limit (lines since the last reopen) is trimmed first, as the
// next reopen would. Room is kept for the low-level lines that follow the history.
uint64_t DumpBytesOverBudget(uint32_t self) {
  constexpr uint64_t kLowLevelRoom = uint64_t{kLowLevelSlots} * 64;
  std::fflush(g_log_file);
  uint64_t size = FileSizeOf(g_file_name);
  if (size > g_size_limit) {
    std::fclose(g_log_file);
    TrimFileToTail(g_file_name, g_size_limit, g_size_limit / 4 * 3);
    g_log_file = std::fopen(g_file_name, "ab");
    if (g_log_file == nullptr) {
      return 0;
    }
    size = FileSizeOf(g_file_name);
  }
  const uint64_t ceiling = uint64_t{g_size_limit} + g_size_limit / 4;
  const uint64_t used = size + kLowLevelRoom;
  const uint64_t budget = ceiling > used ? ceiling - used : 0;
  uint64_t total = 0;
  for (uint32_t i = g_history.read; i != g_history.write;) {
    i = (i + 1) % kHistorySlots;
    if (g_history.slots[i].thread == self) {
      char line[512];
      total += FormatDumpLine(g_history.slots[i], line, sizeof line);
    }
  }
  return total > budget ? total - budget : 0;
}

}  // namespace

void FormatTraceLine(const TraceRecord& record, char* out, size_t size) {
  char name[40];
  ThreadName(record.thread, name, sizeof name);
  std::snprintf(out, size, "%-10s %02u.%02u:%02u:%03u (%05lu) %c %12s %5hu %s", name,
                static_cast<unsigned>(record.hour), static_cast<unsigned>(record.minute),
                static_cast<unsigned>(record.second), static_cast<unsigned>(record.millisecond),
                static_cast<unsigned long>(record.tick % 100000u), record.level, record.file,
                static_cast<unsigned short>(record.line), record.text);
  EndLine(out, size);
}

int TraceMark(char level, int line, const char* path) {
  if (g_lock == nullptr) {
    return 0;
  }
  int waits = 0;
  while (!g_lock->try_lock()) {
    if (++waits >= kLockWaits) {
      return 0;
    }
    qclock::Sleep(1);
  }
  ++t_marks_held;
  g_pending_line = line;
  g_pending_path = path ? path : "";
  g_pending_level = level;
  return 1;
}

int TracePrint(const char* format, ...) {
  char message[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);

  // Lines written while this one is processed overwrite the pending position: take it now.
  const char level = g_pending_level;
  const int line = g_pending_line;
  char base[12] = {};
  const char* name = BaseName(g_pending_path);
  std::memcpy(base, name, strnlen(name, sizeof base - 1));

  if (g_capture != nullptr) {
    TraceLine captured{level, base, line, std::string(message).substr(0, 127)};
    for (TraceCapture* capture = g_capture; capture != nullptr; capture = capture->previous_) {
      if (capture->levels == nullptr || (level != '\0' && std::strchr(capture->levels, level))) {
        capture->lines.push_back(captured);
        captured.inner = true;
      }
    }
  }

  if (level == 'T') {
    RecordHistory(level, base, line, message);
  } else {
    WriteOutput(level, base, line, message);
  }

  // Give back only what TraceMark took: a mark that timed out holds nothing.
  if (t_marks_held > 0 && g_lock != nullptr) {
    --t_marks_held;
    g_lock->unlock();
  }
  return 1;
}

int TraceSetFileName(const char* path) {
  std::snprintf(g_file_name, sizeof g_file_name, "%s", path ? path : "");
  return 1;
}

void TraceSetSizeLimit(uint32_t bytes) {
  g_size_limit = bytes;
}

TraceState TraceGetState() {
  return g_state;
}

void TraceSetCriticalHandler(TraceCriticalHandler handler) {
  g_handler = handler;
}

void TraceSetThreadName(const char* name) {
  char copy[32];
  std::snprintf(copy, sizeof copy, "%s", name ? name : "");
  std::lock_guard<std::mutex> guard(g_names_lock);
  g_thread_names[CurrentThreadId()] = copy;
}

void TraceSetConsole(FILE* stream) {
  g_console = stream;
}

void TraceSetStandardOutput(FILE* stream) {
  g_stdout = stream;
}

void TraceLowLevel(const char* file, int line) {
  LowLevelRecord record{};
  std::snprintf(record.file, sizeof record.file, "%s", BaseName(file ? file : ""));
  record.line = line;
  record.tick = qclock::GetTickCount();
  g_lowlevel.Push(record);
}

int TraceDrain() {
  const uint32_t deadline = qclock::GetTickCount() + kDrainBudgetMs;
  if (g_drain_running > 0) {
    return 0;
  }
  ++g_drain_running;
  while (TickPast(deadline, qclock::GetTickCount())) {
    TraceRecord record;
    if (!g_output.Pop(record)) {
      --g_drain_running;
      return 0;
    }
    char formatted[512];
    FormatTraceLine(record, formatted, sizeof formatted);
    ConsoleWrite(ColourOf(record.level), formatted);
    if (g_log_file != nullptr) {
      std::fputs(formatted, g_log_file);
      std::fflush(g_log_file);
      const uint32_t now = qclock::GetTickCount();
      if (g_size_limit != 0 && !g_state_change &&
          (!g_reopened_once || TickPast(now, g_next_reopen))) {
        Reopen();
        g_reopened_once = true;
        g_next_reopen = qclock::GetTickCount() + kReopenIntervalMs;
      }
    }
    ConsoleWrite(kColourReset, nullptr);
    if (record.level == 'C') {
      TraceDump(nullptr);
    }
  }
  --g_drain_running;
  return 1;
}

void TraceFlush() {
  for (int i = 0; i < 101; ++i) {
    if (TraceDrain() == 0) {
      return;
    }
  }
}

TraceState TraceSetState(int request) {
  if (g_lock == nullptr) {
    g_lock = new std::recursive_mutex;
  }
  if (request == g_state) {
    return g_state;
  }
  if (g_state_change) {
    TRACE('C', "init is in service\n");
    return TRACE_FAILED;
  }
  g_state_change = true;
  TRACE('T', "Init %s\n", "Init");

  TraceState result;
  if (request == TRACE_RUNNING) {
    g_history_recording = true;
    if (!g_reopening) {
      g_history_suspended = false;  // a start after a stop records the history again
    }
    g_stdout_printing = true;
    result = TRACE_RUNNING;
    if (g_file_output && g_log_file == nullptr) {
      // A missing file has nothing to trim: it is created below, so a first start on a new
      // machine gets its log file.
      bool trimmed = true;
      if (g_size_limit != 0 && FileExists(g_file_name)) {
        trimmed = TrimFileToTail(g_file_name, g_size_limit, g_size_limit / 4 * 3) != 0;
      }
      // A trim that fails leaves the old file whole; the session logs on into it rather than
      // ending the program for a file that is only too large.
      if (!trimmed) {
        TRACE('W', "Error handling log file\n");
      }
      // Binary, so that a line ends in one line feed on every system, as the trim counts it.
      g_log_file = std::fopen(g_file_name, "ab");
      if (g_log_file == nullptr) {
        TRACE('C', "Could not open the log file\n");
        result = TRACE_FAILED;
      } else {
        std::fseek(g_log_file, 0, SEEK_END);
      }
    }
  } else if (request == TRACE_STOPPED) {
    TRACE('I', "Stopping log\n");
    TraceFlush();
    TRACE('T', "Disabling tracelog\n");
    if (!g_reopening) {
      g_history_suspended = true;
      ResetRings();
    }
    if (g_log_file != nullptr) {
      std::fclose(g_log_file);
      g_log_file = nullptr;
    }
    result = TRACE_STOPPED;
  } else {
    TRACE('W', "Unknown state\n");
    result = TRACE_FAILED;
  }

  g_state = result;
  if (result == TRACE_FAILED) {
    TRACE('W', "Init failed\n");
  }
  TRACE('T', "Init done\n");
  g_state_change = false;
  return g_state;
}

int TraceDump(const char* path) {
  g_history_suspended = true;
  TRACE('I', "Dumping tracelog\n");

  const uint32_t self = CurrentThreadId();
  // With a size limit the dump keeps the file within the limit plus its slack (the quarter a
  // trim takes off): the oldest history lines are left out of the file when they would not fit.
  uint64_t skip_bytes = 0;
  if (g_log_file != nullptr && g_size_limit != 0) {
    skip_bytes = DumpBytesOverBudget(self);
  }

  FILE* extra = nullptr;
  if (path != nullptr) {
    extra = std::fopen(path, "wb");
    if (extra == nullptr) {
      TRACE('W', "Could not open %s\n", path);
    }
  } else if (g_file_output) {
    extra = std::fopen(g_file_name, "ab");
    if (extra == nullptr) {
      TRACE('W', "Could not open log\n");
      g_file_output = false;
    }
  }

  TraceRecord record;
  bool wrote_red = false;
  while (g_history.Pop(record)) {
    if (record.thread != self) {
      continue;
    }
    char line[512];
    const size_t n = FormatDumpLine(record, line, sizeof line);
    ConsoleWrite(kColourRed, line);
    wrote_red = true;
    if (g_log_file == nullptr) {
      continue;
    }
    if (skip_bytes > 0) {
      skip_bytes = skip_bytes > n ? skip_bytes - n : 0;
      continue;
    }
    std::fputs(line, g_log_file);
  }
  if (wrote_red) {
    ConsoleWrite(kColourReset, nullptr);
  }
  TRACE('I', "Dumping tracelog done\n");
  TRACE('I', "Dumping lowlevel tracelog\n");

  LowLevelRecord low;
  while (g_lowlevel.Pop(low)) {
    char line[128];
    std::snprintf(line, sizeof line, "\t %010lu, %s:%i\n", static_cast<unsigned long>(low.tick),
                  low.file, static_cast<int>(low.line));
    if (g_stdout_printing && g_stdout != nullptr) {
      std::fputs(line, g_stdout);
    }
    if (extra != nullptr && std::fputs(line, extra) < 0) {
      TRACE('W', "Error writing dump\n");
    }
  }

  TRACE('I', "Dumping lowlevel tracelog done\n");
  if (extra != nullptr) {
    std::fclose(extra);
  }
  g_history_suspended = false;
  if (g_log_file != nullptr) {
    std::fflush(g_log_file);
  }
  return 1;
}

// --- Test seam -------------------------------------------------------------------------------

TraceCapture::TraceCapture() {
  // Statements are only recorded once the lock exists; a capture should see them from the start.
  if (g_lock == nullptr) {
    g_lock = new std::recursive_mutex;
  }
  previous_ = g_capture;
  g_capture = this;
}

TraceCapture::~TraceCapture() {
  // Usually the innermost one goes first; one that outlives an inner capture is unlinked.
  for (TraceCapture** link = &g_capture; *link != nullptr; link = &(*link)->previous_) {
    if (*link == this) {
      *link = previous_;
      break;
    }
  }
}

bool TraceCapture::Contains(char level, const std::string& text) const {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const TraceLine& l) { return l.level == level && l.text == text; });
}

std::vector<std::string> TraceCapture::Texts(char level) const {
  std::vector<std::string> texts;
  for (const TraceLine& l : lines) {
    if (l.level == level) {
      texts.push_back(l.text);
    }
  }
  return texts;
}

void TraceResetForTests() {
  delete g_lock;  // nobody holds it between tests
  g_lock = g_capture != nullptr ? new std::recursive_mutex : nullptr;
  {
    std::lock_guard<std::mutex> guard(g_names_lock);
    g_thread_names.clear();
  }
  if (g_log_file != nullptr) {
    std::fclose(g_log_file);
    g_log_file = nullptr;
  }
  g_history.Clear();
  g_output.Clear();
  g_lowlevel.Clear();
  std::snprintf(g_file_name, sizeof g_file_name, "%s", "log.txt");
  g_size_limit = 0;
  g_state = TRACE_NOT_STARTED;
  g_history_recording = true;
  g_history_suspended = false;
  g_stdout_printing = true;
  g_file_output = true;
  g_console = nullptr;
  g_stdout = stdout;
  g_handler = nullptr;
  g_pending_level = 0;
  g_pending_path = "";
  g_pending_line = 0;
  g_nesting = 0;
  g_drain_running = 0;
  g_in_handler = false;
  g_state_change = false;
  g_reopening = false;
  g_reopened_once = false;
  g_next_reopen = 0;
}

size_t TraceQueuedForTests() {
  return g_output.Count();
}
size_t TraceHistoryForTests() {
  return g_history.Count();
}
