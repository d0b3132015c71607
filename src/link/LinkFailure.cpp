#include "LinkFailure.h"

#include <cstdarg>
#include <cstdio>

namespace {

constexpr size_t kRecordedText = 127;  // what the log keeps of a line's text

thread_local std::string t_failure;
thread_local LinkError t_error = LinkError::kSuccess;
thread_local int t_depth = 0;

}  // namespace

const char* NoteLinkFailure(LinkError error, const char* format, ...) {
  char text[1024];  // the trace log's own line buffer
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  t_failure = text;
  t_error = error;
  return t_failure.c_str();
}

LinkError CauseOr(LinkError otherwise) {
  return t_failure.empty() ? otherwise : t_error;
}

LinkCall::LinkCall() {
  if (t_depth++ == 0) {
    t_failure.clear();
    t_error = LinkError::kSuccess;
  }
}

LinkCall::~LinkCall() {
  --t_depth;
}

LinkFailure LastFailure() {
  std::string text = t_failure.substr(0, kRecordedText);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  return LinkFailure{text.empty() ? LinkError::kSuccess : t_error, text};
}
