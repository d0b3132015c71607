#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QSettings>
#include <QTimer>
#include <memory>
#include <string>

#include "MessageBox.h"
#include "Settings.h"
#include "VPCtrlApp.h"
#include "log.h"
#include "maindlg.h"

namespace {

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
      other_->start(QUADRELLE_PROGRAM, arguments);
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
