#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTimer>
#include <memory>
#include <string>

#include "BuildPath.h"
#include "MachineFilter.h"
#include "MachineSwitch.h"
#include "MessageBox.h"
#include "Settings.h"
#include "VPCtrlApp.h"
#include "log.h"
#include "maindlg.h"

namespace {

// The real program.
QString Program() {
  return BuildPath(QUADRELLE_PROGRAM);
}

class StartupTest : public ::testing::Test {
 protected:
  StartupTest() {
    TraceResetForTests();
    TraceSetStandardOutput(nullptr);
  }
  ~StartupTest() override {
    fallback_.stop();
    if (other_) other_->disconnect();
    TraceResetForTests();
    // Ending a dialog loop the way the program does leaves the application quitting; one turn
    // of the application's own loop clears that for the next test.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
  }

  // Starts the real program with `arguments` once the dialog loop of this process runs. When it
  // has ended, this copy is given a moment to take what it sent, then its loop is ended with 42.
  void LaunchLater(const QStringList& arguments) {
    fallback_.setSingleShot(true);
    QObject::connect(&fallback_, &QTimer::timeout, [] { EndDialogLoop(42); });
    QTimer::singleShot(300, [this, arguments] {
      other_ = std::make_unique<QProcess>();
      QObject::connect(other_.get(), &QProcess::finished, [this](int code) {
        other_exit_ = code;
        fallback_.start(500);
      });
      QObject::connect(other_.get(), &QProcess::errorOccurred, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) fallback_.start(0);  // fails the test, never hangs it
      });
      other_->start(Program(), arguments);
    });
  }

  QTimer fallback_;
  std::unique_ptr<QProcess> other_;
  int other_exit_ = -1;
};

TEST_F(StartupTest, SwitchesAreFoundAnywhereInTheCommandLine) {
  EXPECT_TRUE(CommandLineHas("-console -close", "-close"));
  EXPECT_TRUE(CommandLineHas("x-closey", "-close"));
  EXPECT_FALSE(CommandLineHas("-console", "-close"));
  CVPCtrlApp app(QStringList{"-console", "-close"});
  EXPECT_EQ(app.CommandLine(), "-console -close");
}

TEST_F(StartupTest, TheMachineSwitchIsTakenOutOfTheCommandLine) {
  const struct {
    QStringList arguments;
    QString machine;
    QStringList rest;
    bool missing;
  } cases[] = {
      {{"-emulator"}, "", {"-emulator"}, false},
      {{"--machine", "42", "-emulator"}, "42", {"-emulator"}, false},
      {{"-console", "--machine=0000ABCD"}, "0000ABCD", {"-console"}, false},
      {{"--machine", " 43 "}, "43", {}, false},
      {{"-close", "--machine"}, "", {"-close"}, true},
      {{"--machine="}, "", {}, true},
      // The machine's name is never read as a switch.
      {{"--machine", "-close"}, "-close", {}, false},
  };
  for (const auto& c : cases) {
    QStringList arguments = c.arguments;
    bool missing = false;
    EXPECT_EQ(TakeMachineArgument(arguments, &missing), c.machine)
        << c.arguments.join(' ').toStdString();
    EXPECT_EQ(arguments, c.rest) << c.arguments.join(' ').toStdString();
    EXPECT_EQ(missing, c.missing) << c.arguments.join(' ').toStdString();
  }
  CVPCtrlApp app(QStringList{"--machine", "x-close"});
  EXPECT_FALSE(app.CloseRequested());
  EXPECT_EQ(app.Machine(), "x-close");
}

// The instance name and the caption carry the machine.
TEST_F(StartupTest, ABoundCopyNamesItselfAfterItsMachine) {
  CMainDlg bound(nullptr, MachineFilter("42"));
  EXPECT_EQ(bound.InstanceChecker().CellName(), "CInstanceChecker_MMF_Quadrelle-42");
  QTimer::singleShot(100, [&bound] {
    EXPECT_TRUE(bound.windowTitle().startsWith("Quadrelle"));
    EXPECT_TRUE(bound.windowTitle().endsWith(" - machine 42")) << bound.windowTitle().toStdString();
    EndDialogLoop(0);
  });
  bound.exec();
}

TEST_F(StartupTest, AMachineSwitchWithoutAMachineEndsAtOnce) {
  for (const QStringList& arguments :
       {QStringList{"--machine"}, QStringList{"--machine", "a/b"}, QStringList{"--machine="}}) {
    CVPCtrlApp app(arguments);
    EXPECT_EQ(app.InitInstance(), 2) << arguments.join(' ').toStdString();
  }
}

TEST_F(StartupTest, ACriticalLineEndsTheProgramThroughTheMessageBox) {
  MessageBoxCapture boxes;
  CVPCtrlApp app(QStringList{});
  QTimer::singleShot(200, [] { TRACE('C', "boom\n"); });
  const int line = __LINE__ - 1;
  EXPECT_EQ(app.InitInstance(), 1);
  ASSERT_EQ(boxes.requests.size(), 1u);
  EXPECT_EQ(boxes.requests[0].caption, "Critical error");
  EXPECT_EQ(boxes.requests[0].text, "A critical error was encountered \nFile :test_startu\nLine :" +
                                        std::to_string(line) + "\nboom\n\n");
  EXPECT_FALSE(boxes.requests[0].owned);
}

TEST_F(StartupTest, ASecondCopyWithCloseEndsTheFirst) {
  CVPCtrlApp app(QStringList{});
  LaunchLater(QStringList{"-close"});
  EXPECT_EQ(app.InitInstance(), 0);  // ended by the other copy, not by the test's fallback
  ASSERT_NE(other_, nullptr);
  if (other_->state() != QProcess::NotRunning) other_->waitForFinished(5000);
  EXPECT_EQ(other_->exitCode(), 0);
  EXPECT_EQ(other_->exitStatus(), QProcess::NormalExit);
}

TEST_F(StartupTest, ASecondCopyWithoutCloseEndsAtOnceAndLeavesTheFirstRunning) {
  CVPCtrlApp app(QStringList{});
  LaunchLater(QStringList{});
  EXPECT_EQ(app.InitInstance(), 42);  // still running until the test ended it
  EXPECT_EQ(other_exit_, 0);
}

// The single running copy counts per machine: a second copy for the same machine ends the first
// with "-close" or hands over to it; a copy for another machine runs beside it.
TEST_F(StartupTest, ASecondCopyForTheSameMachineCloseEndsTheFirst) {
  CVPCtrlApp app(QStringList{"--machine", "42"});
  LaunchLater(QStringList{"--machine", "42", "-close"});
  EXPECT_EQ(app.InitInstance(), 0);
  ASSERT_NE(other_, nullptr);
  if (other_->state() != QProcess::NotRunning) other_->waitForFinished(5000);
  EXPECT_EQ(other_->exitCode(), 0);
  // The bound copy kept its own log.
  QFile log(QDir::current().filePath("Quadrelle-42.txt"));
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  EXPECT_TRUE(log.readAll().contains("--machine 42"));
}

TEST_F(StartupTest, CopiesForOtherMachinesRunSideBySide) {
  const struct {
    QStringList first;
    QStringList second;
    QStringList close_second;
  } cases[] = {
      {{}, {"--machine", "43"}, {"--machine", "43", "-close"}},
      {{"--machine", "42"}, {"--machine", "43"}, {"--machine", "43", "-close"}},
      {{"--machine", "42"}, {}, {"-close"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.second.join(' ').toStdString());
    CVPCtrlApp app(c.first);
    QProcess second;
    bool ran_beside = false;
    int closer_exit = -1;
    // The second copy is looked at 2.2 s after it has started (a start may take a while under
    // load): a copy that gave way to this one would have ended by then.
    QTimer::singleShot(300, [&] {
      second.start(Program(), c.second);
      second.waitForStarted(10000);
      QTimer::singleShot(2200, [&] {
        ran_beside = second.state() == QProcess::Running;
        closer_exit = QProcess::execute(Program(), c.close_second);
        second.waitForFinished(5000);
        EndDialogLoop(42);
      });
    });
    EXPECT_EQ(app.InitInstance(), 42);  // neither copy ended this one
    EXPECT_TRUE(ran_beside);
    EXPECT_EQ(closer_exit, 0);
    EXPECT_EQ(second.state(), QProcess::NotRunning);
    EXPECT_EQ(second.exitCode(), 0);
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
  }
}

// A new operator who goes straight to a job page finds the first-start parameters already
// stored: the program stores them before its dialog runs.
TEST_F(StartupTest, AnEmptyStoreGetsTheFirstStartValuesBeforeTheDialogRuns) {
  {
    QSettings store(kSettingsOrganization, kSettingsApplication);
    store.clear();
    store.sync();
  }
  CVPCtrlApp app(QStringList{});
  int buttonstart = -1;
  int traystart = -1;
  QTimer::singleShot(100, [&] {
    buttonstart = ReadSettingInt("Parameters", "buttonstart", -1);
    traystart = ReadSettingInt("Parameters", "traystart", -1);
    EndDialogLoop(7);
  });
  EXPECT_EQ(app.InitInstance(), 7);
  EXPECT_EQ(buttonstart, 1);
  EXPECT_EQ(traystart, 1);
}

}  // namespace
