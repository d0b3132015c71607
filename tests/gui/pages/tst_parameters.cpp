#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <memory>

#include "DialogUnits.h"
#include "FileChoice.h"
#include "GuiSupport.h"
#include "LaunchTool.h"
#include "MessageBox.h"
#include "PageTestSupport.h"
#include "Page_Parameters.h"
#include "RadioListBox.h"
#include "Settings.h"
#include "System.h"
#include "ToolStandIn.h"
#include "log.h"

namespace {

constexpr int kUnset = -7;

struct ControlState {
  int barcode, sort, deal_order;
  bool stopcard, buttonstart, traystart, dealvisible, justdealtvisible;
  bool operator==(const ControlState&) const = default;
};

const ControlState kDefaults = {0, 0, 0, false, true, true, true, true};

}  // namespace

class ParametersPageTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    scratch_ = std::make_unique<ScratchEnvironment>();
    TraceSetStandardOutput(nullptr);
    host_ = MakePageHost(QSize(700, 600), 1050, QRect(10, 10, 5, 5));
    page_ = new Page_Parameters("Parameters");
    page_->Create(host_.get(), 1050);
    host_->show();
  }
  void cleanup() {
    SetOpenFileResponder(nullptr);
    host_.reset();
    scratch_.reset();
  }

  void listsHoldTheirItemsInOrder() {
    QCOMPARE(List(1069)->GetText(0), std::string("7_BAR"));
    QCOMPARE(List(1069)->GetText(1), std::string("5_BAR"));
    QCOMPARE(List(1071)->GetCount(), 3);
    QCOMPARE(List(1071)->GetText(0), std::string("NESW"));
    QCOMPARE(List(1071)->GetText(1), std::string("NEWS"));
    QCOMPARE(List(1071)->GetText(2), std::string("SWEN"));
    QCOMPARE(List(1079)->GetText(0), std::string("D1,D1,D1....D2,D2,D2"));
    QCOMPARE(List(1079)->GetText(1), std::string("D1,D2,D3....D1,D2,D3"));
    QCOMPARE(Check(1077)->text(), QString("Tray start (not possible with soft boards)"));
  }

  void firstStartStoresTheDefaultsAtOnce() {
    page_->show();
    QCOMPARE(State(), kDefaults);
    // All ten values are in the store before the page is ever hidden.
    for (const char* name : {"CardBarcode", "SortOrder", "DealOrder", "stopcard", "buttonstart",
                             "traystart", "dealvisible", "justdealtvisible"}) {
      QVERIFY2(ReadSettingInt("Parameters", name, kUnset) != kUnset, name);
    }
    QCOMPARE(StoredState(), kDefaults);
    QCOMPARE(ReadSettingString("Parameters", "DealTool", "unset"), std::string());
    QCOMPARE(ReadSettingString("Parameters", "PrintTool", "unset"), std::string());
  }

  void storedValuesAreShownAndStoredBack() {
    const ControlState stored = {1, 2, 1, true, false, false, true, false};
    Store(stored);
    QVERIFY(WriteSettingString("Parameters", "DealTool", "/opt/deal tool"));
    page_->show();
    QCOMPARE(State(), stored);
    QCOMPARE(Field(1090)->text(), QString("/opt/deal tool"));
    List(1071)->SetCurSel(1);
    Check(1073)->setChecked(false);
    page_->hide();
    ControlState expected = stored;
    expected.sort = 1;
    expected.stopcard = false;
    QCOMPARE(StoredState(), expected);
  }

  void anIndexOutsideItsListIsStoredAsMinusOne_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("value");
    QTest::newRow("barcode 2") << "CardBarcode" << 1069 << 2;
    QTest::newRow("barcode -5") << "CardBarcode" << 1069 << -5;
    QTest::newRow("sort order 3") << "SortOrder" << 1071 << 3;
    QTest::newRow("deal order 99") << "DealOrder" << 1079 << 99;
  }
  void anIndexOutsideItsListIsStoredAsMinusOne() {
    QFETCH(QString, name);
    QFETCH(int, id);
    QFETCH(int, value);
    Store({1, 1, 1, false, false, false, false, false});
    QVERIFY(WriteSettingInt("Parameters", name.toLatin1().constData(), value));
    page_->show();
    QCOMPARE(List(id)->GetCurSel(), -1);
    page_->hide();
    QCOMPARE(ReadSettingInt("Parameters", name.toLatin1().constData(), kUnset), -1);
  }

  void aBarcodeOfMinusOneBringsTheDefaultsBackButKeepsTheToolPaths() {
    Store({-1, 2, 1, true, false, false, false, false});
    QVERIFY(WriteSettingString("Parameters", "DealTool", "/opt/deal"));
    QVERIFY(WriteSettingString("Parameters", "PrintTool", "/opt/print"));
    page_->show();
    QCOMPARE(StoredState(), kDefaults);
    QCOMPARE(ReadSettingString("Parameters", "DealTool", ""), std::string("/opt/deal"));
    QCOMPARE(ReadSettingString("Parameters", "PrintTool", ""), std::string("/opt/print"));
  }

  void typingIntoAToolPathChangesNothingStored() {
    Store(kDefaults);
    QVERIFY(WriteSettingString("Parameters", "PrintTool", "/opt/print"));
    page_->show();
    Field(1091)->setFocus();
    QTest::keyClicks(Field(1091), "/typed");
    Field(1090)->setText("/also typed");
    page_->hide();
    QCOMPARE(ReadSettingString("Parameters", "PrintTool", ""), std::string("/opt/print"));
    QCOMPARE(ReadSettingString("Parameters", "DealTool", "unset"), std::string());
  }

  void useDefaultsAsksAndStoresNothingUntilHidden() {
    const ControlState stored = {1, 2, 1, true, false, false, false, false};
    Store(stored);
    QVERIFY(WriteSettingString("Parameters", "DealTool", "/opt/deal"));
    page_->show();
    MessageBoxCapture boxes;
    boxes.answers = {BoxAnswer::Cancel, BoxAnswer::Ok};
    page_->OnUseDefaults();
    QCOMPARE(State(), stored);
    page_->OnUseDefaults();
    QCOMPARE(boxes.requests.size(), size_t{2});
    QCOMPARE(boxes.requests[0].text, std::string("Are you sure ?"));
    QCOMPARE(boxes.requests[0].caption, std::string("Please confirm"));
    QVERIFY(boxes.requests[0].buttons == BoxButtons::OkCancel);
    QCOMPARE(State(), kDefaults);
    QCOMPARE(StoredState(), stored);
    QCOMPARE(Field(1090)->text(), QString("/opt/deal"));
    page_->hide();
    QCOMPARE(StoredState(), kDefaults);
    QCOMPARE(ReadSettingString("Parameters", "DealTool", ""), std::string("/opt/deal"));
  }

  void setupToolTakesOnlyAnExecutable() {
    page_->show();
    const QString program = WriteToolStandIn(scratch_->Path() + "/dealtool", "");
    QFile plain(scratch_->Path() + "/notes.txt");
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString before = QDir::currentPath();
    QString offered;
    std::string answer;
    SetOpenFileResponder([&](const QString& filter, const QString&) {
      offered = filter;
      QDir::setCurrent("/");  // the dialog may wander; the page must come back
      return answer;
    });
    MessageBoxCapture boxes;

    answer = plain.fileName().toStdString();
    page_->OnSetupDealTool();
#ifdef _WIN32
    QCOMPARE(offered, QString("Executable files (*.exe)"));
#else
    QCOMPARE(offered, QString("All files (*)"));
#endif
    QCOMPARE(boxes.requests.size(), size_t{1});
    QCOMPARE(boxes.requests[0].text, std::string("Not an executable program"));
    QCOMPARE(page_->DealToolPath(), std::string());

    answer.clear();  // cancelled
    page_->OnSetupDealTool();
    QCOMPARE(page_->DealToolPath(), std::string());

    answer = program.toStdString();
    page_->OnSetupPrintTool();
    const QString chosen = QDir::toNativeSeparators(program);  // as the system writes it
    QCOMPARE(page_->PrintToolPath(), chosen.toStdString());
    QCOMPARE(Field(1091)->text(), chosen);
    QCOMPARE(QDir::currentPath(), before);
    page_->hide();
    QCOMPARE(ReadSettingString("Parameters", "PrintTool", ""), chosen.toStdString());
    QCOMPARE(ReadSettingString("Parameters", "DealTool", "unset"), std::string());
  }

  void launchToolTellsWhatWentWrong_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("message");
    QTest::newRow("nothing set up") << ""
                                    << "";
    QTest::newRow("missing") << "%1/gone"
                             << "Tool not found";
    QTest::newRow("not a program") << "%1/notes.txt"
                                   << "Error launching Tool ";
  }
  void launchToolTellsWhatWentWrong() {
    QFETCH(QString, stored);
    QFETCH(QString, message);
    QFile plain(scratch_->Path() + "/notes.txt");
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    if (stored.contains("%1")) stored = stored.arg(scratch_->Path());
    QVERIFY(WriteSettingString("Parameters", "DealTool", stored.toStdString().c_str()));
    MessageBoxCapture boxes;
    LaunchTool("DealTool");
    if (message.isEmpty()) {
      QVERIFY(boxes.requests.empty());
    } else {
      QCOMPARE(boxes.requests.size(), size_t{1});
      QCOMPARE(boxes.requests[0].text, message.toStdString());
      QCOMPARE(boxes.requests[0].caption, std::string("Error"));
    }
  }

  // With no path set up, the companion program installed beside Quadrelle stands in; a path the
  // operator set always wins.
  void anEmptyToolPathStartsTheCompanionBesideTheProgram_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("companion");
    QTest::addColumn<QString>("deal_file");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    const QString kCompanion = QStringLiteral("%1/quadrelle-prepare") + qsys::ProgramSuffix();
    QTest::newRow("deal tool") << "DealTool"
                               << "" << true << "/d/set.pbn" << kCompanion
                               << QStringList{"--generate"};
    QTest::newRow("print tool, file")
        << "PrintTool"
        << "" << true << "/d/set.pbn" << kCompanion << QStringList{"--handrecord", "/d/set.pbn"};
    QTest::newRow("print tool, no file")
        << "PrintTool"
        << "" << true << "" << kCompanion << QStringList{"--handrecord"};
    QTest::newRow("set path wins") << "PrintTool"
                                   << "/opt/print" << true << "/d/set.pbn"
                                   << "/opt/print" << QStringList{};
    QTest::newRow("no companion") << "DealTool"
                                  << "" << false << ""
                                  << "" << QStringList{};
    QTest::newRow("set, no companion") << "DealTool"
                                       << "/opt/deal" << false << ""
                                       << "/opt/deal" << QStringList{};
  }
  void anEmptyToolPathStartsTheCompanionBesideTheProgram() {
    QFETCH(QString, value);
    QFETCH(QString, stored);
    QFETCH(bool, companion);
    QFETCH(QString, deal_file);
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    const QString folder = scratch_->Path();
    if (companion) QVERIFY(!WriteToolStandIn(folder + "/quadrelle-prepare", "").isEmpty());
    // A file of that name that is no program is not taken.
    QFile plain(scratch_->Path() + "/plain/quadrelle-prepare");
    QVERIFY(QDir().mkpath(scratch_->Path() + "/plain") && plain.open(QIODevice::WriteOnly));
    plain.close();
    const ToolCommand command = ToolCommandFor(value.toLatin1().constData(), stored.toStdString(),
                                               folder, deal_file.toStdString());
    QCOMPARE(command.program, program.contains("%1") ? program.arg(folder) : program);
    QCOMPARE(command.arguments, arguments);
    QCOMPARE(ToolCommandFor(value.toLatin1().constData(), "", folder + "/plain", "").program,
             QString());
  }

  void launchToolStartsTheProgramWithoutArgumentsOrShell() {
    // Blanks and shell characters in the path are part of the program's name.
    const QString folder = scratch_->Path() + "/tools; touch pwned";
    QVERIFY(QDir().mkpath(folder));
    const QString marker = scratch_->Path() + "/arguments";
    const QString program = WriteToolStandIn(folder + "/print tool", marker);
    QVERIFY(WriteSettingString("Parameters", "PrintTool", program.toStdString().c_str()));
    MessageBoxCapture boxes;
    LaunchTool("PrintTool");
    QVERIFY(boxes.requests.empty());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker) && QFileInfo(marker).size() > 0, 5000);
    QFile result(marker);
    QVERIFY(result.open(QIODevice::ReadOnly));
    QCOMPARE(result.readAll().trimmed(), QByteArray("0"));
    QVERIFY(!QFile::exists(scratch_->Path() + "/pwned"));
  }

 private:
  CRadioListBox* List(int id) const {
    return static_cast<CRadioListBox*>(FindControl(page_, id));
  }
  QCheckBox* Check(int id) const {
    return static_cast<QCheckBox*>(FindControl(page_, id));
  }
  QLineEdit* Field(int id) const {
    return static_cast<QLineEdit*>(FindControl(page_, id));
  }

  ControlState State() const {
    return {List(1069)->GetCurSel(),  List(1071)->GetCurSel(),  List(1079)->GetCurSel(),
            Check(1073)->isChecked(), Check(1075)->isChecked(), Check(1077)->isChecked(),
            Check(1081)->isChecked(), Check(1082)->isChecked()};
  }
  static ControlState StoredState() {
    auto get = [](const char* name) { return ReadSettingInt("Parameters", name, kUnset); };
    return {get("CardBarcode"),      get("SortOrder"),
            get("DealOrder"),        get("stopcard") == 1,
            get("buttonstart") == 1, get("traystart") == 1,
            get("dealvisible") == 1, get("justdealtvisible") == 1};
  }
  static void Store(const ControlState& state) {
    WriteSettingInt("Parameters", "CardBarcode", state.barcode);
    WriteSettingInt("Parameters", "SortOrder", state.sort);
    WriteSettingInt("Parameters", "DealOrder", state.deal_order);
    WriteSettingInt("Parameters", "stopcard", state.stopcard);
    WriteSettingInt("Parameters", "buttonstart", state.buttonstart);
    WriteSettingInt("Parameters", "traystart", state.traystart);
    WriteSettingInt("Parameters", "dealvisible", state.dealvisible);
    WriteSettingInt("Parameters", "justdealtvisible", state.justdealtvisible);
  }

  std::unique_ptr<ScratchEnvironment> scratch_;
  std::unique_ptr<QWidget> host_;
  Page_Parameters* page_ = nullptr;
};

QTEST_MAIN(ParametersPageTest)
#include "tst_parameters.moc"
