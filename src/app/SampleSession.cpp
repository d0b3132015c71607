#include "SampleSession.h"

#include <QDir>
#include <QFileInfo>

#include "System.h"

QString SampleSessionFolder(const QString& program_dir) {
  const QString named = qEnvironmentVariable("QUADRELLE_EXAMPLES_DIR");
  if (!named.isEmpty() && QFileInfo(named).isDir()) return QDir(named).absolutePath();
  // Lexically, as the install prefix is meant: bin/../share whatever bin is.
  const QString installed = QDir::cleanPath(program_dir + QLatin1Char('/') +
                                            QString::fromLatin1(qsys::ExamplesBesideProgram()));
  if (QFileInfo(installed).isDir()) return QDir(installed).absolutePath();
  return QString();
}
