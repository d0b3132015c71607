// quadrelle-prepare's window driven through its fields, offscreen, with the message boxes and
// the PDF viewer answered in the director's stead.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>

#include "BoardInfo.h"
#include "BriDup.h"
#include "ConditionParser.h"
#include "DealGenerator.h"
#include "LessonThemes.h"
#include "MessageBox.h"
#include "PrepareDialog.h"
#include "TestSystem.h"
#include "log.h"

namespace {

constexpr const char* kSeed = "000102030405060708090a0b0c0d0e0f";

QApplication& Application() {
  static int argc = 1;
  static char name[] = "unit_prepare";
  static char* argv[] = {name, nullptr};
  static QApplication application(argc, argv);
  return application;
}

class PrepareDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Application();
    TraceSetStandardOutput(nullptr);
    ASSERT_TRUE(dir_.isValid());
    dialog_ = std::make_unique<CPrepareDialog>();
    dialog_->SetPdfOpener([this](const QString& pdf) { opened_ << pdf; });
  }

  QString Path(const QString& name) const { return dir_.filePath(name); }
  template <typename T>
  T* Find(const char* name) const {
    T* child = dialog_->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  void Set(const char* field, const QString& text) { Find<QLineEdit>(field)->setText(text); }
  QString Status() const { return Find<QLabel>("status")->text(); }

  QTemporaryDir dir_;
  std::unique_ptr<CPrepareDialog> dialog_;
  QStringList opened_;
};

TEST_F(PrepareDialogTest, GenerateWritesTheSetAndOffersItForTheHandRecord) {
  Find<QSpinBox>("boardCount")->setValue(4);
  Find<QSpinBox>("firstBoard")->setValue(5);
  Set("seed", kSeed);
  Set("dealFile", Path("club"));  // the name gets the format's extension
  MessageBoxCapture boxes;
  ASSERT_TRUE(dialog_->Generate());
  EXPECT_TRUE(boxes.requests.empty());
  EXPECT_EQ(Find<QLineEdit>("dealFile")->text(), Path("club.pbn"));
  EXPECT_EQ(Find<QLineEdit>("recordSource")->text(), Path("club.pbn"));
  EXPECT_EQ(Status(), "4 boards (5 to 8) written to " + Path("club.pbn"));

  DealSet deals;
  std::vector<int> numbers;
  ASSERT_TRUE(LoadNumberedDealFile(Path("club.pbn").toLocal8Bit().constData(), deals, &numbers));
  EXPECT_EQ(numbers, (std::vector<int>{5, 6, 7, 8}));
  DealSeed seed;
  std::string error;
  ASSERT_TRUE(ParseDealSeed(kSeed, seed, error));
  for (size_t i = 0; i < deals.size(); ++i) EXPECT_EQ(deals[i], SeededDeal(seed, 5 + i));

  Find<QComboBox>("format")->setCurrentText("bri");
  Set("dealFile", Path("club.BRI"));  // already named for its format
  ASSERT_TRUE(dialog_->Generate());
  EXPECT_EQ(QFile(Path("club.BRI")).size(), 4 * 128);
}

TEST_F(PrepareDialogTest, GenerateRefusesWhatItCannotDo) {
  const struct {
    QString file;
    QString seed;
    QString message;
  } cases[] = {
      {"", "", "Choose the deal file to write the boards to."},
      {Path("a.pbn"), "12ab", "Wrong seed: the seed must have at least 32 hex digits (128 bits)."},
      {Path("none/a.pbn"), "", Path("none/a.pbn") + " could not be written: Error creating file"},
  };
  for (const auto& c : cases) {
    Set("dealFile", c.file);
    Set("seed", c.seed);
    MessageBoxCapture boxes;
    EXPECT_FALSE(dialog_->Generate()) << c.message.toStdString();
    ASSERT_EQ(boxes.requests.size(), 1u);
    EXPECT_EQ(boxes.requests[0].text, c.message.toStdString());
    EXPECT_EQ(boxes.requests[0].caption, "Error");
    EXPECT_FALSE(QFile::exists(Path("a.pbn")));
  }
}

TEST_F(PrepareDialogTest, HandRecordIsWrittenAndOpened) {
  Find<QSpinBox>("boardCount")->setValue(3);
  Set("seed", kSeed);
  Set("dealFile", Path("night.pbn"));
  ASSERT_TRUE(dialog_->Generate());
  Set("boardRange", "2-3");
  Find<QCheckBox>("writePbn")->setChecked(true);
  QSignalSpy done(dialog_.get(), &CPrepareDialog::HandRecordDone);
  MessageBoxCapture boxes;
  ASSERT_TRUE(dialog_->MakeHandRecord());
  EXPECT_TRUE(dialog_->Busy());
  EXPECT_FALSE(Find<QPushButton>("makeRecord")->isEnabled());
  EXPECT_FALSE(dialog_->MakeHandRecord()) << "one analysis at a time";
  ASSERT_TRUE(done.wait(60000));
  EXPECT_EQ(done.takeFirst().at(0).toBool(), true);
  EXPECT_FALSE(dialog_->Busy());
  EXPECT_TRUE(boxes.requests.empty());
  EXPECT_EQ(opened_, QStringList{Path("night.pdf")});
  EXPECT_EQ(Status(), "Hand record of 2 boards written to " + Path("night.pdf"));
  QFile pdf(Path("night.pdf"));
  ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
  EXPECT_TRUE(pdf.read(5) == "%PDF-");
  DealSet deals;
  std::vector<int> numbers;
  ASSERT_TRUE(
      LoadNumberedDealFile(Path("night-analysis.pbn").toLocal8Bit().constData(), deals, &numbers));
  EXPECT_EQ(numbers, (std::vector<int>{2, 3}));
}

TEST_F(PrepareDialogTest, HandRecordRefusesWhatItCannotDo) {
  QFile bad(Path("bad.pbn"));
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
  bad.write("[Deal \"N:AKQ\"]\n");
  bad.close();
  Set("dealFile", Path("two.pbn"));
  Find<QSpinBox>("boardCount")->setValue(2);
  ASSERT_TRUE(dialog_->Generate());
  const struct {
    QString source;
    QString range;
    QString message;
  } cases[] = {
      {"", "", "Choose the deal file to make the hand record of."},
      {Path("two.pbn"), "2-1", "Boards: give A-B (1 <= A <= B) or leave the field empty."},
      {Path("two.pbn"), "3-9", Path("two.pbn") + " holds no boards 3-9."},
      {Path("bad.pbn"), "",
       Path("bad.pbn") + " could not be read: Wrong number of suits in deal 1"},
  };
  for (const auto& c : cases) {
    Set("recordSource", c.source);
    Set("boardRange", c.range);
    MessageBoxCapture boxes;
    EXPECT_FALSE(dialog_->MakeHandRecord()) << c.message.toStdString();
    EXPECT_FALSE(dialog_->Busy());
    ASSERT_EQ(boxes.requests.size(), 1u);
    EXPECT_EQ(boxes.requests[0].text, c.message.toStdString());
  }
  EXPECT_TRUE(opened_.isEmpty());
}

TEST_F(PrepareDialogTest, PdfGoesBesideTheDealFileOrToTheDocumentsFolder) {
  EXPECT_EQ(CPrepareDialog::DefaultPdfPath(Path("club.night.pbn")), Path("club.night.pdf"));
  qputenv("HOME", dir_.path().toLocal8Bit());
  qputenv("XDG_CONFIG_HOME", Path("config").toLocal8Bit());
  // A folder that cannot be written, as the installed sample session's. Windows names the user's
  // documents folder itself, whatever HOME says.
  const QString pdf = CPrepareDialog::DefaultPdfPath("/nonexistent/share/sample-session.pbn");
  const QString documents =
      kTestSystemIsWindows ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                           : Path("Documents");
  EXPECT_TRUE(pdf == documents + "/sample-session.pdf") << pdf.toStdString();
}

// A lesson set: the 1NT theme, each board turned so that its dealer holds the opening hand,
// checked from the cards alone.
TEST_F(PrepareDialogTest, AConditionThemeMakesALessonSetBidFromEachDealer) {
  auto* theme = Find<QComboBox>("conditionTheme");
  ASSERT_EQ(theme->count(), 1 + static_cast<int>(std::size(kLessonThemes)));
  emit theme->activated(1);
  EXPECT_EQ(Find<QPlainTextEdit>("conditionScript")->toPlainText(), kLessonThemes[0].script);
  Find<QSpinBox>("boardCount")->setValue(5);
  Find<QSpinBox>("firstBoard")->setValue(3);
  Set("seed", kSeed);
  Set("dealFile", Path("nt.pbn"));
  QSignalSpy done(dialog_.get(), &CPrepareDialog::GenerateDone);
  MessageBoxCapture boxes;
  ASSERT_TRUE(dialog_->Generate());
  ASSERT_TRUE(done.wait(30000));
  EXPECT_TRUE(done.at(0).at(0).toBool()) << Status().toStdString();
  EXPECT_TRUE(boxes.requests.empty());
  EXPECT_TRUE(Status().startsWith("5 boards (3 to 7) written to " + Path("nt.pbn") + "; "));
  DealSet deals;
  ASSERT_TRUE(LoadDealFile(Path("nt.pbn").toLocal8Bit().constData(), deals));
  ASSERT_EQ(deals.size(), 5u);
  for (size_t i = 0; i < deals.size(); ++i) {
    const int dealer = BoardDealer(3 + static_cast<int>(i));
    int lengths[4] = {0, 0, 0, 0};
    for (int k = 0; k < kCardsInHand; ++k) ++lengths[SuitIndex(deals[i].HandCards(dealer)[k])];
    // Balanced: no singleton or void, one doubleton at most.
    const auto count = [&lengths](int length) { return std::count(lengths, lengths + 4, length); };
    const int points = HighCardPoints(deals[i], dealer);
    EXPECT_TRUE(points >= 15 && points <= 17 && lengths[kSpades] < 5 && lengths[kHearts] < 5 &&
                count(0) + count(1) == 0 && count(2) <= 1)
        << "board " << 3 + i;
  }
  // Every ready theme is a script the reader takes, South its dealer.
  for (const LessonTheme& t : kLessonThemes) {
    ConditionScript script;
    ScriptError error;
    EXPECT_TRUE(ParseConditionScript(t.script, script, error)) << t.name << ": " << error.message;
    EXPECT_EQ(script.dealer, kSouth) << t.name;
  }
}

TEST_F(PrepareDialogTest, AFaultyOrCancelledSearchWritesNothing) {
  Set("dealFile", Path("lesson.pbn"));
  auto* script = Find<QPlainTextEdit>("conditionScript");
  script->setPlainText("hcp(south) > 10 &&\n  tricks(south, spades) > 9");
  {
    MessageBoxCapture boxes;
    EXPECT_FALSE(dialog_->Generate());
    ASSERT_EQ(boxes.requests.size(), 1u);
    EXPECT_EQ(Status(), "Condition script, line 2, column 3: 'tricks' is not supported.");
  }
  script->setPlainText("hcp(north) > 37");
  QSignalSpy done(dialog_.get(), &CPrepareDialog::GenerateDone);
  ASSERT_TRUE(dialog_->Generate());
  EXPECT_FALSE(Find<QPushButton>("generate")->isEnabled());
  Find<QPushButton>("cancelSearch")->click();
  ASSERT_TRUE(done.wait(30000));
  EXPECT_FALSE(done.at(0).at(0).toBool());
  EXPECT_EQ(Status(), "Search cancelled; nothing written.");
  EXPECT_TRUE(Find<QPushButton>("generate")->isEnabled());
  EXPECT_FALSE(QFile::exists(Path("lesson.pbn")));
}

}  // namespace
