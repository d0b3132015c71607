// What the widget tests share: a private settings store and a private current directory.
#pragma once

#include <QString>
#include <QTemporaryDir>

#include "ScratchRegistry.h"

class QWidget;

// While one lives, the settings store and the current directory are in a fresh folder.
class ScratchEnvironment {
 public:
  ScratchEnvironment();
  ~ScratchEnvironment();
  ScratchEnvironment(const ScratchEnvironment&) = delete;
  ScratchEnvironment& operator=(const ScratchEnvironment&) = delete;

  bool IsValid() const { return dir_.isValid(); }
  QString Path() const { return dir_.path(); }

 private:
  QTemporaryDir dir_;
  QString previous_dir_;
#ifdef _WIN32
  ScratchRegistry registry_;  // the store there
#endif
};

// Shows the window, waits until it is exposed and active; false if it never was.
bool ShowActive(QWidget* window);
