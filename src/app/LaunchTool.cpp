#include "LaunchTool.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <cstring>

#include "MessageBox.h"
#include "Settings.h"
#include "System.h"

ToolCommand ToolCommandFor(const char* value_name, const std::string& stored,
                           const QString& program_dir, const std::string& deal_file) {
  if (!stored.empty()) return {QString::fromStdString(stored), {}};
  const QFileInfo companion(program_dir + QLatin1Char('/') + QLatin1String(kCompanionProgram) +
                            QLatin1String(qsys::ProgramSuffix()));
  if (!companion.isFile() || !companion.isExecutable()) return {};
  if (std::strcmp(value_name, "PrintTool") == 0) {
    QStringList arguments{QStringLiteral("--handrecord")};
    if (!deal_file.empty()) arguments << QString::fromStdString(deal_file);
    return {companion.filePath(), arguments};
  }
  return {companion.filePath(), {QStringLiteral("--generate")}};
}

void LaunchTool(const char* value_name, const std::string& deal_file) {
  const std::string stored = ReadSettingString("Parameters", value_name, "");
  const ToolCommand command =
      ToolCommandFor(value_name, stored, QCoreApplication::applicationDirPath(), deal_file);
  if (command.program.isEmpty()) return;
  if (!stored.empty()) {
    QFile probe(command.program);
    if (!probe.open(QIODevice::ReadOnly)) {
      ShowMessageBox("Tool not found", "Error", BoxButtons::Ok);
      return;
    }
  }
  // The path is the program itself: no shell sees it, so blanks or shell characters in it are
  // just part of the name.
  if (!QProcess::startDetached(command.program, command.arguments)) {
    ShowMessageBox("Error launching Tool ", "Error", BoxButtons::Ok);
  }
}
