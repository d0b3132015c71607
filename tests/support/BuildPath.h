// A path the build gave a test (a program or a file of the build tree), as the test may open it.
// A cross build names such paths without a drive: they lie on the drive of the running test
// program, whatever drive the test's current folder is on.
#pragma once

#include <QCoreApplication>
#include <QString>

inline QString BuildPath(const char* path) {
  QString full = QString::fromLocal8Bit(path);
#ifdef _WIN32
  if (full.startsWith(QLatin1Char('/')))
    full.prepend(QCoreApplication::applicationDirPath().left(2));
#endif
  return full;
}
