#include "GenericChildDialog.h"

#include "DialogUnits.h"
#include "log.h"

GenericChildDialog::GenericChildDialog(const char* name) : CStatusDialog(0, nullptr, name) {}

bool GenericChildDialog::Create(QWidget* parent, int placeholder_id, const QPoint* offset) {
  m_pParent = parent;
  m_TemplateId = GetTemplateID();
  // A child widget rather than a window of its own; reparenting also leaves it hidden.
  setParent(parent, Qt::Widget);
  InitDialog();

  QPoint corner(0, 0);
  QWidget* placeholder = FindControl(parent, placeholder_id);
  if (placeholder != nullptr) {
    corner = placeholder->geometry().topLeft();
  } else {
    TRACE('W', "No placeholder %i for %s\n", placeholder_id, Name().c_str());
  }
  if (offset != nullptr) {
    corner += *offset;
  }
  move(corner);
  if (placeholder != nullptr) {
    stackUnder(placeholder);
  }
  const bool was_visible = isVisible();
  hide();
  return was_visible;
}

void GenericChildDialog::FocusOnShow() {
  setFocus(Qt::OtherFocusReason);
}

void GenericChildDialog::DisableKeepingFocus(QWidget* control) {
  if (control->window()->focusWidget() == control) {
    setFocus(Qt::OtherFocusReason);
  }
  control->setEnabled(false);
}
