// Where a condition script went wrong and why, in words for the teacher who wrote it.
#pragma once

#include <string>

struct ScriptError {
  int line = 0;    // 1 and up; 0 when the fault has no place in the script
  int column = 0;  // 1 and up
  std::string message;
};

// "line 3, column 7: 'tricks' is not supported", or the message alone without a place.
inline std::string FormatScriptError(const ScriptError& error) {
  if (error.line <= 0) return error.message;
  return "line " + std::to_string(error.line) + ", column " + std::to_string(error.column) + ": " +
         error.message;
}
