// The program's version string, fixed at build time, and the short text shown to the operator.
#pragma once

#include <cstddef>
#include <cstdint>

struct VersionRecord {
  static constexpr int kMaxNumbers = 10;
  int32_t numbers[kMaxNumbers];
  int32_t count;
  int32_t test_mark;
  int32_t valid;
  int64_t build_time;  // local time, seconds since 1970; 0 when not parsed
};

// "1.17 13.03.17.10:48.22"
const char* GetVersionString();
// Fills the record; false when the text does not start like a version string or a stamp number
// cannot be read. Numbers past the tenth are cut off.
bool ParseVersion(VersionRecord& record, const char* text);
// Writes the numbers joined by "." (and "*" for a test build) into `buffer` of `size` bytes,
// cut to fit.
void FormatVersionNumbers(const VersionRecord& record, char* buffer, size_t size);
// "1.17 rel", or for a test build "1.17* tst 2013.03.17 10.48:22". Built once.
const char* GetVersionText();
// The same text for any version string, into `buffer` of `size` bytes, cut to fit.
void MakeVersionText(const char* version, char* buffer, size_t size);

// A command-line tool called with exactly "--help" or "--version": prints `usage` and `help`, or
// "<program> <version text> (<version string>)", on standard output and returns true (the tool
// then ends with 0). False for any other call; nothing printed.
bool AnswerHelpOrVersion(int argc, char** argv, const char* program, const char* usage,
                         const char* help);
