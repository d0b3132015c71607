// The link's last failure: the error and the text of the last level W or C line the link wrote,
// kept so that a caller can say why a call failed without reading the trace (as hid_error() does
// for hidapi).
//
// Per thread: the link belongs to the one thread that drives it.
#pragma once

#include <string>

#include "log.h"
#include "platform/LinkError.h"

// Writes a level W or C line exactly as TRACE does (same level, source file and line, same
// text) and keeps it, with `error`, as the link's last failure. Arguments are evaluated once.
#define TRACE_FAILURE(level, error, ...) \
  (TraceMark((level), __LINE__, __FILE__), TracePrint("%s", NoteLinkFailure((error), __VA_ARGS__)))

// Formats a failure line as the trace log does (at most 1,023 characters), keeps it with its
// error as the last failure and returns the text; the text stays valid until the next failure
// is noted. Never blocks.
const char* NoteLinkFailure(LinkError error, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// The error of the last failure noted in the current outermost call, or `otherwise` when there
// was none: a line that reports an inner call's failure passes its cause on.
LinkError CauseOr(LinkError otherwise);
// `error`, or `otherwise` when `error` is kSuccess (a backend that failed without saying why).
constexpr LinkError ErrorOr(LinkError error, LinkError otherwise) {
  return error != LinkError::kSuccess ? error : otherwise;
}

// Held by each public call of the link for its duration (FindDevice, EnumerateBulkDevices,
// Init, ClientInit, SendBuffer, Receive, FlushReceive, SendCommand, CheckAlive).
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

struct LinkFailure {
  LinkError error = LinkError::kSuccess;
  // The failure line's text as the log records it (cut to 127 characters), without its line
  // end and trailing blanks.
  std::string text;
};

// The last failure written since the outermost link call began (or, once it has ended, during
// it). {kSuccess, ""} when there was none: the call succeeded, or failed with information lines
// only. Never blocks.
LinkFailure LastFailure();
