#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWidget>
#include <thread>

#include "InstanceChecker.h"
#include "StaleLocalSocket.h"

namespace {

// Lets the first copy's event loop take what a later copy sent.
bool WaitFor(QSignalSpy& spy) {
  QElapsedTimer timer;
  timer.start();
  while (spy.isEmpty() && timer.elapsed() < 3000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return !spy.isEmpty();
}

// The computer's name as a lock file names it (each system asks for it its own way).
QByteArray LockHostName(const QString& dir) {
  QLockFile probe(QDir(dir).filePath("probe.lock"));
  if (!probe.tryLock(0)) return QByteArray();
  QFile file(QDir(dir).filePath("probe.lock"));
  const QList<QByteArray> lines =
      file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>();
  return lines.size() > 2 ? lines[2] : QByteArray();
}

TEST(InstanceCheckerTest, SecondCopyFindsTheFirstAndAsksItToComeForwardOrQuit) {
  QTemporaryDir dir;
  CInstanceChecker first("Quadrelle", dir.path());
  EXPECT_EQ(first.CellName(), "CInstanceChecker_MMF_Quadrelle");
  EXPECT_FALSE(first.IsOtherInstanceRunning());
  QWidget window;
  ASSERT_EQ(first.PublishMainWindow(&window), 1);

  CInstanceChecker second("Quadrelle", dir.path());
  EXPECT_TRUE(second.IsOtherInstanceRunning());
  EXPECT_EQ(second.PublishMainWindow(nullptr), 0);

  // The later copy sends from a thread of its own while the first copy's loop runs, as two
  // programs do (a pipe's writer may wait for its reader).
  QSignalSpy activated(&first, &CInstanceChecker::ActivateRequested);
  bool sent = false;
  std::thread later([&] { sent = second.ActivateOtherInstance(QString(), 0); });
  const bool arrived = WaitFor(activated);
  later.join();
  EXPECT_TRUE(sent);
  ASSERT_TRUE(arrived);
  EXPECT_EQ(activated.at(0).at(1).toUInt(), 0u);

  QSignalSpy closed(&first, &CInstanceChecker::CloseRequested);
  later = std::thread([&] { second.CloseOtherInstance(0); });
  const bool closing = WaitFor(closed);
  later.join();
  ASSERT_TRUE(closing);
  EXPECT_EQ(closed.at(0).at(0).toInt(), 0);
}

TEST(InstanceCheckerTest, NoOtherCopyMeansNothingToActivateOrClose) {
  QTemporaryDir dir;
  CInstanceChecker alone("Quadrelle", dir.path());
  EXPECT_FALSE(alone.ActivateOtherInstance(QString(), 0));
  alone.CloseOtherInstance(0);  // must neither block nor fail
  EXPECT_FALSE(alone.IsOtherInstanceRunning());
}

TEST(InstanceCheckerTest, ACrashedCopyDoesNotLockTheOperatorOut) {
  QTemporaryDir dir;
  const QString socket_path = QDir(dir.path()).filePath("CInstanceChecker_MMF_Quadrelle");
  // What a crashed copy leaves: its lock file naming a process that is gone, and (on POSIX) its
  // socket file with nobody listening.
  {
    QFile lock(socket_path + ".lock");
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write("999999\nquadrelle\n" + LockHostName(dir.path()) + "\n");
  }
  ASSERT_TRUE(LeaveStaleLocalSocket(socket_path.toStdString()));
  CInstanceChecker next("Quadrelle", dir.path());
  EXPECT_FALSE(next.IsOtherInstanceRunning());
  QWidget window;
  EXPECT_EQ(next.PublishMainWindow(&window), 1);
  CInstanceChecker later("Quadrelle", dir.path());
  EXPECT_TRUE(later.IsOtherInstanceRunning());
}

}  // namespace
