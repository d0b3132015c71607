// Starting the external deal tool or print tool that the operator set up on the parameters page.
#pragma once

#include <QString>
#include <QStringList>
#include <string>

// The program installed with Quadrelle that makes boards and hand records (its file name ends in
// the system's program suffix).
inline constexpr const char* kCompanionProgram = "quadrelle-prepare";

// What a tool button starts. An empty program: nothing.
struct ToolCommand {
  QString program;
  QStringList arguments;
};

// The stored path `stored` for "DealTool" or "PrintTool", without arguments. Nothing stored: the
// companion program when it is an executable file in `program_dir`, with "--generate" for the
// deal tool and "--handrecord" (and `deal_file`, when there is one) for the print tool; a path
// the operator set always wins.
ToolCommand ToolCommandFor(const char* value_name, const std::string& stored,
                           const QString& program_dir, const std::string& deal_file);

// Starts what ToolCommandFor gives for the value stored under `value_name` in section
// "Parameters" and the folder of the running program: detached and without a shell. Nothing to
// start: nothing happens. A stored program that is missing, or a failed start, is told to the
// operator.
void LaunchTool(const char* value_name, const std::string& deal_file = std::string());
