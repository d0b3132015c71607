#include "LinkFailure.h"

#include <cstdarg>
#include <cstdio>

namespace {

constexpr size_t kRecordedText = 127;  // what the log keeps of a line's text

thread_local std::string t_failure;
thread_local int t_depth = 0;

}  // namespace

const char* NoteLinkFailure(const char* format, ...) {
  char text[1024];  // the trace log's own line buffer
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  t_failure = text;
  return t_failure.c_str();
}

LinkCall::LinkCall() {
  if (t_depth++ == 0) t_failure.clear();
}

LinkCall::~LinkCall() {
  --t_depth;
}

std::string LastFailure() {
  std::string text = t_failure.substr(0, kRecordedText);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}
