#include <QKeyEvent>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "ColorStatic.h"
#include "DealViewer.h"
#include "DialogUnits.h"
#include "GuiSupport.h"
#include "PageTestSupport.h"
#include "log.h"

namespace {

const QColor kBlack(0, 0, 0), kRed(255, 0, 0), kDimBlack(32, 32, 32), kDimRed(63, 0, 0);

QString Line(const CDealViewer& viewer, int hand, int suit) {
  return viewer.SuitLine(hand, suit)->text();
}

QString InfoText(const CDealViewer& viewer, int id) {
  return static_cast<QLabel*>(FindControl(&viewer, id))->text();
}

}  // namespace

class DealViewerTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    scratch_ = std::make_unique<ScratchEnvironment>();
    TraceSetStandardOutput(nullptr);
    host_ = MakePageHost(QSize(600, 500), 1088, QRect(20, 30, 10, 10));
    capture_ = std::make_unique<TraceCapture>();
    viewer_ = new CDealViewer();
    viewer_->Create(host_.get(), 1088);
    viewer_->show();
    host_->show();
  }
  void cleanup() {
    host_.reset();
    capture_.reset();
    scratch_.reset();
  }

  // Which hand is which and which suit each line holds stand beside the lines: the hand's
  // letter, and on each line's left its suit symbol (hearts and diamonds red).
  void handsAndSuitsAreLabelled() {
    const char* hands[4] = {"north", "east", "south", "west"};
    const char* suits[4] = {"Spades", "Hearts", "Diamonds", "Clubs"};
    const QString letters[4] = {"N", "E", "S", "W"};
    const QString symbols[4] = {QString(QChar(0x2660)), QString(QChar(0x2665)),
                                QString(QChar(0x2666)), QString(QChar(0x2663))};
    for (int hand = 0; hand < 4; ++hand) {
      auto* letter = viewer_->findChild<QLabel*>(QString(hands[hand]) + "Label");
      QVERIFY(letter != nullptr);
      QCOMPARE(letter->text(), letters[hand]);
      for (int suit = 0; suit < 4; ++suit) {
        auto* symbol =
            viewer_->findChild<CColorStatic*>(QString(hands[hand]) + suits[suit] + "Symbol");
        QVERIFY(symbol != nullptr);
        QCOMPARE(symbol->text(), symbols[suit]);
        QCOMPARE(symbol->TextColour(), suit == 1 || suit == 2 ? kRed : kBlack);
        const QRect line = viewer_->SuitLine(hand, suit)->geometry();
        QCOMPARE(symbol->geometry().top(), line.top());
        QVERIFY(symbol->geometry().right() < line.left());
      }
    }
  }

  void initialisationShowsNoDealAndDisablesTheArrows() {
    QCOMPARE(viewer_->pos(), QPoint(20, 30));
    QCOMPARE(viewer_->size(), viewer_->Units().ToPixels(QSize(204, 165)));
    for (int hand = 0; hand < 4; ++hand) {
      for (int suit = 0; suit < 4; ++suit) {
        QCOMPARE(Line(*viewer_, hand, suit), QString("--"));
      }
    }
    QVERIFY(!viewer_->Spin()->isEnabled());
    const std::vector<std::string> expected = {
        "DealViewer on init\n", "Not showing deals cause size == 0\n",
        "Not showing deals cause !m_DealVisible\n", "Not showing deals cause m_CurrentDeal < 0\n"};
    QCOMPARE(capture_->Texts('D'), expected);
    for (const TraceLine& line : capture_->lines) {
      // The log keeps 11 characters of the file name.
      if (line.level == 'D') QCOMPARE(line.file, std::string("DealViewer."));
    }
  }

  void suitLinesFollowTheFileOrder() {
    // North: queen, ace, five of spades; ace and two of hearts; no diamonds; eight clubs.
    DealSet deals;
    deals.push_back(DealWithNorth({3, 1, 10, 14, 26, 40, 41, 42, 43, 44, 45, 46, 47}));
    viewer_->SetDealVisible(true);
    viewer_->SetDeals(deals);
    QCOMPARE(Line(*viewer_, kNorth, kSpades), QString("QA5"));
    QCOMPARE(Line(*viewer_, kNorth, kHearts), QString("A2"));
    QCOMPARE(Line(*viewer_, kNorth, kDiamonds), QString("-"));
    QCOMPARE(Line(*viewer_, kNorth, kClubs), QString("AKQJT987"));
    // The rest go out in ascending card order: East, South, then West.
    QCOMPARE(Line(*viewer_, kEast, kSpades), QString("KJT9876432"));
    QCOMPARE(Line(*viewer_, kWest, kSpades), QString("-"));
    QCOMPARE(Line(*viewer_, kWest, kClubs), QString("65432"));
    QCOMPARE(viewer_->SuitLine(kNorth, kSpades)->TextColour(), kBlack);
    QCOMPARE(viewer_->SuitLine(kEast, kHearts)->TextColour(), kRed);
    QCOMPARE(viewer_->SuitLine(kSouth, kDiamonds)->TextColour(), kRed);
    QCOMPARE(viewer_->SuitLine(kWest, kClubs)->TextColour(), kBlack);
  }

  void invisibleDealsShowDimDashes() {
    viewer_->SetDeals(ShiftedDeals(3));
    QVERIFY(capture_->Contains('D', "Not showing deals cause !m_DealVisible\n"));
    for (int hand = 0; hand < 4; ++hand) {
      for (int suit = 0; suit < 4; ++suit) {
        QCOMPARE(Line(*viewer_, hand, suit), QString("--"));
        QCOMPARE(viewer_->SuitLine(hand, suit)->TextColour(),
                 suit == kHearts || suit == kDiamonds ? kDimRed : kDimBlack);
      }
    }
    // Made visible, the next redraw shows the deal in full colour.
    viewer_->SetDealVisible(true);
    viewer_->ShowDeal(1);
    QCOMPARE(Line(*viewer_, kNorth, kSpades), QString("AKQJT98765432"));
    QCOMPARE(viewer_->SuitLine(kNorth, kHearts)->TextColour(), kRed);
  }

  void dealNumbersOutsideTheSetShowNoDeal_data() {
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("current");
    QTest::newRow("first") << 1 << 0;
    QTest::newRow("last") << 3 << 2;
    QTest::newRow("zero") << 0 << -1;
    QTest::newRow("minus one") << -1 << -1;
    QTest::newRow("one past the end") << 4 << -1;
    QTest::newRow("far past the end") << 1000 << -1;
  }
  void dealNumbersOutsideTheSetShowNoDeal() {
    QFETCH(int, n);
    QFETCH(int, current);
    viewer_->SetDealVisible(true);
    viewer_->SetDeals(ShiftedDeals(3));
    viewer_->ShowDeal(n);
    QCOMPARE(viewer_->GetCurrentDeal(), current);
    const QString expected = current < 0 ? QString("--") : Line(*viewer_, kNorth, kSpades);
    QCOMPARE(Line(*viewer_, kNorth, kSpades), expected);
    if (current < 0) {
      QVERIFY(capture_->Contains('D', "Not showing deals cause m_CurrentDeal < 0\n"));
    } else {
      QCOMPARE(viewer_->SuitLine(kNorth, kSpades)->TextColour(), kBlack);
    }
  }

  void infoLinesTakeTheFourthTextOnTop() {
    viewer_->SetInfo("Deal # 1", "of 32", "(1-32)", "top");
    QCOMPARE(InfoText(*viewer_, 1144), QString("top"));
    QCOMPARE(InfoText(*viewer_, 1105), QString("Deal # 1"));
    QCOMPARE(InfoText(*viewer_, 1107), QString("of 32"));
    QCOMPARE(InfoText(*viewer_, 1108), QString("(1-32)"));
  }

  void arrowsAskTheParentForTheNextOrPreviousDeal() {
    QSignalSpy next(viewer_, &CDealViewer::NextDeal);
    QSignalSpy previous(viewer_, &CDealViewer::PreviousDeal);
    viewer_->SetDeals(ShiftedDeals(2));
    QVERIFY(viewer_->Spin()->isEnabled());
    QCOMPARE(viewer_->Spin()->Upper(), 1);

    QTest::mouseClick(viewer_->Spin()->findChild<QToolButton*>("spinRight"), Qt::LeftButton);
    QCOMPARE(next.count(), 1);
    // At the end of the range the request still reaches the parent, which decides.
    QTest::mouseClick(viewer_->Spin()->findChild<QToolButton*>("spinRight"), Qt::LeftButton);
    QCOMPARE(next.count(), 2);
    QTest::mouseClick(viewer_->Spin()->findChild<QToolButton*>("spinLeft"), Qt::LeftButton);
    QCOMPARE(previous.count(), 1);
    const std::vector<std::string> spins = {"Spin pos 0 1\n", "Spin pos 1 1\n", "Spin pos 1 -1\n"};
    std::vector<std::string> seen;
    for (const std::string& text : capture_->Texts('D')) {
      if (text.rfind("Spin pos", 0) == 0) seen.push_back(text);
    }
    QCOMPARE(seen, spins);

    // The arrow keys do the same while the arrows have the focus.
    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QKeyEvent left(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
    QApplication::sendEvent(viewer_->Spin(), &right);
    QApplication::sendEvent(viewer_->Spin(), &left);
    QCOMPARE(next.count(), 3);
    QCOMPARE(previous.count(), 2);
  }

  void anEmptySetSendsNothingEvenWithTheArrowsEnabled() {
    QSignalSpy next(viewer_, &CDealViewer::NextDeal);
    QSignalSpy previous(viewer_, &CDealViewer::PreviousDeal);
    viewer_->SetDeals(DealSet());
    QVERIFY(!viewer_->Spin()->isEnabled());
    viewer_->EnableSpin(true);
    viewer_->Spin()->Step(+1);
    viewer_->Spin()->Step(-1);
    QCOMPARE(next.count() + previous.count(), 0);
    QVERIFY(capture_->Contains('D', "Loading 0 deals\n"));
  }

 private:
  std::unique_ptr<ScratchEnvironment> scratch_;
  std::unique_ptr<QWidget> host_;
  std::unique_ptr<TraceCapture> capture_;
  CDealViewer* viewer_ = nullptr;
};

QTEST_MAIN(DealViewerTest)
#include "tst_dealviewer.moc"
