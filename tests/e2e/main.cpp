#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  // Settings, the instance socket, the deal files and the log stay in a scratch folder.
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
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
