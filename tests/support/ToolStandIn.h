// A small program the tool tests start as the operator's deal or print tool: it records how many
// arguments it was given.
#pragma once

#include <QString>

// Writes the program as `path` plus the system's program suffix and returns its full name (empty
// when it could not be written). Each start writes its number of arguments into `marker`; an
// empty `marker`: nothing. On POSIX it is a shell script; on Windows, where a script is no
// program, a copy of a built stand-in that finds `marker` in a file beside itself.
QString WriteToolStandIn(const QString& path, const QString& marker);
