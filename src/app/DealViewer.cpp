#include "DealViewer.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QToolButton>

#include "ColorStatic.h"
#include "log.h"

namespace {

// Text colours of the suit lines: black suits and red suits, bright while a deal is shown and
// dimmed while none is.
const QColor kBlackSuitShown(0, 0, 0);
const QColor kRedSuitShown(255, 0, 0);
const QColor kBlackSuitDimmed(32, 32, 32);
const QColor kRedSuitDimmed(63, 0, 0);

bool IsRedSuit(int suit) {
  return suit == kHearts || suit == kDiamonds;
}

const char* const kHandNames[4] = {"north", "east", "south", "west"};
const char* const kSuitNames[4] = {"Spades", "Hearts", "Diamonds", "Clubs"};

// Layout of the hands: left edge, top of the first suit line, width.
struct HandPlace {
  int x;
  int y;
  int width;
};
constexpr HandPlace kHandPlaces[4] = {{82, 4, 48}, {138, 52, 54}, {82, 106, 48}, {0, 52, 48}};

// Which hand is which and which suit each line holds, beside the lines: a suit symbol takes the
// first 8 units of each line's place, the hand's letter stands beside its block.
constexpr int kSymbolWidth = 8;
const char* const kHandLetters[4] = {"N", "E", "S", "W"};
constexpr QPoint kHandLetterPlaces[4] = {{72, 4}, {138, 42}, {72, 106}, {0, 42}};
constexpr char16_t kSuitSymbols[4] = {u'\u2660', u'\u2665', u'\u2666', u'\u2663'};

}  // namespace

// --- CDealSpin -------------------------------------------------------------------------------

CDealSpin::CDealSpin(QWidget* parent)
    : QWidget(parent), m_Left(new QToolButton(this)), m_Right(new QToolButton(this)) {
  setFocusPolicy(Qt::StrongFocus);
  m_Left->setArrowType(Qt::LeftArrow);
  m_Right->setArrowType(Qt::RightArrow);
  m_Left->setObjectName("spinLeft");
  m_Right->setObjectName("spinRight");
  for (QToolButton* arrow : {m_Left, m_Right}) {
    // Keyboard focus stays on the pair, so the arrow keys keep working after a click.
    arrow->setFocusPolicy(Qt::NoFocus);
    arrow->setAutoRepeat(true);
  }
  connect(m_Left, &QToolButton::clicked, this, [this] { Step(-1); });
  connect(m_Right, &QToolButton::clicked, this, [this] { Step(+1); });
}

void CDealSpin::SetRange(int lower, int upper) {
  m_Lower = lower;
  m_Upper = upper;
  SetPos(m_Pos);
}

void CDealSpin::SetPos(int pos) {
  m_Pos = std::max(m_Lower, std::min(pos, m_Upper));
}

void CDealSpin::Step(int delta) {
  if (!isEnabled()) return;
  emit DeltaPos(m_Pos, delta);
  SetPos(m_Pos + delta);
}

void CDealSpin::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Right:
    case Qt::Key_Up:
      Step(+1);
      event->accept();
      return;
    case Qt::Key_Left:
    case Qt::Key_Down:
      Step(-1);
      event->accept();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

void CDealSpin::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int half = width() / 2;
  m_Left->setGeometry(0, 0, half, height());
  m_Right->setGeometry(half, 0, width() - half, height());
}

// --- CDealViewer -----------------------------------------------------------------------------

CDealViewer::CDealViewer(const char* name) : GenericChildDialog(name) {
  m_bStatusBar = 0;
}

bool CDealViewer::OnInitDialog() {
  GenericChildDialog::OnInitDialog();
  setFont(DialogFont("Verdana", 10));
  SetTemplateSize(204, 165);

  auto* table = new QGroupBox(this);
  PlaceControl(table, -1, "table", QRect(58, 46, 66, 60));

  for (int hand = 0; hand < 4; ++hand) {
    const HandPlace& place = kHandPlaces[hand];
    auto* letter = new QLabel(QString::fromLatin1(kHandLetters[hand]), this);
    PlaceControl(letter, -1, (QByteArray(kHandNames[hand]) + "Label").constData(),
                 QRect(kHandLetterPlaces[hand], QSize(10, 8)));
    for (int suit = 0; suit < 4; ++suit) {
      const QByteArray name = QByteArray(kHandNames[hand]) + kSuitNames[suit];
      const int top = place.y + 12 * suit;
      auto* symbol = new CColorStatic(this);
      PlaceControl(symbol, -1, (name + "Symbol").constData(), QRect(place.x, top, kSymbolWidth, 8));
      symbol->setText(QString(QChar(kSuitSymbols[suit])));
      symbol->SetTextColour(IsRedSuit(suit) ? kRedSuitShown : kBlackSuitShown);
      auto* line = new CColorStatic(this);
      PlaceControl(line, kSuitLineIds[hand][suit], name.constData(),
                   QRect(place.x + kSymbolWidth, top, place.width - kSymbolWidth, 8));
      m_SuitLines[hand][suit] = line;
    }
  }

  m_InfoTop = new QLabel(this);
  PlaceControl(m_InfoTop, kInfoTopId, "infoTop", QRect(64, 53, 54, 12));
  const char* const info_names[3] = {"info1", "info2", "info3"};
  const int info_tops[3] = {64, 76, 88};
  for (int i = 0; i < 3; ++i) {
    m_Info[i] = new QLabel(this);
    PlaceControl(m_Info[i], kInfoIds[i], info_names[i], QRect(64, info_tops[i], 54, 12));
  }
  for (QLabel* line : {m_InfoTop, m_Info[0], m_Info[1], m_Info[2]}) {
    line->setAlignment(Qt::AlignCenter);
  }

  m_Spin = new CDealSpin(this);
  PlaceControl(m_Spin, kSpinId, "spin", QRect(6, 136, 40, 14));
  connect(m_Spin, &CDealSpin::DeltaPos, this, &CDealViewer::OnDeltaPos);

  TRACE('D', "DealViewer on init\n");
  SetInfo("", "", "", "");
  m_Deals.clear();
  Redraw();
  m_Spin->setEnabled(false);
  return true;
}

bool CDealViewer::SetDeals(const DealSet& deals) {
  m_Deals = deals;
  if (!m_Deals.empty()) {
    m_Spin->setEnabled(true);
    m_Spin->SetRange(0, static_cast<int>(m_Deals.size()) - 1);
  } else {
    m_Spin->setEnabled(false);
  }
  m_Spin->SetPos(0);
  TRACE('D', "Loading %u deals\n", static_cast<unsigned>(m_Deals.size()));
  m_CurrentDeal = 0;
  Redraw();
  update();
  return true;
}

void CDealViewer::ShowDeal(int n) {
  // A number past the end of the set names no deal: it is shown as none, never read.
  m_CurrentDeal = n >= 1 && static_cast<size_t>(n) <= m_Deals.size() ? n - 1 : -1;
  Redraw();
}

void CDealViewer::EnableSpin(bool enable) {
  m_Spin->setEnabled(enable);
}

void CDealViewer::SetInfo(const char* first, const char* second, const char* third,
                          const char* fourth) {
  m_InfoTop->setText(QString::fromLatin1(fourth));
  m_Info[0]->setText(QString::fromLatin1(first));
  m_Info[1]->setText(QString::fromLatin1(second));
  m_Info[2]->setText(QString::fromLatin1(third));
}

void CDealViewer::Redraw() {
  const bool shown = !m_Deals.empty() && m_DealVisible && m_CurrentDeal >= 0 &&
                     static_cast<size_t>(m_CurrentDeal) < m_Deals.size();
  if (shown) {
    for (int hand = 0; hand < 4; ++hand) {
      for (int suit = 0; suit < 4; ++suit) {
        m_SuitLines[hand][suit]->SetTextColour(IsRedSuit(suit) ? kRedSuitShown : kBlackSuitShown);
      }
    }
    const Deal& deal = m_Deals[static_cast<size_t>(m_CurrentDeal)];
    for (int hand = 0; hand < 4; ++hand) {
      QString texts[4];
      const uint8_t* cards = deal.HandCards(hand);
      for (int i = 0; i < kCardsInHand; ++i) {
        const int card = cards[i];
        if (card < 1 || card > kCardsInDeck) continue;
        texts[SuitIndex(card)] += QLatin1Char(RankCharacter(RankIndex(card)));
      }
      for (int suit = 0; suit < 4; ++suit) {
        m_SuitLines[hand][suit]->setText(texts[suit].isEmpty() ? QStringLiteral("-") : texts[suit]);
      }
    }
    return;
  }

  if (m_Deals.empty()) TRACE('D', "Not showing deals cause size == 0\n");
  if (!m_DealVisible) TRACE('D', "Not showing deals cause !m_DealVisible\n");
  if (m_CurrentDeal < 0) TRACE('D', "Not showing deals cause m_CurrentDeal < 0\n");
  for (int hand = 0; hand < 4; ++hand) {
    for (int suit = 0; suit < 4; ++suit) {
      m_SuitLines[hand][suit]->setText(QStringLiteral("--"));
      m_SuitLines[hand][suit]->SetTextColour(IsRedSuit(suit) ? kRedSuitDimmed : kBlackSuitDimmed);
    }
  }
}

void CDealViewer::OnDeltaPos(int pos, int delta) {
  if (m_Deals.empty()) return;
  TRACE('D', "Spin pos %i %i\n", pos, delta);
  if (delta > 0) {
    emit NextDeal();
  } else {
    emit PreviousDeal();
  }
}
