#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <algorithm>
#include <memory>

#include "ColorStatic.h"
#include "DealViewer.h"
#include "Fingerprint.h"
#include "FocusEditCtrl.h"
#include "FooButton.h"
#include "GuiSupport.h"
#include "JobCommon.h"
#include "MessageBox.h"
#include "PageTestSupport.h"
#include "Page_DealMenu.h"
#include "ScriptedHost.h"
#include "Settings.h"
#include "clock.h"
#include "log.h"

using Commands = std::vector<std::string>;

namespace {

// What one start sent and showed.
struct Send {
  int deal_index;
  std::string deal_text;
  std::string copy_text;
};

}  // namespace

class DealMenuTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    scratch_ = std::make_unique<ScratchEnvironment>();
    TraceResetForTests();
    TraceSetStandardOutput(nullptr);
    clock_ = std::make_unique<qclock::FakeClock>(10000);
    scoped_clock_ = std::make_unique<qclock::ScopedClock>(clock_.get());
    Page_DealMenu::ResetSharedStateForTests();
    host_ = std::make_unique<ScriptedHost>();
    boxes_ = std::make_unique<MessageBoxCapture>();
    path_ = StoreDealMenuRun(scratch_->Path());  // deals 5..7 twice; deal 5 one suit a hand
    QVERIFY(!path_.empty());
    WriteSettingInt("Parameters", "justdealtvisible", 1);
  }
  void cleanup() {
    page_.reset();
    boxes_.reset();
    host_.reset();
    scoped_clock_.reset();
    clock_.reset();
    scratch_.reset();
  }

  // Each sort order's pocket text is the jobs' concern; here: the page sends the one chosen.
  void sortCommandForEachSortOrder_data() {
    QTest::addColumn<int>("sort_order");
    QTest::addColumn<QString>("suit_pockets");  // spades, hearts, diamonds, clubs
    QTest::newRow("NESW") << 0 << "4321";
    QTest::newRow("NEWS") << 1 << "4312";
    QTest::newRow("SWEN") << 2 << "1243";
  }
  void sortCommandForEachSortOrder() {
    QFETCH(int, sort_order);
    QFETCH(QString, suit_pockets);
    // Deal 5: North holds the spades, East the hearts, South the diamonds, West the clubs.
    std::string expected;
    for (QChar pocket : suit_pockets) expected += std::string(13, pocket.toLatin1());
    WriteSettingInt("Parameters", "SortOrder", sort_order);
    WriteSettingInt("CardDistribution", "StartDeal", 5);
    ShowPage();
    page_->OnStartNext();
    page_->OnTimer();
    QCOMPARE(host_->commands.back(), "SORT " + expected);
  }

  void showConfiguresTheMachine_data() {
    QTest::addColumn<int>("barcode");
    QTest::addColumn<int>("deal_order");
    QTest::addColumn<int>("sort_order");
    QTest::addColumn<int>("stop");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("tray");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("labels");
    QTest::addColumn<QString>("stop_command");
    QTest::addColumn<QString>("barcode_command");
    QTest::newRow("all off")
        << 0 << 0 << 0 << 0 << 0 << 0
        << "7BAR\nD1,D1,D1\nNESW\nNO stopcard\nButtonStart OFF\nTrayStart OFF\n"
        << "NESW"
        << "STOPCARD OFF"
        << "BARCODE 7BAR";
    QTest::newRow("all on") << 1 << 1 << 1 << 1 << 1 << 1
                            << "5BAR\nD1,D2,D3\nNEWS\nStopcard\nButtonStart ON\nTrayStart ON\n"
                            << "NEWS"
                            << "STOPCARD ON"
                            << "BARCODE 5BAR";
    QTest::newRow("SWEN") << 0 << 2 << 2 << 0 << 0 << 1
                          << "7BAR\nD1,D2,D3\nSWEN\nNO stopcard\nButtonStart OFF\nTrayStart ON\n"
                          << "SWEN"
                          << "STOPCARD OFF"
                          << "BARCODE 7BAR";
    QTest::newRow("unknown sort order")
        << 0 << 0 << 7 << 0 << 0 << 0
        << "7BAR\nD1,D1,D1\nNO stopcard\nButtonStart OFF\nTrayStart OFF\n"
        << "----"
        << "STOPCARD OFF"
        << "BARCODE 7BAR";
  }
  void showConfiguresTheMachine() {
    QFETCH(int, barcode);
    QFETCH(int, deal_order);
    QFETCH(int, sort_order);
    QFETCH(int, stop);
    QFETCH(int, button);
    QFETCH(int, tray);
    QFETCH(QString, summary);
    QFETCH(QString, labels);
    QFETCH(QString, stop_command);
    QFETCH(QString, barcode_command);
    TraceCapture trace;
    WriteSettingInt("Parameters", "CardBarcode", barcode);
    WriteSettingInt("Parameters", "DealOrder", deal_order);
    WriteSettingInt("Parameters", "SortOrder", sort_order);
    WriteSettingInt("Parameters", "stopcard", stop);
    WriteSettingInt("Parameters", "buttonstart", button);
    WriteSettingInt("Parameters", "traystart", tray);
    host_->Queue("TRAYSTART OFF", 91, "");
    ShowPage();
    QCOMPARE(host_->TakeCommands(),
             (Commands{"BUTTONSTART OFF", "TRAYSTART OFF", stop_command.toStdString(),
                       barcode_command.toStdString()}));
    // The settings sent, then the loaded set's fingerprint.
    QCOMPARE(page_->Summary()->toPlainText(),
             summary + "Fingerprint " + QString::fromStdString(DealSetFingerprint(page_->Deals())) +
                 "\n");
    QString shown;
    for (int column = 0; column < 4; ++column) {
      const QString label = page_->ColumnLabel(column)->text();
      shown += label == "--" ? "-" : label;
    }
    QCOMPARE(shown, labels);
    QVERIFY(trace.Contains('W', "Error sending command\n"));
    QCOMPARE(trace.Contains('W', "Switch default\n"), sort_order > 2);
    QVERIFY(page_->TimerRunning());
    QCOMPARE(page_->FileName()->text(), QString::fromStdString(path_));
    QCOMPARE(page_->InfoLine()->text(), QString("A total of 6 deal(s)"));
    QCOMPARE(page_->Deals().size(), size_t{8});
    QVERIFY(trace.Contains('D', "XXXX Page_DealMenu 1\n"));

    if (sort_order > 2) {
      // An unknown sort order never reaches the machine.
      page_->OnStartNext();
      page_->OnTimer();
      for (const std::string& command : host_->commands) QVERIFY(command.rfind("SORT", 0) != 0);
      QCOMPARE(boxes_->requests.size(), size_t{1});
      QCOMPARE(boxes_->requests[0].caption, std::string("Error"));
      QVERIFY(boxes_->requests[0].text.find("Sort order 7") != std::string::npos);
      QCOMPARE(page_->State(), Page_DealMenu::RunState::Idle);
    }
  }

  // Settings the machine did not take on show leave the page usable: the status line says so,
  // and the next start sends them again first; a start they still fail deals nothing.
  void aRefusedSettingIsRetriedAtTheNextStart_data() {
    QTest::addColumn<QString>("refused");
    QTest::newRow("stop card") << "STOPCARD OFF";
    QTest::newRow("barcode") << "BARCODE 7BAR";
  }
  void aRefusedSettingIsRetriedAtTheNextStart() {
    QFETCH(QString, refused);
    const std::string command = refused.toStdString();
    host_->Queue(command, 91, "");
    host_->Queue(command, 25, "");
    ShowPage();
    QVERIFY(page_->TimerRunning());
    QCOMPARE(page_->Deals().size(), size_t{8});
    QVERIFY(page_->StartNextButton()->isEnabled());
    QCOMPARE(host_->LastStatus(), "The machine did not take \"" + command +
                                      "\" (No device or device disconneted): press Start to try "
                                      "again");
    host_->TakeCommands();
    page_->OnStartNext();
    page_->OnTimer();
    QCOMPARE(host_->LastStatus(),
             "The machine did not take \"" + command + "\" (jam): press Start to try again");
    for (const std::string& sent : host_->TakeCommands()) QVERIFY(sent.rfind("SORT", 0) != 0);
    page_->OnTimer();  // the start was dropped, not kept for the next tick
    QCOMPARE(Sorts(), 0);
    page_->OnStartNext();
    page_->OnTimer();
    const std::vector<std::string> sent = host_->TakeCommands();
    QVERIFY(std::find(sent.begin(), sent.end(), command) != sent.end());
    QVERIFY(sent.back().rfind("SORT ", 0) == 0);
  }

  // A run left part-way (the machine went away, another page, a failed sort) goes on where it
  // stood when the deal menu is shown again with the same file, range, copies and orders;
  // anything changed, or a reset, starts it at its beginning.
  void aRunLeftPartWayResumes_data() {
    QTest::addColumn<QString>("between");
    QTest::addColumn<int>("counter");
    QTest::newRow("nothing changed") << "" << 3;
    QTest::newRow("copies changed") << "copies" << 1;
    QTest::newRow("deal order changed") << "order" << 1;
    QTest::newRow("range changed") << "range" << 1;
    QTest::newRow("reset") << "reset" << 1;
  }
  void aRunLeftPartWayResumes() {
    QFETCH(QString, between);
    QFETCH(int, counter);
    ShowPage();
    DealOnce();
    DealOnce();
    QCOMPARE(page_->DealCounter(), 3);
    if (between == "reset") {
      page_->OnReset();
    }
    page_->hide();
    if (between == "copies") WriteSettingString("DealMenu", "NumberOfCopies", "3");
    if (between == "order") WriteSettingInt("Parameters", "DealOrder", 1);
    if (between == "range") WriteSettingInt("CardDistribution", "NumberOfDeal", 2);
    page_->show();
    QCOMPARE(page_->DealCounter(), counter);
    if (counter > 1) {
      QCOMPARE(host_->LastStatus(), std::string("Run resumed at Deal #2/3, Copy #1/2"));
      QCOMPARE(page_->StartNextButton()->text(), QString("Next"));
    }
  }

  // A deck still in the machine when the page is shown again (another page was opened, the
  // cable came loose) is waited for: STAT first and nothing else, Start disabled; its outcome
  // counts once, as if the page had stayed open, and then the show completes. After a failed
  // exchange the machine's "done" counts only on the operator's word.
  void aDeckInTheMachineIsWaitedFor_data() {
    QTest::addColumn<bool>("hide");
    QTest::addColumn<QString>("stats");  // the replies to STAT, one poll each
    QTest::addColumn<int>("answer");     // to the question: 1 yes, 0 no, -1 not asked
    QTest::addColumn<int>("counter");
    QTest::addColumn<QString>("box");  // the last box, empty for none
    QTest::newRow("shown again, done") << true << "1,0" << -1 << 4 << "";
    QTest::newRow("shown again, jam") << true << "1,25" << -1 << 3 << "Sort failed";
    QTest::newRow("glitch, shown again, counted") << true << "90,0" << 1 << 4 << "";
    QTest::newRow("glitch, shown again, dealt again") << true << "91,1,0" << 0 << 3 << "";
    QTest::newRow("glitch while shown, counted") << false << "90,1,0" << 1 << 4 << "";
    QTest::newRow("busy past the limit") << false << "1,1" << -1 << 3 << "Sort failed";
  }
  void aDeckInTheMachineIsWaitedFor() {
    QFETCH(bool, hide);
    QFETCH(QString, stats);
    QFETCH(int, answer);
    QFETCH(int, counter);
    QFETCH(QString, box);
    ShowPage();
    DealOnce();
    DealOnce();
    page_->OnStartNext();
    page_->OnTimer();
    QCOMPARE(page_->State(), Page_DealMenu::RunState::Sorting);
    const QStringList codes = stats.split(',');
    if (answer >= 0) {
      // The link fails first, while the page is still open.
      host_->Queue("STAT", codes[0].toInt(), "");
      clock_->Advance(100);
      page_->OnTimer();
      QCOMPARE(page_->State(), Page_DealMenu::RunState::Sorting);
      QVERIFY(boxes_->requests.empty());
    }
    if (hide) {
      page_->hide();
      host_->TakeCommands();
      page_->show();
      QVERIFY(page_->WaitingForMachine());
      QVERIFY(host_->TakeCommands().empty());
      QVERIFY(!page_->StartNextButton()->isEnabled());
      QCOMPARE(host_->LastStatus(),
               std::string("The machine is still sorting Deal #2/3, Copy #1/2"));
    }
    boxes_->answers.push_back(answer == 1 ? BoxAnswer::Yes : BoxAnswer::No);
    host_->TakeCommands();
    for (int i = answer >= 0 ? 1 : 0; i < codes.size(); ++i) {
      host_->Queue("STAT", codes[i].toInt(), codes[i] == "1" ? "busy" : "");
      clock_->Advance(
          i + 1 == codes.size() && box == "Sort failed" && codes[i] == "1" ? kSortLimitMs : 100);
      page_->OnTimer();
      if (i + 1 < codes.size()) {
        for (const std::string& sent : host_->TakeCommands()) QCOMPARE(sent, std::string("STAT"));
      }
    }
    QCOMPARE(page_->State(), Page_DealMenu::RunState::Idle);
    QCOMPARE(page_->DealCounter(), counter);
    QVERIFY(!page_->WaitingForMachine());
    QVERIFY(page_->TimerRunning());
    const bool asked = !boxes_->requests.empty() && boxes_->requests.front().text.rfind(
                                                        "The cable came loose while Deal #2/3, "
                                                        "Copy #1/2 was in the machine.",
                                                        0) == 0;
    QCOMPARE(asked, answer >= 0);
    QCOMPARE(
        boxes_->requests.empty() ? QString() : QString::fromStdString(boxes_->requests.back().text),
        asked ? QString::fromStdString(boxes_->requests.front().text) : box);
    if (hide) {
      // The show completed once the machine was free: it configured the machine after STAT.
      const std::vector<std::string> sent = host_->TakeCommands();
      QVERIFY(std::find(sent.begin(), sent.end(), "BUTTONSTART OFF") != sent.end());
    }
    if (box == "Sort failed" && !hide) {
      QCOMPARE(host_->LastStatus(),
               std::string("The machine did not finish Deal #2/3, Copy #1/2 within 60 s"));
    }
  }

  // While the operator answers a reset or a step, no start of the machine's is taken; a reset
  // or step is refused while a deal is being sorted.
  void noStartUnderAnOpenBoxAndNoResetWhileSorting() {
    WriteSettingInt("Parameters", "buttonstart", 1);
    host_->Always("BUTSTAT", 41, "NO");
    ShowPage();
    DealOnce();
    host_->Queue("BUTSTAT", 40, "YES");
    const MessageBoxResponder previous = SetMessageBoxResponder([this](const MessageBoxRequest&) {
      clock_->Advance(20);
      page_->OnTimer();
      return BoxAnswer::Ok;
    });
    page_->OnReset();
    SetMessageBoxResponder(previous);
    QCOMPARE(Sorts(), 1);
    QCOMPARE(page_->DealCounter(), 1);
    page_->OnStartNext();
    page_->OnTimer();
    QCOMPARE(page_->State(), Page_DealMenu::RunState::Sorting);
    boxes_->requests.clear();
    page_->OnReset();
    page_->OnNextDeal();
    QVERIFY(boxes_->requests.empty());
    QCOMPARE(page_->DealCounter(), 1);
  }

  // StartDeal 5, three deals, two copies: the sends and their labels for each deal order.
  void runTable_data() {
    QTest::addColumn<int>("deal_order");
    QTest::addColumn<QList<int>>("indexes");
    QTest::addColumn<QStringList>("labels");
    QTest::newRow("D1,D1,D1") << 0 << QList<int>{4, 4, 5, 5, 6, 6}
                              << QStringList{"1/3 1/2", "1/3 2/2", "2/3 1/2",
                                             "2/3 2/2", "3/3 1/2", "3/3 2/2"};
    QTest::newRow("D1,D2,D3") << 1 << QList<int>{4, 5, 6, 4, 5, 6}
                              << QStringList{"1/3 1/2", "2/3 1/2", "3/3 1/2",
                                             "1/3 2/2", "2/3 2/2", "3/3 2/2"};
  }
  void runTable() {
    QFETCH(int, deal_order);
    QFETCH(QList<int>, indexes);
    QFETCH(QStringList, labels);
    TraceCapture trace;
    WriteSettingInt("Parameters", "DealOrder", deal_order);
    ShowPage();
    QCOMPARE(page_->InfoLine()->text(), QString("A total of 6 deal(s)"));
    QCOMPARE(InfoLine(1108), QString("Offset 5"));
    QCOMPARE(InfoLine(CDealViewer::kInfoTopId), QString("Next deal"));
    QCOMPARE(page_->StartNextButton()->text(), QString("Start"));
    QVERIFY(!page_->ResetButton()->isEnabled());
    for (int k = 0; k < 6; ++k) {
      const QStringList label = labels[k].split(' ');
      QCOMPARE(InfoLine(1105), "Deal #" + label[0]);
      QCOMPARE(InfoLine(1107), "Copy #" + label[1]);
      const Send send = DealOnce();
      QCOMPARE(send.deal_index, indexes[k]);
      QCOMPARE(QString::fromStdString(send.deal_text), "Deal #" + label[0]);
      QCOMPARE(QString::fromStdString(send.copy_text), "Copy #" + label[1]);
      if (k < 5) {
        QCOMPARE(page_->DealCounter(), k + 2);
        QCOMPARE(host_->LastStatus(), std::string("Done sorting this deal"));
        QCOMPARE(page_->StartNextButton()->text(), QString("Next"));
        QVERIFY(page_->ResetButton()->isEnabled());
        QVERIFY(boxes_->requests.empty());
      }
    }
    QCOMPARE(page_->DealCounter(), 1);
    QCOMPARE(host_->LastStatus(), std::string("Done sorting all deals"));
    QCOMPARE(page_->StartNextButton()->text(), QString("Start"));
    QVERIFY(!page_->ResetButton()->isEnabled());
    QCOMPARE(boxes_->requests.size(), size_t{1});
    QCOMPARE(boxes_->requests[0].text, std::string("Done dealing deals"));
    QCOMPARE(boxes_->requests[0].caption, std::string("Congratulations"));
    QCOMPARE(trace.Contains('D', "D1,D1...\n"), deal_order == 0);
    QVERIFY(trace.Contains('I', "Starting sort\n"));
    QVERIFY(trace.Contains('D', "SORTING NESW\n"));
    QVERIFY(trace.Contains('D', "Sending deal 4 to machine\n"));
  }

  void sortingControlsAndPollPace() {
    ShowPage();
    const int before = host_->menu_not_busy_calls;
    page_->OnStartNext();
    page_->OnTimer();
    QCOMPARE(page_->State(), Page_DealMenu::RunState::Sorting);
    QCOMPARE(host_->LastStatus(), std::string("Starting sort"));
    QVERIFY(!page_->StartNextButton()->isEnabled());
    QVERIFY(!page_->ResetButton()->isEnabled());
    QVERIFY(!page_->CopiesField()->isEnabled());
    QVERIFY(!page_->Viewer()->Spin()->isEnabled());
    QVERIFY(host_->menu_not_busy_calls > before);
    host_->TakeCommands();
    host_->Always("STAT", 1, "busy");
    // Ticks every 20 ms for one second: ten polls at most, one per 100 ms.
    for (int i = 0; i < 50; ++i) {
      page_->OnTimer();
      clock_->Advance(20);
    }
    QCOMPARE(host_->Count("STAT"), 10);
    QCOMPARE(host_->LastStatus(), std::string("busy (busy)"));
    QCOMPARE(page_->State(), Page_DealMenu::RunState::Sorting);
  }

  void pollSurvivesTheTickCountWrapping() {
    clock_->Set(0xFFFFFF00u);
    ShowPage();
    page_->OnStartNext();
    page_->OnTimer();
    host_->Always("STAT", 1, "busy");
    host_->TakeCommands();
    for (int i = 0; i < 50; ++i) {
      clock_->Advance(20);
      page_->OnTimer();
    }
    QCOMPARE(host_->Count("STAT"), 10);
  }

  void failuresDuringSorting_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("status");
    QTest::newRow("card read twice") << 14 << "HD already read in pocket 3"
                                     << "two or more identical card detected (Queen of Hearts)";
    QTest::newRow("jam") << 25 << "jam at card 13"
                         << "jam (jam at card 13)";
    QTest::newRow("code without words") << 7 << "strange"
                                        << " (strange)";
  }
  void failuresDuringSorting() {
    QFETCH(int, code);
    QFETCH(QString, reply);
    QFETCH(QString, status);
    TraceCapture trace;
    WriteSettingInt("Parameters", "DealOrder", 1);
    ShowPage();
    DealOnce();
    page_->OnStartNext();
    page_->OnTimer();
    const std::string first_sort = host_->commands.back();
    host_->Queue("STAT", code, reply.toStdString());
    clock_->Advance(100);
    page_->OnTimer();
    QCOMPARE(host_->LastStatus(), status.toStdString());
    QVERIFY(trace.Contains('D', reply.toStdString() + "\n"));
    QCOMPARE(page_->State(), Page_DealMenu::RunState::Idle);
    QCOMPARE(boxes_->requests.size(), size_t{1});
    QCOMPARE(boxes_->requests[0].text, std::string("Sort failed"));
    QCOMPARE(boxes_->requests[0].caption, std::string("Quadrelle"));
    // The same copy of the same deal goes again.
    QCOMPARE(page_->DealCounter(), 2);
    QCOMPARE(page_->StartNextButton()->text(), QString("Next"));
    page_->OnStartNext();
    page_->OnTimer();
    QCOMPARE(host_->commands.back(), first_sort);
    QCOMPARE(page_->CopyText()->text(), QString("Copy #1/2"));
    QCOMPARE(page_->DealText()->text(), QString("Deal #2/3"));
  }

  void sortRefused() {
    ShowPage();
    DealOnce();
    host_->Queue("SORT", 1, "busy");
    page_->OnStartNext();
    page_->OnTimer();
    QCOMPARE(page_->State(), Page_DealMenu::RunState::Idle);
    QCOMPARE(boxes_->requests.back().text, std::string("Error sending sort command"));
    QCOMPARE(boxes_->requests.back().caption, std::string("Quadrelle"));
    // The run stays at the refused deal: the next start sends the same copy of it again.
    const std::string refused = host_->commands.back();
    QCOMPARE(page_->DealCounter(), 2);
    QCOMPARE(page_->StartNextButton()->text(), QString("Next"));
    page_->OnStartNext();
    page_->OnTimer();
    QCOMPARE(host_->commands.back(), refused);
    QCOMPARE(page_->State(), Page_DealMenu::RunState::Sorting);
  }

  void justDealtDisplay_data() {
    QTest::addColumn<int>("sort_order");
    QTest::addColumn<int>("visible");
    QTest::newRow("NESW") << 0 << 1;
    QTest::newRow("NEWS") << 1 << 1;
    QTest::newRow("SWEN") << 2 << 1;
    QTest::newRow("hidden") << 0 << 0;
  }
  void justDealtDisplay() {
    QFETCH(int, sort_order);
    QFETCH(int, visible);
    WriteSettingInt("Parameters", "SortOrder", sort_order);
    WriteSettingInt("Parameters", "justdealtvisible", visible);
    ShowPage();
    DealOnce();  // deal 5: North the spades, East the hearts, South the diamonds, West the clubs
    static const char* const kLabels[3][4] = {
        {"N", "E", "S", "W"}, {"N", "E", "W", "S"}, {"S", "W", "E", "N"}};
    static const int kGroupOfColumn[4] = {1, 3, 0, 2};
    for (int column = 0; column < 4; ++column) {
      QCOMPARE(page_->ColumnLabel(column)->text(), QString(kLabels[sort_order][column]));
      const int hand = QString("NESW").indexOf(kLabels[sort_order][column]);
      for (int suit = 0; suit < 4; ++suit) {
        CColorStatic* line = page_->HandLine(kGroupOfColumn[column], suit);
        QCOMPARE(ControlId(line), 1120 + 4 * kGroupOfColumn[column] + suit);
        const QString expected = !visible ? "--" : suit == hand ? "AKQJT98765432" : "-";
        QCOMPARE(line->text(), expected);
        const bool red = suit == 1 || suit == 2;
        QCOMPARE(line->TextColour(), red ? QColor(255, 0, 0) : QColor(0, 0, 0));
      }
    }
    QCOMPARE(page_->DealText()->text(), QString("Deal #1/3"));
    QCOMPARE(page_->CopyText()->text(), QString("Copy #1/2"));
  }

  void trayDebounce() {
    WriteSettingInt("Parameters", "traystart", 1);
    ShowPage();
    host_->Always("TRAYSTAT", 41, "NO");
    host_->Queue("TRAYSTAT", 40, "YES");
    page_->OnTimer();
    QCOMPARE(host_->commands.back().substr(0, 5), std::string("SORT "));
    QCOMPARE(page_->State(), Page_DealMenu::RunState::Sorting);
    clock_->Advance(100);
    page_->OnTimer();  // done
    QCOMPARE(page_->DealCounter(), 2);
    // The cards still lie in the tray: the signal must be off five times before it counts.
    host_->Queue("TRAYSTAT", 40, "YES");
    page_->OnTimer();
    QCOMPARE(page_->State(), Page_DealMenu::RunState::Idle);
    for (int i = 0; i < 4; ++i) page_->OnTimer();
    host_->Queue("TRAYSTAT", 40, "YES");
    page_->OnTimer();
    QCOMPARE(page_->State(), Page_DealMenu::RunState::Idle);
    for (int i = 0; i < 5; ++i) page_->OnTimer();
    host_->Queue("TRAYSTAT", 40, "YES");
    page_->OnTimer();
    QCOMPARE(page_->State(), Page_DealMenu::RunState::Sorting);
  }

  void triggerErrorsKeepTheRequest() {
    TraceCapture trace;
    WriteSettingInt("Parameters", "buttonstart", 1);
    WriteSettingInt("Parameters", "traystart", 1);
    ShowPage();
    host_->TakeCommands();
    host_->Always("TRAYSTAT", 41, "NO");
    host_->Queue("BUTSTAT", 90, "");
    page_->OnStartNext();
    page_->OnTimer();
    QVERIFY(trace.Contains('W', "Error sending butstat\n"));
    QCOMPARE(host_->TakeCommands(), (Commands{"TRAYSTAT", "BUTSTAT"}));
    host_->Queue("TRAYSTAT", 20, "bad");
    page_->OnTimer();
    QVERIFY(trace.Contains('W', "Error sending traystat\n"));
    QCOMPARE(host_->TakeCommands(), Commands{"TRAYSTAT"});
    host_->Queue("BUTSTAT", 41, "NO");
    page_->OnTimer();
    const Commands sent = host_->TakeCommands();
    QCOMPARE(sent.size(), size_t{3});
    QCOMPARE(sent[2].substr(0, 5), std::string("SORT "));
    // The machine's button alone starts the next deal.
    clock_->Advance(100);
    page_->OnTimer();
    host_->Queue("BUTSTAT", 40, "YES");
    page_->OnTimer();
    QCOMPARE(host_->commands.back().substr(0, 5), std::string("SORT "));
    QCOMPARE(page_->State(), Page_DealMenu::RunState::Sorting);
  }

  void adjustmentsAskOncePerStart() {
    ShowPage();
    boxes_->answers = {BoxAnswer::Cancel};
    page_->OnNextDeal();
    QCOMPARE(page_->DealCounter(), 1);
    QCOMPARE(boxes_->requests.back().text,
             std::string("Beware when adjusting this. This will change starting point. Really "
                         "want to do it ?"));
    QCOMPARE(boxes_->requests.back().caption, std::string("Warning"));
    QCOMPARE(boxes_->requests.back().buttons, BoxButtons::OkCancel);
    page_->OnNextDeal();  // OK
    page_->OnNextDeal();
    page_->OnNextDeal();
    QCOMPARE(page_->DealCounter(), 4);
    QCOMPARE(boxes_->requests.size(), size_t{2});
    QCOMPARE(InfoLine(1105), QString("Deal #2/3"));
    QCOMPARE(InfoLine(1107), QString("Copy #2/2"));
    QCOMPARE(page_->Viewer()->GetCurrentDeal(), 5);
    page_->OnPreviousDeal();
    QCOMPARE(page_->DealCounter(), 3);
    QCOMPARE(boxes_->requests.size(), size_t{2});

    DealOnce();  // a start asks again
    QCOMPARE(page_->DealCounter(), 4);
    page_->OnPreviousDeal();
    QCOMPARE(boxes_->requests.size(), size_t{3});
    QCOMPARE(boxes_->requests.back().text,
             std::string("Beware when adjusting this. Really want to do it"));
    QCOMPARE(page_->DealCounter(), 3);
    for (int i = 0; i < 5; ++i) page_->OnNextDeal();
    QCOMPARE(page_->DealCounter(), 6);  // not past the total
    for (int i = 0; i < 8; ++i) page_->OnPreviousDeal();
    QCOMPARE(page_->DealCounter(), 1);
    QCOMPARE(boxes_->requests.size(), size_t{3});

    // A show asks again; step back at 1 still asks and stays.
    page_->hide();
    page_->show();
    page_->OnPreviousDeal();
    QCOMPARE(boxes_->requests.size(), size_t{4});
    QCOMPARE(page_->DealCounter(), 1);
  }

  void resetAsksFirst() {
    ShowPage();
    DealOnce();
    DealOnce();
    QCOMPARE(page_->DealCounter(), 3);
    boxes_->answers = {BoxAnswer::Cancel};
    page_->OnReset();
    QCOMPARE(page_->DealCounter(), 3);
    QCOMPARE(boxes_->requests.back().text, std::string("Really want to reset ?"));
    QCOMPARE(boxes_->requests.back().caption, std::string("Warning"));
    page_->OnReset();
    QCOMPARE(page_->DealCounter(), 1);
    QCOMPARE(page_->HandLine(1, 0)->text(), QString("--"));
    QCOMPARE(page_->DealText()->text(), QString("Deal #1/3"));  // kept
    QCOMPARE(page_->StartNextButton()->text(), QString("Start"));
  }

  void copiesAndRange_data() {
    QTest::addColumn<QString>("copies");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("startable");
    QTest::addColumn<QString>("info");
    QTest::addColumn<QString>("offset");
    QTest::newRow("from deal 1") << "3" << 1 << 8 << true << "A total of 24 deal(s)"
                                 << "";
    QTest::newRow("copies empty") << "" << 5 << 3 << false << "--"
                                  << "--";
    QTest::newRow("copies 0") << "0" << 5 << 3 << false << "--"
                              << "--";
    QTest::newRow("range not stored") << "2" << -1 << 3 << false << "--"
                                      << "--";
    QTest::newRow("range past the file")
        << "2" << 7 << 3 << false << "Deals 7 to 9: the file has 8 deal(s)"
        << "Offset 7";
  }
  void copiesAndRange() {
    QFETCH(QString, copies);
    QFETCH(int, start);
    QFETCH(int, count);
    QFETCH(bool, startable);
    QFETCH(QString, info);
    QFETCH(QString, offset);
    WriteSettingInt("CardDistribution", "StartDeal", start);
    WriteSettingInt("CardDistribution", "NumberOfDeal", count);
    WriteSettingInt("Parameters", "buttonstart", 1);
    host_->Always("BUTSTAT", 41, "NO");
    ShowPage();
    page_->CopiesField()->setText(copies);
    QCOMPARE(page_->InfoLine()->text(), info);
    QCOMPARE(page_->StartNextButton()->isEnabled(), startable);
    QCOMPARE(page_->Viewer()->Spin()->isEnabled(), startable);
    QCOMPARE(InfoLine(1108), offset);
    // Neither the page's button nor the machine's starts a deal that cannot be sent.
    host_->Queue("BUTSTAT", 40, "YES");
    page_->OnTimer();
    bool sorted = false;
    for (const std::string& command : host_->commands) sorted |= command.rfind("SORT ", 0) == 0;
    QCOMPARE(sorted, startable);
    QCOMPARE(boxes_->requests.size(), static_cast<size_t>(startable ? 0 : 1));
    page_->hide();
    QCOMPARE(ReadSettingString("DealMenu", "NumberOfCopies", "x"), copies.toStdString());
  }

  void lastFileDecidesTheCopies() {
    TraceCapture trace;
    WriteSettingString("DealMenu", "NumberOfCopies", "4");
    WriteSettingString("DealMenu", "LastFile", "/elsewhere/old.bri");
    ShowPage();
    QVERIFY(trace.Contains('D', "Lastfile <> currentfile\n"));
    QCOMPARE(page_->CopiesField()->text(), QString("1"));
    QCOMPARE(ReadSettingString("DealMenu", "LastFile", ""), path_);
    page_->CopiesField()->setText("4");
    page_->hide();
    QVERIFY(trace.Contains('D', "Saving Dealmenu choices\n"));
    QVERIFY(trace.Contains('D', "XXXX Page_DealMenu 0\n"));
    QVERIFY(!page_->TimerRunning());
    page_->show();
    QVERIFY(trace.Contains('D', "Lastfile == currentfile\n"));
    QCOMPARE(page_->CopiesField()->text(), QString("4"));
    QCOMPARE(page_->NumberOfCopies(), 4);
  }

  void missingOrBrokenFile() {
    TraceCapture trace;
    WriteSettingString("CardDistribution", "Filename", (path_ + ".gone").c_str());
    ShowPage();
    QVERIFY(trace.Contains('D', "No current file " + path_ + ".gone\n"));
    QVERIFY(!page_->TimerRunning());
    QVERIFY(page_->Deals().empty());
    QVERIFY(!page_->StartNextButton()->isEnabled());
    page_->hide();

    const std::string broken = path_ + "x.bri";
    FILE* file = std::fopen(broken.c_str(), "wb");
    std::fputs("0102", file);
    std::fclose(file);
    WriteSettingString("CardDistribution", "Filename", broken.c_str());
    page_->show();
    QVERIFY(trace.Contains('W', "Error reading deals\n"));
    QCOMPARE(page_->InfoLine()->text(), QString("Format error in file"));
    QVERIFY(page_->Viewer()->Deals().empty());
    QVERIFY(!page_->TimerRunning());
  }

  void nestedTicksAreTurnedAway() {
    TraceCapture trace;
    ShowPage();
    boxes_.reset();
    size_t sent_inside = 0;
    MessageBoxResponder previous = SetMessageBoxResponder([&](const MessageBoxRequest&) {
      const size_t before = host_->commands.size();
      clock_->Advance(500);
      page_->OnTimer();
      sent_inside = host_->commands.size() - before;
      return BoxAnswer::Ok;
    });
    host_->Queue("SORT", 20, "bad parameter");
    page_->OnStartNext();
    page_->OnTimer();
    SetMessageBoxResponder(previous);
    QCOMPARE(sent_inside, size_t{0});
    QVERIFY(trace.Contains('T', "Inservice call\n"));
  }

 private:
  // How many SORT commands went to the machine.
  int Sorts() const {
    return static_cast<int>(
        std::count_if(host_->commands.begin(), host_->commands.end(),
                      [](const std::string& command) { return command.rfind("SORT ", 0) == 0; }));
  }

  void ShowPage() {
    page_ = std::make_unique<Page_DealMenu>("DealMenu", host_.get());
    page_->show();
  }

  QString InfoLine(int id) const {
    auto* label = qobject_cast<QLabel*>(FindControl(page_->Viewer(), id));
    return label != nullptr ? label->text() : QString("<none>");
  }

  // One start and its "done": what went to the machine and what the page showed.
  Send DealOnce() {
    page_->OnStartNext();
    page_->OnTimer();
    Send send{-1, page_->DealText()->text().toStdString(), page_->CopyText()->text().toStdString()};
    const std::string& sort = host_->commands.back();
    const int sort_order = ReadSettingInt("Parameters", "SortOrder", 0);
    for (size_t i = 0; i < page_->Deals().size(); ++i) {
      if (sort == "SORT " + Page_DealMenu::PocketText(page_->Deals()[i], sort_order)) {
        send.deal_index = static_cast<int>(i);
      }
    }
    clock_->Advance(100);
    page_->OnTimer();
    return send;
  }

  std::unique_ptr<ScratchEnvironment> scratch_;
  std::unique_ptr<qclock::FakeClock> clock_;
  std::unique_ptr<qclock::ScopedClock> scoped_clock_;
  std::unique_ptr<ScriptedHost> host_;
  std::unique_ptr<MessageBoxCapture> boxes_;
  std::unique_ptr<Page_DealMenu> page_;
  std::string path_;
};

QTEST_MAIN(DealMenuTest)
#include "tst_dealmenu.moc"
