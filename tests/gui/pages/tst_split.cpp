#include <QTest>
#include <memory>

#include "FooButton.h"
#include "GuiSupport.h"
#include "MessageBox.h"
#include "Page_Split.h"
#include "RadioListBox.h"
#include "ScriptedHost.h"
#include "Settings.h"
#include "clock.h"
#include "log.h"

using Commands = std::vector<std::string>;

class SplitTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    scratch_ = std::make_unique<ScratchEnvironment>();
    TraceResetForTests();
    TraceSetStandardOutput(nullptr);
    clock_ = std::make_unique<qclock::FakeClock>(10000);
    scoped_clock_ = std::make_unique<qclock::ScopedClock>(clock_.get());
    Page_Split::ResetSharedStateForTests();
    host_ = std::make_unique<ScriptedHost>();
    // The machine acknowledges split commands with a bare status packet: the call's 90.
    host_->Always("SPLIT", 90, "");
    boxes_ = std::make_unique<MessageBoxCapture>();
  }
  void cleanup() {
    boxes_.reset();
    host_.reset();
    scoped_clock_.reset();
    clock_.reset();
    scratch_.reset();
  }

  void showConfiguresTheMachine_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("barcode");
    QTest::addColumn<int>("barcode_code");
    QTest::addColumn<int>("selection");
    QTest::addColumn<QString>("barcode_command");
    QTest::addColumn<bool>("timer");
    QTest::newRow("13, 7 bars") << 0 << 0 << 0 << 0 << "BARCODE 7BAR" << true;
    QTest::newRow("26, 5 bars") << 1 << 1 << 0 << 1 << "BARCODE 5BAR" << true;
    QTest::newRow("stored 7") << 7 << 0 << 0 << 0 << "BARCODE 7BAR" << true;
    QTest::newRow("stored -1") << -1 << 0 << 0 << 0 << "BARCODE 7BAR" << true;
    // Refused, the page stays usable: the next start sends the barcode again.
    QTest::newRow("barcode refused") << 1 << 0 << 91 << 1 << "BARCODE 7BAR" << true;
  }
  void showConfiguresTheMachine() {
    QFETCH(int, stored);
    QFETCH(int, barcode);
    QFETCH(int, barcode_code);
    QFETCH(int, selection);
    QFETCH(QString, barcode_command);
    QFETCH(bool, timer);
    TraceCapture trace;
    WriteSettingInt("Split", "SplitCount", stored);
    WriteSettingInt("Parameters", "CardBarcode", barcode);
    host_->Queue("BUTTONSTART OFF", 20, "unknown command");
    host_->Queue(barcode_command.toStdString(), barcode_code, "");
    Page_Split page("Split", host_.get());
    page.show();
    QVERIFY(trace.Contains('D', "Split menu init\n"));
    QCOMPARE(host_->TakeCommands(),
             (Commands{"BUTTONSTART OFF", "TRAYSTART OFF", barcode_command.toStdString()}));
    std::vector<std::string> warnings{"Error sending command\n"};
    if (barcode_code != 0)
      warnings.push_back("Setting not taken: " + barcode_command.toStdString() + "\n");
    QCOMPARE(trace.Texts('W'), warnings);
    QCOMPARE(page.SplitCount()->GetCurSel(), selection);
    QCOMPARE(page.TimerRunning(), timer);
    QCOMPARE(page.SplitCount()->GetText(0), std::string("Split at 13"));
    QCOMPARE(page.SplitCount()->GetText(1), std::string("Split at 26"));
    QVERIFY(!page.ContinueButton()->isEnabled());
    for (int pocket = 1; pocket <= 4; ++pocket) QVERIFY(!page.PocketMark(pocket)->isEnabled());
    page.SplitCount()->SetCurSel(1 - selection);
    page.hide();
    QVERIFY(!page.TimerRunning());
    QCOMPARE(ReadSettingInt("Split", "SplitCount", 9), 1 - selection);
  }

  // Two stops, for pocket 2 and then pocket 3: continued once by the page's button and once by
  // the machine's button, then the job ends.
  void removalStopsContinuedByPageAndMachine() {
    TraceCapture trace;
    WriteSettingInt("Parameters", "buttonstart", 1);
    WriteSettingInt("Split", "SplitCount", 1);
    host_->Always("BUTSTAT", 41, "NO");
    Page_Split page("Split", host_.get());
    page.show();
    host_->TakeCommands();

    page.StartButton()->click();
    page.OnTimer();
    QCOMPARE(host_->TakeCommands(), (Commands{"BUTSTAT", "SPLIT 26"}));
    QCOMPARE(page.State(), int(Page_Split::kSplitting));
    QCOMPARE(host_->LastStatus(), std::string("Starting split"));
    QCOMPARE(page.StartButton()->text(), QString("Restart split"));
    QVERIFY(!page.StartButton()->isEnabled());
    QVERIFY(!page.ContinueButton()->isEnabled());

    host_->Queue("STAT", 1, "busy");
    host_->Queue("STAT", 0, "00 Remove 26 cards from 2");
    page.OnTimer();
    QCOMPARE(host_->LastStatus(), std::string("busy"));
    page.OnTimer();  // 20 ms later: the poll is not due
    clock_->Advance(99);
    page.OnTimer();
    QCOMPARE(host_->TakeCommands(), Commands{"STAT"});
    clock_->Advance(1);
    page.OnTimer();
    QCOMPARE(host_->TakeCommands(), Commands{"STAT"});
    QCOMPARE(page.State(), int(Page_Split::kWaitingForRemoval));
    QVERIFY(trace.Contains('I', "Pocket 2\n"));
    QVERIFY(trace.Contains('D', "response was :00 Remove 26 cards from 2\n"));
    QCOMPARE(Marks(page), (QStringList{"", "", "REMOVE", ""}));
    QCOMPARE(host_->LastStatus(), std::string("Remove cards"));
    QVERIFY(page.StartButton()->isEnabled());
    QVERIFY(page.ContinueButton()->isEnabled());

    page.ContinueButton()->click();
    page.OnTimer();
    QCOMPARE(host_->TakeCommands(), (Commands{"BUTSTAT", "SPLIT CONTINUE"}));
    QCOMPARE(page.State(), int(Page_Split::kSplitting));
    QCOMPARE(Marks(page), (QStringList{"", "", "", ""}));

    host_->Queue("STAT", 0, "00 Remove 26 cards from 3");
    clock_->Advance(100);
    page.OnTimer();
    QCOMPARE(Marks(page), (QStringList{"", "REMOVE", "", ""}));

    host_->Queue("BUTSTAT", 40, "YES");
    page.OnTimer();
    QVERIFY(trace.Contains('I', "Continuing split due to button\n"));
    QCOMPARE(host_->TakeCommands(), (Commands{"STAT", "BUTSTAT", "SPLIT CONTINUE"}));

    host_->Queue("STAT", 0, "Split done");
    clock_->Advance(100);
    page.OnTimer();
    QCOMPARE(page.State(), int(Page_Split::kIdle));
    QCOMPARE(Marks(page), (QStringList{"REMOVE", "REMOVE", "REMOVE", "REMOVE"}));
    QCOMPARE(host_->LastStatus(), std::string("Done splitting"));
    QCOMPARE(page.StartButton()->text(), QString("Start split"));
    QVERIFY(page.StartButton()->isEnabled());
    QVERIFY(!page.ContinueButton()->isEnabled());
    QCOMPARE(boxes_->requests.size(), size_t{1});
    QCOMPARE(boxes_->requests[0].text, std::string("Done splitting"));
    QCOMPARE(boxes_->requests[0].caption, std::string("Congratulations"));

    // In Idle the machine's button starts a new job with the selected count.
    host_->TakeCommands();
    host_->Queue("BUTSTAT", 40, "YES");
    page.OnTimer();
    QVERIFY(trace.Contains('I', "Starting split due to button\n"));
    QCOMPARE(host_->TakeCommands(), (Commands{"BUTSTAT", "SPLIT 26"}));
  }

  void refusedSplitCommands_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("answered 0") << 0 << "OK";
    QTest::newRow("busy") << 1 << "OK";
    QTest::newRow("no machine") << 91 << "OK";
    // The exchange failed (time-out, unplugged): also 90, but no acknowledgement.
    QTest::newRow("exchange failed") << 90 << "Test return";
    QTest::newRow("unparsable text") << 90 << "garbled";
  }
  void refusedSplitCommands() {
    QFETCH(int, code);
    QFETCH(QString, text);
    Page_Split page("Split", host_.get());
    page.show();
    host_->Queue("SPLIT 13", code, text.toStdString());
    page.OnStartSplit();
    page.OnTimer();
    QCOMPARE(page.State(), int(Page_Split::kIdle));
    QCOMPARE(boxes_->requests.size(), size_t{1});
    QCOMPARE(boxes_->requests[0].text, std::string("Error sending split command"));
    QCOMPARE(boxes_->requests[0].caption, std::string("Quadrelle"));

    // A job stopped for removal whose continue is refused goes back to Idle.
    page.OnStartSplit();
    page.OnTimer();
    host_->Queue("STAT", 0, "00 Remove 13 cards from 1");
    clock_->Advance(100);
    page.OnTimer();
    QCOMPARE(page.State(), int(Page_Split::kWaitingForRemoval));
    host_->Queue("SPLIT CONTINUE", code, text.toStdString());
    page.OnContinue();
    page.OnTimer();
    QCOMPARE(page.State(), int(Page_Split::kIdle));
    QCOMPARE(boxes_->requests.back().text, std::string("Error sending split continue command"));
  }

  void failuresAndLookAlikes() {
    Page_Split page("Split", host_.get());
    page.show();
    page.OnStartSplit();
    page.OnTimer();
    // No "00 " before "Remove": the job is done, not stopped.
    host_->Queue("STAT", 0, "Remove 13 cards from 2");
    page.OnTimer();
    QCOMPARE(page.State(), int(Page_Split::kIdle));
    QCOMPARE(boxes_->requests.back().text, std::string("Done splitting"));

    page.OnStartSplit();
    page.OnTimer();
    host_->Queue("STAT", 25, "jam at card 13");
    clock_->Advance(100);
    page.OnTimer();
    QCOMPARE(page.State(), int(Page_Split::kIdle));
    QCOMPARE(host_->LastStatus(), std::string("jam"));
    QCOMPARE(boxes_->requests.back().text, std::string("split failed"));
    QCOMPARE(boxes_->requests.back().caption, std::string("Quadrelle"));
    QCOMPARE(page.StartButton()->text(), QString("Start split"));
    QVERIFY(page.StartButton()->isEnabled());
    QVERIFY(!page.ContinueButton()->isEnabled());

    // A code without words leaves the status line empty.
    page.OnStartSplit();
    page.OnTimer();
    host_->Queue("STAT", 7, "something");
    clock_->Advance(100);
    page.OnTimer();
    QCOMPARE(host_->LastStatus(), std::string(""));
  }

  void noSelectionRefusesTheStart() {
    TraceCapture trace;
    Page_Split page("Split", host_.get());
    page.show();
    page.SplitCount()->SetCurSel(-1);
    page.OnStartSplit();
    page.OnTimer();
    QVERIFY(trace.Contains('W', "Illigal split value\n"));
    QCOMPARE(host_->Count("SPLIT 13") + host_->Count("SPLIT 26"), 0);
    page.SplitCount()->SetCurSel(0);
    page.OnTimer();  // the request was used up
    QCOMPARE(host_->Count("SPLIT 13"), 0);
    page.hide();
    QCOMPARE(ReadSettingInt("Split", "SplitCount", 9), 0);
  }

  void trayDebounceAndTriggerErrors() {
    TraceCapture trace;
    WriteSettingInt("Parameters", "traystart", 1);
    Page_Split page("Split", host_.get());
    page.show();
    host_->TakeCommands();
    host_->Queue("TRAYSTAT", 40, "YES");
    page.OnTimer();
    QVERIFY(trace.Contains('I', "Starting split due to tray\n"));
    QCOMPARE(host_->TakeCommands(), (Commands{"TRAYSTAT", "SPLIT 13"}));
    host_->Queue("STAT", 0, "00 Remove 13 cards from 4");
    page.OnTimer();
    QCOMPARE(page.State(), int(Page_Split::kWaitingForRemoval));
    // The tray is still full: four "off" answers are not enough for a new signal.
    for (int i = 0; i < 4; ++i) host_->Queue("TRAYSTAT", 41, "NO");
    host_->Queue("TRAYSTAT", 40, "YES");
    for (int i = 0; i < 5; ++i) page.OnTimer();
    QCOMPARE(host_->Count("SPLIT CONTINUE"), 0);
    for (int i = 0; i < 5; ++i) host_->Queue("TRAYSTAT", 41, "NO");
    host_->Queue("TRAYSTAT", 40, "YES");
    for (int i = 0; i < 6; ++i) page.OnTimer();
    QCOMPARE(host_->Count("SPLIT CONTINUE"), 1);
    QVERIFY(trace.Contains('I', "Continuing split due to tray\n"));

    // An error answer ends the tick; a pending request waits for the next one.
    clock_->Advance(100);
    host_->Queue("STAT", 0, "00 Remove 13 cards from 4");
    page.OnTimer();
    host_->Queue("TRAYSTAT", 90, "");
    page.OnContinue();
    page.OnTimer();
    QVERIFY(trace.Contains('W', "Error sending traystat\n"));
    QCOMPARE(host_->Count("SPLIT CONTINUE"), 1);
    host_->Queue("TRAYSTAT", 41, "NO");
    page.OnTimer();
    QCOMPARE(host_->Count("SPLIT CONTINUE"), 2);
  }

  // Shown again while the machine splits, the page sends nothing but STAT and says it waits; a
  // failed exchange is no failure of the job, which goes on in the machine.
  void hiddenWhileSplittingResumes() {
    MessageBoxCapture boxes;
    Page_Split page("Split", host_.get());
    page.show();
    page.OnStartSplit();
    page.OnTimer();
    page.hide();
    QVERIFY(!page.TimerRunning());
    host_->TakeCommands();
    page.show();
    QVERIFY(host_->TakeCommands().empty());
    QCOMPARE(page.State(), int(Page_Split::kSplitting));
    QCOMPARE(host_->LastStatus(), std::string("The machine is still splitting"));
    for (const int code : {1, 90, 1, 0}) {
      host_->Queue("STAT", code, code == 0 ? "Split done" : "");
      clock_->Advance(100);
      page.OnTimer();
      QCOMPARE(host_->TakeCommands(), Commands{"STAT"});
      QCOMPARE(page.State(), int(code == 0 ? Page_Split::kIdle : Page_Split::kSplitting));
    }
    QCOMPARE(boxes.requests.size(), size_t{1});
    QCOMPARE(boxes.requests[0].text, std::string("Done splitting"));
  }

  // The timer keeps firing while a tick waits in a message box; those ticks do nothing.
  void nestedTicksAreTurnedAway() {
    TraceCapture trace;
    Page_Split page("Split", host_.get());
    page.show();
    size_t sent_inside = 0;
    boxes_.reset();
    MessageBoxResponder previous = SetMessageBoxResponder([&](const MessageBoxRequest&) {
      const size_t before = host_->commands.size();
      clock_->Advance(500);
      page.OnTimer();
      sent_inside = host_->commands.size() - before;
      return BoxAnswer::Ok;
    });
    host_->Queue("SPLIT 13", 0, "OK");
    page.OnStartSplit();
    page.OnTimer();
    SetMessageBoxResponder(previous);
    QCOMPARE(sent_inside, size_t{0});
    QCOMPARE(trace.Texts('T').size(), size_t{1});  // one "Split menu Timer", nothing nested
  }

 private:
  static QStringList Marks(const Page_Split& page) {
    QStringList marks;  // left to right: pockets 4, 3, 2, 1
    for (int pocket = 4; pocket >= 1; --pocket) marks << page.PocketMark(pocket)->text();
    return marks;
  }

  std::unique_ptr<ScratchEnvironment> scratch_;
  std::unique_ptr<qclock::FakeClock> clock_;
  std::unique_ptr<qclock::ScopedClock> scoped_clock_;
  std::unique_ptr<ScriptedHost> host_;
  std::unique_ptr<MessageBoxCapture> boxes_;
};

QTEST_MAIN(SplitTest)
#include "tst_split.moc"
