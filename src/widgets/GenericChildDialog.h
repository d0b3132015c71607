// The base of the pages: a dialog created as a hidden child window lying exactly over a
// placeholder control of its host, which shows it when its turn comes.
#pragma once

#include <QPoint>
#include <QPointer>

#include "StatusDialog.h"

class GenericChildDialog : public CStatusDialog {
  Q_OBJECT

 public:
  explicit GenericChildDialog(const char* name);

  // Makes this dialog a child of `parent` and runs its initialisation, puts its top-left
  // corner on the top-left corner of the parent's control `placeholder_id` plus `offset`
  // (none: (0, 0)), keeps its own size, stacks it just under the placeholder and hides it.
  // Returns whether it was visible before it was hidden. A missing placeholder puts the
  // dialog at the offset from the parent's corner.
  bool Create(QWidget* parent, int placeholder_id, const QPoint* offset = nullptr);

  // The layout number of the page class; it also keys the page's remembered position.
  virtual unsigned GetTemplateID() const = 0;

  QWidget* Host() const { return m_pParent; }

  // Where the keyboard focus goes when the host has shown this page: the page's own first
  // action where it has one, else the page itself, never the control that opened it (Enter
  // would open the page again). The base focuses the page.
  virtual void FocusOnShow();

 protected:
  // Disables `control`, first taking the focus onto the page when the control has it: the
  // toolkit would hand it on to the next control of the window, which may be the host's.
  void DisableKeepingFocus(QWidget* control);

  QPointer<QWidget> m_pParent;
};
