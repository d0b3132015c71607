#include "StatusDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>
#include <QWindow>

#include "ScreenDump.h"
#include "WindowPos.h"
#include "log.h"

namespace {

QPointer<QLabel> g_status_line;

// Key presses reach a window before its focus widget. Filtering them there runs the dialogs'
// key filters once per key press, from the focused control's dialog outwards, and lets a filter
// swallow the key before any control sees it.
class KeyFilterHook : public QObject {
 public:
  using QObject::QObject;

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress || !watched->isWindowType()) {
      return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    QPointer<QWidget> widget =
        qobject_cast<QWidget*>(static_cast<QWindow*>(watched)->focusObject());
    while (widget != nullptr) {
      QPointer<QWidget> next = widget->isWindow() ? nullptr : widget->parentWidget();
      if (auto* dialog = qobject_cast<CStatusDialog*>(widget.data())) {
        if (dialog->PreTranslateKey(key)) {
          return true;
        }
      }
      widget = next;  // a filter may have shown a message box; the chain may have gone
    }
    return false;
  }
};

QPointer<KeyFilterHook> g_key_hook;

void InstallKeyFilterHook() {
  if (g_key_hook == nullptr && qApp != nullptr) {
    g_key_hook = new KeyFilterHook(qApp);
    qApp->installEventFilter(g_key_hook);
  }
}

const QFont& StatusBarFont() {
  static const QFont font = DialogFont("Verdana", 12);
  return font;
}

}  // namespace

CStatusDialog::CStatusDialog(unsigned template_id, QWidget* parent, const char* name)
    : QDialog(parent), m_TemplateId(template_id), m_Name(name != nullptr ? name : "") {
  setObjectName(QString::fromStdString(m_Name));
  InstallKeyFilterHook();
}

CStatusDialog::~CStatusDialog() {
  if (m_Initialised) {
    SaveWindowPos(m_TemplateId, isWindow() ? frameGeometry().topLeft() : mapToGlobal(QPoint(0, 0)));
  }
}

bool CStatusDialog::InitDialog() {
  if (!m_Initialised) {
    m_Initialised = true;
    OnInitDialog();
  }
  return true;
}

bool CStatusDialog::OnInitDialog() {
  if (m_bStatusBar == 1) {
    CreateStatusBar();
  }
  MoveToRememberedPos();
  return true;
}

void CStatusDialog::CreateStatusBar() {
  m_StatusBar = new QStatusBar(this);
  m_StatusBar->setObjectName("statusBar");
  m_StatusBar->setSizeGripEnabled(false);
  m_StatusBar->setFont(StatusBarFont());
  m_StatusPane = new QLabel(m_StatusBar);
  m_StatusPane->setObjectName("statusPane");
  SetControlId(m_StatusPane, kStatusPaneId);
  m_StatusPane->setText(QString());
  m_StatusBar->addWidget(m_StatusPane, 1);
  // The bar goes below the layout: the dialog grows by the bar's height.
  const int height = m_StatusBar->sizeHint().height();
  resize(width(), this->height() + height);
  PlaceStatusBar();
  m_StatusBar->show();
}

void CStatusDialog::PlaceStatusBar() {
  if (m_StatusBar != nullptr) {
    const int height = m_StatusBar->sizeHint().height();
    m_StatusBar->setGeometry(0, this->height() - height, width(), height);
  }
}

void CStatusDialog::MoveToRememberedPos() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect desktop = screen != nullptr ? screen->geometry() : QRect();
  move(ClampWindowPos(LoadWindowPos(m_TemplateId), size(), desktop));
}

void CStatusDialog::SetStatusText(const char* text) {
  const QString line = QString::fromUtf8(text != nullptr ? text : "");
  if (m_StatusPane != nullptr) {
    m_StatusPane->setText(line);
  } else if (g_status_line != nullptr) {
    g_status_line->setText(line);
  }
}

void CStatusDialog::PublishStatusLine() {
  if (m_StatusPane != nullptr) {
    g_status_line = m_StatusPane;
  }
}

void CStatusDialog::SetTemplateSize(int cx, int cy) {
  resize(Units().ToPixels(QSize(cx, cy)));
}

void CStatusDialog::PlaceControl(QWidget* control, int id, const char* object_name,
                                 const QRect& units) {
  control->setParent(this);
  control->setGeometry(Units().ToPixels(units));
  control->setObjectName(QString::fromLatin1(object_name));
  SetControlId(control, id);
}

QString CStatusDialog::ToolTipHtml(const char* text) {
  QString html = QString::fromUtf8(text != nullptr ? text : "");
  html.replace(QStringLiteral("<\\B>"), QStringLiteral("</B>"));
  return QStringLiteral("<qt>") + html + QStringLiteral("</qt>");
}

void CStatusDialog::AddToolTip(QWidget* control, const char* text) {
  control->setToolTip(ToolTipHtml(text));
}

bool CStatusDialog::PreTranslateKey(QKeyEvent* event) {
  const Qt::KeyboardModifiers modifiers = event->modifiers();
  const bool shift_ctrl =
      modifiers.testFlag(Qt::ShiftModifier) && modifiers.testFlag(Qt::ControlModifier);
  if (shift_ctrl) {
    switch (event->key()) {
      case Qt::Key_F1:
        DumpScreen();
        return true;
      case Qt::Key_F7:
        TRACE('C', "User error\n");
        return true;
      case Qt::Key_F3:
        return true;
      default:
        break;
    }
  }
  if (event->key() == Qt::Key_F4) {
    TRACE('I', "\n");
  } else if (event->key() == Qt::Key_F1) {
    const QPoint at = mapFromGlobal(QCursor::pos());
    if (rect().contains(at)) {
      TRACE('I', "Help at %i %i\n", at.x(), at.y());
    } else {
      TRACE('D', "Help request outside client\n");
    }
  }
  return false;
}

void CStatusDialog::DumpScreen() {
  TRACE('D', "Dumping screen to clipboard\n");
  DumpImage(GrabWindowImage(this), QStringLiteral("Test.bmp"));
}

void CStatusDialog::OnHelp() {
  TRACE('D', "Help %s\n", m_Name.c_str());
}

void CStatusDialog::showEvent(QShowEvent* event) {
  if (!m_Initialised) {
    InitDialog();
    // Controls made by the initialisation came after the toolkit showed the dialog's children:
    // show them now, as a dialog template's visible controls are, unless one was hidden on
    // purpose.
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (!child->isWindow() && !child->testAttribute(Qt::WA_WState_ExplicitShowHide)) {
        child->show();
      }
    }
  }
  QDialog::showEvent(event);
}

bool CStatusDialog::PressFocusedButton() {
  auto* button = qobject_cast<QAbstractButton*>(focusWidget());
  if (button == nullptr || !button->isEnabled() || !isAncestorOf(button)) {
    return false;
  }
  button->click();
  return true;
}

void CStatusDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    OnHelp();
    event->accept();
    return;
  }
  if ((event->key() == Qt::Key_Enter || event->key() == Qt::Key_Return) && PressFocusedButton()) {
    event->accept();
    return;
  }
  if (!isWindow()) {
    // A dialog inside another must not close itself on Escape or Enter; its host decides.
    switch (event->key()) {
      case Qt::Key_Escape:
      case Qt::Key_Enter:
      case Qt::Key_Return:
        event->ignore();
        return;
      default:
        break;
    }
  }
  QDialog::keyPressEvent(event);
}

void CStatusDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  PlaceStatusBar();
}
