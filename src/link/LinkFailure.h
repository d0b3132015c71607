// The link's last failure: the text of the last level W or C line the link wrote, kept so that a
// caller can say why a call failed without reading the trace (as hid_error() does for hidapi).
//
// Per thread: the link belongs to the one thread that drives it.
#pragma once

#include <string>

#include "log.h"

// Writes a level W or C line exactly as TRACE does (same level, source file and line, same
// text) and keeps its text as the link's last failure. Arguments are evaluated once.
#define TRACE_FAILURE(level, ...) \
  (TraceMark((level), __LINE__, __FILE__), TracePrint("%s", NoteLinkFailure(__VA_ARGS__)))

// Formats a failure line as the trace log does (at most 1,023 characters), keeps it as the last
// failure and returns it; the text stays valid until the next failure is noted. Never blocks.
const char* NoteLinkFailure(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Held by each public call of the link for its duration (FindDevice, EnumerateBulkDevices,
// OpenBulkDevice, Init, ClientInit, SendBuffer, Receive, FlushReceive, SendCommand, CheckAlive).
// The outermost call starts with no failure, so that LastFailure() speaks of that call only; a
// call made inside it (SendCommand's SendBuffer) keeps what the outer call has seen. CloseDevice
// opens none: a machine dropped after a failed alive check still tells why.
class LinkCall {
 public:
  LinkCall();
  ~LinkCall();
  LinkCall(const LinkCall&) = delete;
  LinkCall& operator=(const LinkCall&) = delete;
};

// The last failure line written since the outermost link call began (or, once it has ended,
// during it), cut to 127 characters as the log records a line, without its line end and
// trailing blanks. Empty when there was none: the call succeeded, or failed with information
// lines only. Never blocks.
std::string LastFailure();
