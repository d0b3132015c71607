#include "GuiSupport.h"

#include <QDir>
#include <QSettings>
#include <QTest>
#include <QWidget>

ScratchEnvironment::ScratchEnvironment() : previous_dir_(QDir::currentPath()) {
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path() + "/config");
  QDir::setCurrent(dir_.path());
}

ScratchEnvironment::~ScratchEnvironment() {
  QDir::setCurrent(previous_dir_);
}

bool ShowActive(QWidget* window) {
  window->show();
  if (!QTest::qWaitForWindowExposed(window)) {
    return false;
  }
  window->activateWindow();
  return QTest::qWaitForWindowActive(window);
}
