#include "LaunchTool.h"

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <string>

#include "MessageBox.h"
#include "Settings.h"

void LaunchTool(const char* value_name) {
  const std::string stored = ReadSettingString("Parameters", value_name, "");
  if (stored.empty()) return;
  const QString path = QString::fromStdString(stored);
  QFile probe(path);
  if (!probe.open(QIODevice::ReadOnly)) {
    ShowMessageBox("Tool not found", "Error", BoxButtons::Ok);
    return;
  }
  probe.close();
  // The path is the program itself: no shell sees it, so blanks or shell characters in it are
  // just part of the name.
  if (!QProcess::startDetached(path, QStringList())) {
    ShowMessageBox("Error launching Tool ", "Error", BoxButtons::Ok);
  }
}
