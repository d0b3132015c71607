// Fails a GoogleTest case on a level W or C trace line the case did not declare, as a stray
// warning fails a test of a device emulation: a failure path nobody expected is a finding.
#pragma once

#include <initializer_list>
#include <string>

// A line that a TraceCapture of the case's own took counts as read by the case.
//
// Declares, for the running test case, trace lines it expects: a line of `level` whose text
// starts with `text_start` is then not a finding. Call it before or after the lines come.
void ExpectTraceLine(char level, const std::string& text_start);
void ExpectTraceLines(char level, std::initializer_list<const char*> text_starts);
// Registers the guard with GoogleTest (after InitGoogleTest, before RUN_ALL_TESTS).
void InstallTraceGuard();
