#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>
#include <memory>

#include "BriDup.h"
#include "ColorStatic.h"
#include "DealViewer.h"
#include "DialogUnits.h"
#include "FileChoice.h"
#include "Fingerprint.h"
#include "FocusEditCtrl.h"
#include "GuiSupport.h"
#include "MessageBox.h"
#include "PageTestSupport.h"
#include "Page_CardDistribution.h"
#include "RunSections.h"
#include "SampleSession.h"
#include "Settings.h"
#include "log.h"

namespace {

const QColor kLightRed(255, 192, 192);

}  // namespace

class CardDistributionPageTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    scratch_ = std::make_unique<ScratchEnvironment>();
    TraceSetStandardOutput(nullptr);
    host_ = MakePageHost(QSize(700, 600), 1050, QRect(10, 10, 5, 5));
    page_ = new Page_CardDistribution("CardDistribution");
    page_->Create(host_.get(), 1050);
    host_->show();
    file32_ = WriteBriFile(scratch_->Path(), "club.bri", 32);
    capture_ = std::make_unique<TraceCapture>();
  }
  void cleanup() {
    SetRunSettingsMachine("");
    SetOpenFileResponder(nullptr);
    capture_.reset();
    host_.reset();
    scratch_.reset();
  }

  void loadFileTakesTheWholeFile() {
    QVERIFY(WriteSettingInt("Parameters", "dealvisible", 1));
    page_->show();
    QString offered;
    SetOpenFileResponder([&](const QString& filter, const QString&) {
      offered = filter;
      return file32_.toStdString();
    });
    page_->OnLoadFile();
    QCOMPARE(offered, Page_CardDistribution::DealFileFilter());
    // The chosen path as the system writes it (backslashes on Windows).
    const QString chosen = QDir::toNativeSeparators(file32_);
    QCOMPARE(Text(1087), chosen);
    QCOMPARE(Text(1103), QString("File contains 32 deals"));
    QCOMPARE(page_->Start(), 1);
    QCOMPARE(page_->Number(), 32);
    QCOMPARE(Text(1007), QString("1"));
    QCOMPARE(Text(1000), QString("32"));
    QVERIFY(Field(1000)->isEnabled() && Field(1007)->isEnabled());
    QCOMPARE(Info(), QStringList({"", "Deal # 1", "of 32", "(1-32)"}));
    QCOMPARE(page_->Viewer()->GetCurrentDeal(), 0);
    QCOMPARE(page_->Viewer()->SuitLine(kNorth, kSpades)->text(), QString("AKQJT98765432"));
    page_->hide();
    QCOMPARE(ReadSettingString("CardDistribution", "Filename", ""), chosen.toStdString());
    QCOMPARE(ReadSettingInt("CardDistribution", "StartDeal", 0), 1);
    QCOMPARE(ReadSettingInt("CardDistribution", "NumberOfDeal", 0), 32);
  }

  // A window bound to a machine shows and stores that machine's run; the run of the window
  // without one stays where it was, and the other way round.
  void aBoundCopyKeepsItsRunUnderItsMachine_data() {
    QTest::addColumn<QString>("machine");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("number");
    QTest::newRow("no machine") << ""
                                << "File contains 32 deals" << 1 << 32;
    QTest::newRow("machine 42") << "42"
                                << "File contains 8 deals" << 2 << 3;
  }
  void aBoundCopyKeepsItsRunUnderItsMachine() {
    QFETCH(QString, machine);
    QFETCH(QString, shown);
    QFETCH(int, start);
    QFETCH(int, number);
    const QString file8 = WriteBriFile(scratch_->Path(), "room.bri", 8);
    Remember(file32_, 1, 32);
    QVERIFY(
        WriteSettingString("Machine-42/CardDistribution", "Filename", file8.toStdString().c_str()));
    QVERIFY(WriteSettingInt("Machine-42/CardDistribution", "StartDeal", 2));
    QVERIFY(WriteSettingInt("Machine-42/CardDistribution", "NumberOfDeal", 3));
    SetRunSettingsMachine(machine.toStdString());
    page_->show();
    QCOMPARE(Text(1103), shown);
    QCOMPARE(page_->Start(), start);
    QCOMPARE(page_->Number(), number);
    Field(1007)->setText("1");
    page_->hide();
    QCOMPARE(ReadSettingInt(CardDistributionSection(), "StartDeal", 0), 1);
    // The other window's run is untouched.
    const char* other = machine.isEmpty() ? "Machine-42/CardDistribution" : "CardDistribution";
    QCOMPARE(ReadSettingInt(other, "StartDeal", 0), machine.isEmpty() ? 2 : 1);
    QCOMPARE(QString::fromStdString(ReadSettingString(other, "Filename", "")),
             machine.isEmpty() ? file8 : file32_);
  }

  // First one filter with every deal file (extensions in either case), then each format, then
  // all files.
  // The fingerprint to hold against the hand record, and a warning for deals the file holds
  // twice (deal i of a file of 54 is ShiftedDeal((i - 1) % 52)); dealing still works.
  void fingerprintAndRepeatedDeals() {
    page_->show();
    const QString file54 = WriteBriFile(scratch_->Path(), "twice.bri", 54);
    for (const QString& file : {file32_, file54}) {
      SetOpenFileResponder([&](const QString&, const QString&) { return file.toStdString(); });
      page_->OnLoadFile();
      DealSet deals;
      QVERIFY(LoadDealFile(file.toStdString().c_str(), deals));
      QCOMPARE(page_->findChild<QLabel*>("fingerprint")->text(),
               "Fingerprint " + QString::fromStdString(DealSetFingerprint(deals)));
      QCOMPARE(page_->findChild<QLabel*>("duplicateDeals")->text(),
               file == file54 ? QString("Deals 1 and 53 are the same (and 1 more)") : QString());
      QCOMPARE(page_->findChild<CFocusEditCtrl*>("numberOfDeals")->text(),
               QString::number(deals.size()));
    }
  }

  void theFileFilterOffersAllDealFilesFirst() {
    const QStringList entries = Page_CardDistribution::DealFileFilter().split(";;");
    QCOMPARE(entries.size(), 5);
    QVERIFY(entries.last().startsWith("All files (*)"));
    auto matches = [](const QString& entry, const QString& name) {
      const QRegularExpression inBrackets(R"(\(([^)]*)\))");
      for (const QString& pattern : inBrackets.match(entry).captured(1).split(' ')) {
        if (QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern))
                .match(name)
                .hasMatch()) {
          return true;
        }
      }
      return false;
    };
    const QStringList bri{"a.bri", "A.BRI", "b.Bri"}, dup{"c.dup", "D.DUP", "e.dUp"},
        pbn{"f.pbn", "G.PBN"};
    for (const QString& name : bri + dup + pbn)
      QVERIFY2(matches(entries[0], name), qPrintable(name));
    for (const char* name : {"a.txt", "bri", "a.bri.txt"})
      QVERIFY2(!matches(entries[0], name), name);
    const QStringList* formats[3] = {&bri, &dup, &pbn};
    for (int k = 0; k < 3; ++k) {
      for (int other = 0; other < 3; ++other) {
        for (const QString& name : *formats[other]) {
          QCOMPARE(matches(entries[k + 1], name), k == other);
        }
      }
    }
  }

  void aRememberedRangeIsCheckedAgainstTheFile_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("shown_start");
    QTest::addColumn<int>("shown_number");
    QTest::newRow("5 of 10 fits") << 5 << 10 << 5 << 10;
    QTest::newRow("to the last deal") << 23 << 10 << 23 << 10;
    QTest::newRow("30 of 10 runs past") << 30 << 10 << 1 << 32;
    QTest::newRow("more than the file") << 1 << 33 << 1 << 32;
    QTest::newRow("never set") << -1 << -1 << 1 << 32;
    QTest::newRow("start 0") << 0 << 4 << 1 << 32;
  }
  void aRememberedRangeIsCheckedAgainstTheFile() {
    QFETCH(int, start);
    QFETCH(int, number);
    QFETCH(int, shown_start);
    QFETCH(int, shown_number);
    Remember(file32_, start, number);
    MessageBoxCapture boxes;
    page_->show();
    QVERIFY(boxes.requests.empty());
    QCOMPARE(page_->Start(), shown_start);
    QCOMPARE(page_->Number(), shown_number);
    QCOMPARE(Text(1007), QString::number(shown_start));
    QCOMPARE(Text(1000), QString::number(shown_number));
    const bool defaulted = shown_start != start || shown_number != number;
    QCOMPARE(capture_->Contains('D', "Defaulting indexes start 1 of 32\n"), defaulted);
    QVERIFY(capture_->Contains('I', ("File " + file32_ + " loaded\n").toStdString()));
  }

  void tooManyDealsIsRefusedInLightRed() {
    Remember(file32_, 1, 32);
    page_->show();
    MessageBoxCapture boxes;
    Field(1000)->clear();
    Field(1000)->setFocus();
    QTest::keyClicks(Field(1000), "40x");
    QCOMPARE(Text(1000), QString("40"));
    QCOMPARE(boxes.requests.size(), size_t{1});
    QCOMPARE(boxes.requests[0].text, std::string("More deals specified than found in file"));
    QCOMPARE(boxes.requests[0].caption, std::string("Error"));
    QCOMPARE(Field(1000)->BackgroundColour(), kLightRed);
    QVERIFY(capture_->Contains('W', "More deals specified than found in file\n"));
    QCOMPARE(page_->Number(), 40);  // stays in force until corrected

    Field(1000)->setText("4");
    QCOMPARE(Field(1000)->BackgroundColour(), QColor(255, 255, 255));
    Field(1007)->setText("30");
    QCOMPARE(boxes.requests.size(), size_t{2});
    QCOMPARE(boxes.requests[1].text, std::string("Deal start is too big "));
    QCOMPARE(Field(1007)->BackgroundColour(), kLightRed);
  }

  void theArrowsStepThroughTheRange() {
    QVERIFY(WriteSettingInt("Parameters", "dealvisible", 1));
    Remember(file32_, 3, 4);
    page_->show();
    CDealViewer* viewer = page_->Viewer();
    QCOMPARE(viewer->GetCurrentDeal(), 2);
    for (int i = 0; i < 4; ++i) viewer->Spin()->Step(+1);
    QCOMPARE(viewer->GetCurrentDeal(), 5);
    QCOMPARE(page_->Current(), 4u);
    QCOMPARE(Info(), QStringList({"", "Deal # 4", "of 4", "(3-6)"}));
    // North of file deal 6 holds the cards 6..18.
    QCOMPARE(viewer->SuitLine(kNorth, kSpades)->text(), QString("98765432"));
    viewer->Spin()->Step(-1);
    QCOMPARE(viewer->GetCurrentDeal(), 4);
    for (int i = 0; i < 5; ++i) viewer->Spin()->Step(-1);
    QCOMPARE(viewer->GetCurrentDeal(), 2);
    QVERIFY(capture_->Contains('D', "Page 2 Spin right\n"));
    QVERIFY(capture_->Contains('D', "Page 2 Spin left\n"));
  }

  void theArrowsStopAtTheLastDealOfTheFile_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("last_shown");
    QTest::newRow("range runs past the end") << "31" << 31;
    QTest::newRow("start past the end") << "40" << -1;
  }
  void theArrowsStopAtTheLastDealOfTheFile() {
    QFETCH(QString, start);
    QFETCH(int, last_shown);
    QVERIFY(WriteSettingInt("Parameters", "dealvisible", 1));
    Remember(file32_, 1, 4);
    page_->show();
    MessageBoxCapture boxes;
    Field(1007)->setText(start);  // refused, but in force
    QCOMPARE(boxes.requests.size(), size_t{1});
    for (int i = 0; i < 6; ++i) {
      page_->Viewer()->Spin()->Step(+1);
      QVERIFY(page_->Viewer()->GetCurrentDeal() < 32);
    }
    QCOMPARE(page_->Viewer()->GetCurrentDeal(), last_shown);
  }

  void hiddenDealsShowDashesUnderAFilledRange() {
    QVERIFY(WriteSettingInt("Parameters", "dealvisible", 0));
    Remember(file32_, 5, 10);
    page_->show();
    QCOMPARE(Info(), QStringList({"", "Deal # 1", "of 10", "(5-14)"}));
    for (int hand = 0; hand < 4; ++hand) {
      for (int suit = 0; suit < 4; ++suit) {
        QCOMPARE(page_->Viewer()->SuitLine(hand, suit)->text(), QString("--"));
      }
    }
  }

  // A new user's first "Load file" opens where the sample session lies; once a file is chosen,
  // wherever the dialog likes.
  void theFirstLoadOpensInTheSampleSessionFolder() {
    const QString examples = scratch_->Path() + "/examples";
    QVERIFY(QDir().mkpath(examples));
    qputenv("QUADRELLE_EXAMPLES_DIR", examples.toLocal8Bit());
    page_->show();
    QStringList folders;
    SetOpenFileResponder([&](const QString&, const QString& folder) {
      folders << folder;
      return folders.size() == 1 ? std::string() : file32_.toStdString();
    });
    page_->OnLoadFile();  // cancelled: still nothing chosen
    page_->OnLoadFile();
    page_->OnLoadFile();
    qunsetenv("QUADRELLE_EXAMPLES_DIR");
    QCOMPARE(folders, QStringList({examples, examples, QString()}));
    // No sample session anywhere (the test program is not installed): the dialog decides.
    QCOMPARE(SampleSessionFolder(QCoreApplication::applicationDirPath()), QString());
    // Installed: beside the program on Windows, in the shared files' folder elsewhere.
#ifdef _WIN32
    const QString installed = scratch_->Path() + "/bin/examples";
#else
    const QString installed = scratch_->Path() + "/share/quadrelle/examples";
#endif
    QVERIFY(QDir().mkpath(installed));
    QCOMPARE(SampleSessionFolder(scratch_->Path() + "/bin"), QDir(installed).absolutePath());
  }

  void anEmptyRememberedNameShowsNoDeal() {
    QVERIFY(WriteSettingInt("Parameters", "dealvisible", 1));
    Remember(file32_, 1, 32);
    page_->show();
    QCOMPARE(page_->Viewer()->Deals().size(), size_t{32});
    page_->hide();
    QVERIFY(WriteSettingString("CardDistribution", "Filename", ""));
    page_->show();
    QCOMPARE(Text(1087), QString());
    QVERIFY(capture_->Contains('W', "Recent load problem\n"));
    QVERIFY(page_->Viewer()->Deals().empty());
    QCOMPARE(page_->Viewer()->SuitLine(kNorth, kSpades)->text(), QString("--"));
  }

  void aFileThatFailsToLoadIsForgotten() {
    const QString bad = scratch_->Path() + "/bad.bri";
    QFile file(bad);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("too short");
    file.close();
    Remember(bad, 1, 1);
    MessageBoxCapture boxes;
    page_->show();
    QCOMPARE(boxes.requests.size(), size_t{1});
    QCOMPARE(boxes.requests[0].text, std::string("Could not load data from file"));
    QCOMPARE(boxes.requests[0].caption, std::string("Error"));
    QCOMPARE(Text(1087), QString());
    QCOMPARE(Text(1103), QString("Format error in file"));
    QVERIFY(!Field(1000)->isEnabled() && !Field(1007)->isEnabled());
    QVERIFY(capture_->Contains('W', "Error reading deals\n"));
    QVERIFY(capture_->Contains('W', "Load problem\n"));
  }

  void aClearedFieldIsStoredAsMinusOne_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("warning");
    QTest::newRow("number") << 1000 << "NumberOfDeal"
                            << " Illigal number in deals\n";
    QTest::newRow("start") << 1007 << "StartDeal"
                           << " Illigal number in startdeals\n";
  }
  void aClearedFieldIsStoredAsMinusOne() {
    QFETCH(int, id);
    QFETCH(QString, name);
    QFETCH(QString, warning);
    Remember(file32_, 2, 3);
    page_->show();
    Field(id)->clear();
    page_->hide();
    QCOMPARE(ReadSettingInt("CardDistribution", name.toLatin1().constData(), 0), -1);
    QVERIFY(capture_->Contains('W', warning.toStdString()));
  }

  void numbersWithLeadingZerosAreStoredAsShown_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("stored");
    QTest::newRow("010") << "010" << 10;
    QTest::newRow("08") << "08" << 8;
    QTest::newRow("007") << "007" << 7;
  }
  void numbersWithLeadingZerosAreStoredAsShown() {
    QFETCH(QString, typed);
    QFETCH(int, stored);
    Remember(file32_, 1, 2);
    page_->show();
    MessageBoxCapture boxes;
    Field(1007)->setText(typed);
    Field(1000)->setText(typed);
    QVERIFY(boxes.requests.empty());
    QCOMPARE(page_->Start(), stored);
    page_->hide();
    QCOMPARE(ReadSettingInt("CardDistribution", "StartDeal", 0), stored);
    QCOMPARE(ReadSettingInt("CardDistribution", "NumberOfDeal", 0), stored);
  }

 private:
  CFocusEditCtrl* Field(int id) const {
    return static_cast<CFocusEditCtrl*>(FindControl(page_, id));
  }
  QString Text(int id) const {
    QWidget* control = FindControl(page_, id);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text();
    return static_cast<QLabel*>(control)->text();
  }
  // The viewer's information lines from the top down.
  QStringList Info() const {
    QStringList lines;
    for (int id : {1144, 1105, 1107, 1108}) {
      lines << static_cast<QLabel*>(FindControl(page_->Viewer(), id))->text();
    }
    return lines;
  }
  static void Remember(const QString& path, int start, int number) {
    WriteSettingString("CardDistribution", "Filename", path.toStdString().c_str());
    WriteSettingInt("CardDistribution", "StartDeal", start);
    WriteSettingInt("CardDistribution", "NumberOfDeal", number);
  }

  std::unique_ptr<ScratchEnvironment> scratch_;
  std::unique_ptr<QWidget> host_;
  std::unique_ptr<TraceCapture> capture_;
  Page_CardDistribution* page_ = nullptr;
  QString file32_;
};

QTEST_MAIN(CardDistributionPageTest)
#include "tst_carddistribution.moc"
