#include "MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "Settings.h"

namespace {

MessageBoxResponder g_responder;
QPointer<QWidget> g_main_window;

QMessageBox::StandardButtons ToStandard(BoxButtons buttons) {
  switch (buttons) {
    case BoxButtons::OkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case BoxButtons::YesNo:
      return QMessageBox::Yes | QMessageBox::No;
    case BoxButtons::YesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case BoxButtons::Ok:
      break;
  }
  return QMessageBox::Ok;
}

QMessageBox::Icon ToStandard(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::Information:
      return QMessageBox::Information;
    case BoxIcon::Warning:
      return QMessageBox::Warning;
    case BoxIcon::Error:
      return QMessageBox::Critical;
    case BoxIcon::Question:
      return QMessageBox::Question;
    case BoxIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

// A box closed without a button press answers like its escape button would.
BoxAnswer ClosedAnswer(BoxButtons buttons) {
  switch (buttons) {
    case BoxButtons::Ok:
      return BoxAnswer::Ok;
    case BoxButtons::YesNo:
      return BoxAnswer::No;
    case BoxButtons::OkCancel:
    case BoxButtons::YesNoCancel:
      break;
  }
  return BoxAnswer::Cancel;
}

int g_open_boxes = 0;

// Counts a box as open for as long as it is being answered, by the operator or a test.
class OpenBox {
 public:
  OpenBox() { ++g_open_boxes; }
  ~OpenBox() { --g_open_boxes; }
  OpenBox(const OpenBox&) = delete;
  OpenBox& operator=(const OpenBox&) = delete;
};

BoxAnswer Show(MessageBoxRequest request) {
  if (request.caption.empty()) {
    request.caption = kSettingsApplication;
  }
  const OpenBox open;
  if (g_responder) {
    return g_responder(request);
  }
  QWidget* owner = nullptr;
  if (request.owned) {
    owner = QApplication::activeWindow();
    if (owner == nullptr) {
      owner = g_main_window.data();
    }
  }
  QMessageBox box(ToStandard(request.icon), QString::fromStdString(request.caption),
                  QString::fromStdString(request.text), ToStandard(request.buttons), owner);
  box.setObjectName("messageBox");
  switch (box.exec()) {
    case QMessageBox::Ok:
      return BoxAnswer::Ok;
    case QMessageBox::Cancel:
      return BoxAnswer::Cancel;
    case QMessageBox::Yes:
      return BoxAnswer::Yes;
    case QMessageBox::No:
      return BoxAnswer::No;
    default:
      return ClosedAnswer(request.buttons);
  }
}

}  // namespace

BoxAnswer ShowMessageBox(const std::string& text, const std::string& caption, BoxButtons buttons,
                         BoxIcon icon) {
  return Show(MessageBoxRequest{text, caption, buttons, icon, true});
}

BoxAnswer ShowUnownedMessageBox(const std::string& text, const std::string& caption,
                                BoxButtons buttons, BoxIcon icon) {
  return Show(MessageBoxRequest{text, caption, buttons, icon, false});
}

int OpenMessageBoxes() {
  return g_open_boxes;
}

void SetMessageBoxMainWindow(QWidget* window) {
  g_main_window = window;
}

MessageBoxResponder SetMessageBoxResponder(MessageBoxResponder responder) {
  MessageBoxResponder previous = std::move(g_responder);
  g_responder = std::move(responder);
  return previous;
}

MessageBoxCapture::MessageBoxCapture(BoxAnswer fallback_answer) : fallback(fallback_answer) {
  previous_ = SetMessageBoxResponder([this](const MessageBoxRequest& request) {
    requests.push_back(request);
    if (answers.empty()) {
      return fallback;
    }
    const BoxAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  });
}

MessageBoxCapture::~MessageBoxCapture() {
  SetMessageBoxResponder(std::move(previous_));
}
