#include "FocusEditCtrl.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

#include "log.h"

namespace {

// The longest path a dropped file contributes, as the platform's path buffer allows.
constexpr int kMaxDroppedPath = 259;

// A dropped local file, or else dropped text; empty when the drop carries neither.
QString DroppedText(const QMimeData* data) {
  if (data->hasUrls()) {
    const QList<QUrl> urls = data->urls();
    if (!urls.isEmpty() && urls.first().isLocalFile()) {
      return QDir::toNativeSeparators(urls.first().toLocalFile()).left(kMaxDroppedPath);
    }
  }
  return data->hasText() ? data->text() : QString();
}

bool CanDrop(const QMimeData* data) {
  if (data->hasUrls() && !data->urls().isEmpty() && data->urls().first().isLocalFile()) {
    return true;
  }
  return data->hasText();
}

}  // namespace

CFocusEditCtrl::CFocusEditCtrl(QWidget* parent) : QLineEdit(parent) {
  setAcceptDrops(true);
  setDragEnabled(false);
}

void CFocusEditCtrl::SetAllowedChars(const char* chars) {
  m_AllowedOn = chars != nullptr;
  m_AllowedChars = m_AllowedOn ? QString::fromUtf8(chars) : QString();
}

void CFocusEditCtrl::SetExcludedChars(const char* chars) {
  m_ExcludedOn = chars != nullptr;
  m_ExcludedChars = m_ExcludedOn ? QString::fromUtf8(chars) : QString();
}

void CFocusEditCtrl::SetBackgroundColour(const QColor& colour) {
  m_BackgroundColour = colour;
  setFocus(Qt::OtherFocusReason);
  ApplyColours();
  update();
}

void CFocusEditCtrl::SetTextColour(const QColor& colour) {
  m_TextColour = colour;
  ApplyColours();
  update();
}

bool CFocusEditCtrl::IsAllowed(QChar c) const {
  if (m_AllowedOn && !m_AllowedChars.isEmpty()) {
    return m_AllowedChars.contains(c);
  }
  if (m_ExcludedOn && !m_ExcludedChars.isEmpty()) {
    return !m_ExcludedChars.contains(c);
  }
  return true;
}

QString CFocusEditCtrl::Filter(const QString& text) const {
  TRACE('I', "Validating %s\n", text.toUtf8().constData());
  QString kept;
  kept.reserve(text.size());
  for (const QChar c : text) {
    if (IsAllowed(c)) {
      kept.append(c);
    }
  }
  return kept;
}

void CFocusEditCtrl::InsertFiltered(const QString& text) {
  if (isReadOnly()) {
    return;
  }
  insert(Filter(text));  // replaces the selection, and can be undone
}

void CFocusEditCtrl::Paste() {
  TRACE('I', "Paste\n");
  const QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard == nullptr) {
    QApplication::beep();
    return;
  }
  const QString text = clipboard->text();
  if (text.isEmpty()) {
    return;
  }
  InsertFiltered(text);
}

void CFocusEditCtrl::keyPressEvent(QKeyEvent* event) {
  const Qt::KeyboardModifiers modifiers = event->modifiers();
  const bool backspace = event->key() == Qt::Key_Backspace;
  const bool ctrl_v = event->key() == Qt::Key_V && modifiers.testFlag(Qt::ControlModifier);
  const QString typed = event->text();
  // Only typed characters are filtered. Other key combinations with Ctrl or Alt are commands
  // (copy, cut, select all, undo) and keep working in a field that takes only digits.
  const bool command = modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  const bool character =
      backspace || ctrl_v || (!command && !typed.isEmpty() && typed.at(0).isPrint());
  if (!character) {
    if (event->matches(QKeySequence::Paste)) {
      Paste();  // Shift+Insert: the same filtered paste
      return;
    }
    QLineEdit::keyPressEvent(event);
    return;
  }

  update();
  if (m_MaxLength != -1 && !backspace && text().size() + 1 > m_MaxLength) {
    return;
  }
  if ((typed == QLatin1String("-") && modifiers.testFlag(Qt::ShiftModifier)) || ctrl_v) {
    TRACE('I', "Ups I\n");
    Paste();
    return;
  }
  if (!backspace) {
    if (m_AllowedOn && !m_AllowedChars.isEmpty()) {
      for (const QChar c : typed) {
        if (!m_AllowedChars.contains(c)) {
          TRACE('I', "Ups II\n");
          return;
        }
      }
    } else if (m_ExcludedOn && !m_ExcludedChars.isEmpty()) {
      for (const QChar c : typed) {
        if (m_ExcludedChars.contains(c)) {
          TRACE('I', "Ups III\n");
          return;
        }
      }
    }
  }
  QLineEdit::keyPressEvent(event);
}

void CFocusEditCtrl::ApplyColours() {
  if (hasFocus() && isEnabled() && !isReadOnly()) {
    QPalette colours;
    colours.setColor(QPalette::Base, m_BackgroundColour);
    colours.setColor(QPalette::Text, m_TextColour);
    setPalette(colours);
  } else {
    setPalette(QPalette());  // back to the normal edit colours
  }
}

void CFocusEditCtrl::focusInEvent(QFocusEvent* event) {
  ApplyColours();
  QLineEdit::focusInEvent(event);
}

void CFocusEditCtrl::focusOutEvent(QFocusEvent* event) {
  ApplyColours();
  QLineEdit::focusOutEvent(event);
}

void CFocusEditCtrl::changeEvent(QEvent* event) {
  QLineEdit::changeEvent(event);
  if (event->type() == QEvent::EnabledChange || event->type() == QEvent::ReadOnlyChange) {
    ApplyColours();
  }
}

void CFocusEditCtrl::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = createStandardContextMenu();
  menu->setObjectName("editMenu");
  // The menu's paste must filter like every other way in. The standard menu names its
  // actions only by their text.
  const QString paste_text = QLineEdit::tr("&Paste");
  const QList<QAction*> actions = menu->actions();
  for (QAction* action : actions) {
    if (action->text().section(QLatin1Char('\t'), 0, 0) == paste_text) {
      action->setObjectName("edit-paste");
      disconnect(action, &QAction::triggered, nullptr, nullptr);
      connect(action, &QAction::triggered, this, &CFocusEditCtrl::Paste);
    }
  }
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

void CFocusEditCtrl::mouseReleaseEvent(QMouseEvent* event) {
  const QClipboard* clipboard = QGuiApplication::clipboard();
  if (event->button() == Qt::MiddleButton && clipboard != nullptr &&
      clipboard->supportsSelection()) {
    // The X11 selection paste goes through the filter too.
    InsertFiltered(clipboard->text(QClipboard::Selection));
    event->accept();
    return;
  }
  QLineEdit::mouseReleaseEvent(event);
}

void CFocusEditCtrl::dragEnterEvent(QDragEnterEvent* event) {
  if (!isReadOnly() && CanDrop(event->mimeData())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void CFocusEditCtrl::dragMoveEvent(QDragMoveEvent* event) {
  // Unlike a plain edit field the cursor stays put: a drop replaces the selection.
  if (!isReadOnly() && CanDrop(event->mimeData())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void CFocusEditCtrl::dropEvent(QDropEvent* event) {
  if (isReadOnly() || !CanDrop(event->mimeData())) {
    event->ignore();
    return;
  }
  InsertFiltered(DroppedText(event->mimeData()));
  event->acceptProposedAction();
}

void CFocusEditCtrl::inputMethodEvent(QInputMethodEvent* event) {
  if (event->commitString().isEmpty()) {
    QLineEdit::inputMethodEvent(event);
    return;
  }
  QInputMethodEvent filtered(event->preeditString(), event->attributes());
  filtered.setCommitString(Filter(event->commitString()), event->replacementStart(),
                           event->replacementLength());
  QLineEdit::inputMethodEvent(&filtered);
}
