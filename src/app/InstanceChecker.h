// Keeps the program to one running copy per user. The first copy publishes itself under the name
// "CInstanceChecker_MMF_" + the unique name: a lock file (taken over automatically when the copy
// that held it has died, so a crash never locks the operator out) and a local socket on which
// later copies ask it to come to the front or to quit.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

class CInstanceChecker : public QObject {
  Q_OBJECT

 public:
  // `directory` holds the lock file and the socket; empty means the user's runtime directory.
  explicit CInstanceChecker(const QString& unique_name, const QString& directory = QString());
  ~CInstanceChecker() override;

  // True when a running copy answers on the socket.
  bool IsOtherInstanceRunning();
  // 1 when this copy is now the published one, 0 when another copy runs or publishing failed.
  int PublishMainWindow(QWidget* main_window);
  // Asks the running copy to come to the front (with an optional text and data value for it).
  // True when a running copy took the request.
  bool ActivateOtherInstance(const QString& text, quint32 data);
  // Asks the running copy to quit with the exit code. Nothing happens when none runs.
  void CloseOtherInstance(int exit_code);

  QString CellName() const { return cell_name_; }

 signals:
  // Another copy asked this one to come to the front.
  void ActivateRequested(const QString& text, quint32 data);
  // Another copy asked this one to quit.
  void CloseRequested(int exit_code);

 private:
  bool SendToOther(const QByteArray& message);
  void OnNewConnection();
  void BringToFront();

  QString cell_name_;
  QString socket_path_;
  QString lock_path_;
  std::unique_ptr<QLockFile> lock_;
  std::unique_ptr<QLocalServer> server_;
  QPointer<QWidget> main_window_;
};
