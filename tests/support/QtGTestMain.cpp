// The main of the GoogleTest programs that need a QApplication: everything the program would
// write to the user's folders goes to a scratch folder instead, and the platform is offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "ScratchRegistry.h"

int main(int argc, char** argv) {
  // Settings, the instance socket, deal files and the log stay in a scratch folder.
  QTemporaryDir scratch;
  const QByteArray root = scratch.path().toLocal8Bit();
  QDir().mkpath(scratch.path() + "/config");
  QDir().mkpath(scratch.path() + "/runtime");
  QFile::setPermissions(scratch.path() + "/runtime",
                        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  qputenv("XDG_CONFIG_HOME", root + "/config");
  qputenv("XDG_RUNTIME_DIR", root + "/runtime");
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QDir::setCurrent(scratch.path());
#ifdef _WIN32
  ScratchRegistry registry;  // where the settings are there
#endif
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
