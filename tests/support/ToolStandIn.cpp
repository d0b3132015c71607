#include "ToolStandIn.h"

#include <QFile>

#include "BuildPath.h"

QString WriteToolStandIn(const QString& path, const QString& marker) {
#ifdef _WIN32
  const QString program = path + QStringLiteral(".exe");
  QFile::remove(program);
  if (!QFile::copy(BuildPath(QUADRELLE_TOOL_STANDIN), program)) return QString();
  QFile where(path + QStringLiteral(".marker"));
  if (!where.open(QIODevice::WriteOnly)) return QString();
  where.write(marker.toUtf8());
  return program;
#else
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return QString();
  const QString body = marker.isEmpty() ? QStringLiteral("#!/bin/sh\n")
                                        : QStringLiteral("#!/bin/sh\necho $# > '%1'\n").arg(marker);
  file.write(body.toUtf8());
  file.close();
  file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  return path;
#endif
}
