#include "FooButton.h"

#include <QButtonGroup>

FooButton::FooButton(QWidget* parent) : FooButton(QString(), parent) {}

FooButton::FooButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
  // Enter in a dialog goes to the dialog, never to whichever of these has the focus.
  setAutoDefault(false);
  setDefault(false);
}

void FooButton::JoinGroup(QButtonGroup* group) {
  setCheckable(true);
  group->setExclusive(true);
  group->addButton(this);
}
