#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWidget>

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

  QSignalSpy activated(&first, &CInstanceChecker::ActivateRequested);
  EXPECT_TRUE(second.ActivateOtherInstance(QString(), 0));
  ASSERT_TRUE(WaitFor(activated));
  EXPECT_EQ(activated.at(0).at(1).toUInt(), 0u);

  QSignalSpy closed(&first, &CInstanceChecker::CloseRequested);
  second.CloseOtherInstance(0);
  ASSERT_TRUE(WaitFor(closed));
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
    lock.write("999999\nquadrelle\n" + QHostInfo::localHostName().toUtf8() + "\n");
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
