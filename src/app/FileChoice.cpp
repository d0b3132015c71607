#include "FileChoice.h"

#include <QDir>
#include <QFileDialog>

namespace {

OpenFileResponder& Responder() {
  static OpenFileResponder responder;
  return responder;
}

}  // namespace

std::string ChooseFileToOpen(QWidget* parent, const QString& filter, const QString& folder) {
  // The dialog may move the current directory; the trace log and relative paths rely on it.
  const QString remembered = QDir::currentPath();
  QString chosen;
  if (Responder()) {
    chosen = QString::fromStdString(Responder()(filter, folder));
  } else {
    chosen = QFileDialog::getOpenFileName(parent, QString(), folder, filter);
  }
  QDir::setCurrent(remembered);
  // The path as the system writes it: what the fields show and the store keeps.
  return chosen.isEmpty()
             ? std::string()
             : QDir::toNativeSeparators(QFileInfo(chosen).absoluteFilePath()).toStdString();
}

OpenFileResponder SetOpenFileResponder(OpenFileResponder responder) {
  OpenFileResponder previous = std::move(Responder());
  Responder() = std::move(responder);
  return previous;
}
