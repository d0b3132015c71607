#include "InstanceChecker.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

#include "log.h"

namespace {
constexpr int kConnectTimeoutMs = 500;
constexpr int kMaxMessage = 4096;
}  // namespace

CInstanceChecker::CInstanceChecker(const QString& unique_name, const QString& directory)
    : cell_name_(QStringLiteral("CInstanceChecker_MMF_") + unique_name) {
  QString dir = directory;
  if (dir.isEmpty()) {
    dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  }
  if (dir.isEmpty()) {
    dir = QDir::tempPath();
  }
  socket_path_ = QDir(dir).filePath(cell_name_);
  lock_path_ = socket_path_ + QStringLiteral(".lock");
}

CInstanceChecker::~CInstanceChecker() {
  if (server_) {
    server_->close();
  }
}

bool CInstanceChecker::IsOtherInstanceRunning() {
  QLocalSocket socket;
  socket.connectToServer(socket_path_);
  const bool running = socket.waitForConnected(kConnectTimeoutMs);
  socket.abort();
  return running;
}

int CInstanceChecker::PublishMainWindow(QWidget* main_window) {
  if (IsOtherInstanceRunning()) {
    return 0;
  }
  if (!lock_) {
    auto lock = std::make_unique<QLockFile>(lock_path_);
    // A lock whose owner has died is stale and taken over at once.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
      TRACE('W', "Instance lock held by another copy\n");
      return 0;
    }
    lock_ = std::move(lock);
  }
  if (!server_) {
    // A socket left by a copy that crashed would make listen() fail.
    QLocalServer::removeServer(socket_path_);
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(socket_path_)) {
      TRACE('W', "Could not publish the instance %s\n", qPrintable(server->errorString()));
      lock_.reset();
      return 0;
    }
    connect(server.get(), &QLocalServer::newConnection, this, &CInstanceChecker::OnNewConnection);
    server_ = std::move(server);
  }
  main_window_ = main_window;
  return 1;
}

bool CInstanceChecker::SendToOther(const QByteArray& message) {
  QLocalSocket socket;
  socket.connectToServer(socket_path_);
  if (!socket.waitForConnected(kConnectTimeoutMs)) {
    return false;
  }
  socket.write(message);
  const bool sent = socket.waitForBytesWritten(kConnectTimeoutMs);
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) {
    socket.waitForDisconnected(kConnectTimeoutMs);
  }
  return sent;
}

bool CInstanceChecker::ActivateOtherInstance(const QString& text, quint32 data) {
  QByteArray message = "activate " + QByteArray::number(data) + ' ' + text.toUtf8();
  message.replace('\n', ' ');
  return SendToOther(message.left(kMaxMessage - 1) + '\n');
}

void CInstanceChecker::CloseOtherInstance(int exit_code) {
  SendToOther("close " + QByteArray::number(exit_code) + '\n');
}

void CInstanceChecker::OnNewConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      while (socket->canReadLine()) {
        const QByteArray line = socket->readLine(kMaxMessage).trimmed();
        if (line.startsWith("activate")) {
          const QList<QByteArray> parts = line.split(' ');
          const quint32 data = parts.size() > 1 ? parts[1].toUInt() : 0;
          const qsizetype text_at = line.indexOf(' ', line.indexOf(' ') + 1);
          const QString text = text_at < 0 ? QString() : QString::fromUtf8(line.mid(text_at + 1));
          BringToFront();
          emit ActivateRequested(text, data);
        } else if (line.startsWith("close")) {
          const QList<QByteArray> parts = line.split(' ');
          bool ok = false;
          const int code = parts.size() > 1 ? parts[1].toInt(&ok) : 0;
          emit CloseRequested(ok ? code : 0);
        }
      }
      if (socket->bytesAvailable() >= kMaxMessage) {
        socket->abort();  // no line ending in sight: not one of ours
      }
    });
  }
}

void CInstanceChecker::BringToFront() {
  if (!main_window_) {
    return;
  }
  if (main_window_->isMinimized()) {
    main_window_->showNormal();
  }
  QWidget* target = main_window_->window();
  target->raise();
  target->activateWindow();
}
