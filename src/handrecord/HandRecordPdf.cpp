#include "HandRecordPdf.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "BoardInfo.h"
#include "BoardText.h"
#include "Fileutils.h"
#include "version.h"

namespace {

constexpr int kColumns = 2;
constexpr int kRows = 3;
constexpr int kBoardsPerPage = kColumns * kRows;
constexpr int kResolution = 600;  // dots per inch; text stays vector text either way
const QColor kRed(200, 0, 0);

// A suit's symbol, or "NT", as the hand record shows it.
QString StrainSymbol(int strain) {
  return QString::fromStdString(StrainText(strain, true));
}

bool IsRed(int suit) {
  return suit == kHearts || suit == kDiamonds;
}

class PageDrawer {
 public:
  PageDrawer(QPainter& painter, const QRectF& area)
      : painter_(painter), area_(area), mm_(kResolution / 25.4) {}

  // The title, the fingerprint right beside it and the page number on the right. A long title is
  // cut short rather than drawn over the fingerprint.
  void Header(const QString& title, const QString& fingerprint, int page, int pages) {
    painter_.setFont(Font(11, true));
    const QRectF line(area_.left(), area_.top(), area_.width(), Mm(6));
    painter_.setPen(Qt::black);
    const QFontMetricsF metrics(painter_.font());
    const QString shown = metrics.elidedText(title, Qt::ElideRight, area_.width() - Mm(70));
    painter_.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, shown);
    painter_.setFont(Font(8, false));
    if (!fingerprint.isEmpty()) {
      painter_.drawText(line.adjusted(metrics.horizontalAdvance(shown) + Mm(4), 0, 0, 0),
                        Qt::AlignLeft | Qt::AlignVCenter,
                        QStringLiteral("Fingerprint %1").arg(fingerprint));
    }
    painter_.drawText(line, Qt::AlignRight | Qt::AlignVCenter,
                      QStringLiteral("page %1 of %2").arg(page).arg(pages));
    painter_.drawLine(QPointF(area_.left(), line.bottom() + Mm(1)),
                      QPointF(area_.right(), line.bottom() + Mm(1)));
  }

  void Footer(const QString& commitment) {
    painter_.setFont(Font(7, false));
    painter_.setPen(Qt::darkGray);
    const QRectF line(area_.left(), area_.bottom() - Mm(4), area_.width(), Mm(4));
    if (!commitment.isEmpty()) {
      painter_.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                        QStringLiteral("Seed commitment %1").arg(commitment));
    }
    painter_.drawText(line, Qt::AlignRight | Qt::AlignVCenter,
                      QStringLiteral("Double-dummy analysis by DDS. Quadrelle %1")
                          .arg(QString::fromLatin1(GetVersionText())));
  }

  // Board `slot` (0..5) of the page: two columns, three rows, under the header.
  void Board(const AnalysedBoard& board, int slot) {
    const double top = area_.top() + Mm(10);
    const double width = area_.width() / kColumns;
    const double height = (area_.height() - Mm(15)) / kRows;
    const QRectF cell(area_.left() + (slot % kColumns) * width, top + (slot / kColumns) * height,
                      width, height);
    const QRectF box = cell.adjusted(Mm(1.5), Mm(1.5), -Mm(1.5), -Mm(1.5));
    painter_.setPen(QPen(Qt::lightGray, Mm(0.2)));
    painter_.drawRect(box);

    // A 3 x 3 grid: North, West, East and South around the points in the middle.
    const QRectF inner = box.adjusted(Mm(2), Mm(2), -Mm(2), -Mm(9));
    const double cw = inner.width() / 3;
    const double ch = inner.height() / 3;
    auto grid = [&](int column, int row) {
      return QRectF(inner.left() + column * cw, inner.top() + row * ch, cw, ch);
    };
    Info(board, grid(0, 0));
    Hand(board.deal, kNorth, grid(1, 0));
    Hand(board.deal, kWest, grid(0, 1));
    Hand(board.deal, kEast, grid(2, 1).adjusted(Mm(3), 0, 0, 0));
    Hand(board.deal, kSouth, grid(1, 2));
    Points(board.deal, grid(1, 1));
    // The table reaches a little under South's corner, where short hands leave room.
    Table(board, grid(2, 2).adjusted(-Mm(4), 0, Mm(1), 0));
    Par(board.par, QRectF(box.left() + Mm(2), box.bottom() - Mm(7), box.width() - Mm(4), Mm(5)));
  }

 private:
  double Mm(double mm) const { return mm * mm_; }
  static QFont Font(double points, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
  }

  void Info(const AnalysedBoard& board, const QRectF& at) {
    painter_.setPen(Qt::black);
    painter_.setFont(Font(12, true));
    const double line = QFontMetricsF(painter_.font()).height();
    painter_.drawText(QPointF(at.left(), at.top() + line * 0.8),
                      QStringLiteral("Board %1").arg(board.number));
    painter_.setFont(Font(8.5, false));
    const double small = QFontMetricsF(painter_.font()).height();
    painter_.drawText(QPointF(at.left(), at.top() + line + small * 0.9),
                      QStringLiteral("Dealer %1").arg(HandLetter(BoardDealer(board.number))));
    painter_.drawText(
        QPointF(at.left(), at.top() + line + small * 1.9),
        QStringLiteral("Vul %1").arg(VulnerabilityText(BoardVulnerability(board.number))));
  }

  // Four lines, spades first: the symbol, then the ranks from the ace down ("10" for the ten).
  void Hand(const Deal& deal, int hand, const QRectF& at) {
    painter_.setFont(Font(10, false));
    const QFontMetricsF metrics(painter_.font());
    const double line = metrics.height() * 1.05;
    const double top = at.top() + (at.height() - 4 * line) / 2;
    bool held[kCardsInDeck + 1] = {};
    for (int i = 0; i < kCardsInHand; ++i) held[deal.HandCards(hand)[i]] = true;
    for (int suit = kSpades; suit <= kClubs; ++suit) {
      QString ranks;
      for (int rank = 0; rank < kCardsInHand; ++rank) {
        if (!held[CardNumber(suit, rank)]) continue;
        ranks += rank == 4 ? QStringLiteral("10") : QString(QLatin1Char(RankCharacter(rank)));
      }
      if (ranks.isEmpty()) ranks = QStringLiteral("\u2014");
      const QPointF base(at.left(), top + suit * line + metrics.ascent());
      const QString symbol = StrainSymbol(suit);
      painter_.setPen(IsRed(suit) ? kRed : Qt::black);
      painter_.drawText(base, symbol);
      painter_.setPen(Qt::black);
      painter_.drawText(base + QPointF(metrics.horizontalAdvance(symbol) + Mm(1), 0), ranks);
    }
  }

  // The compass in the middle: each hand's high-card points on its side.
  void Points(const Deal& deal, const QRectF& at) {
    const double side = Mm(15);
    const QRectF square(at.center().x() - side / 2, at.center().y() - side / 2, side, side);
    painter_.setPen(QPen(Qt::gray, Mm(0.3)));
    painter_.setBrush(QColor(242, 242, 242));
    painter_.drawRect(square);
    painter_.setBrush(Qt::NoBrush);
    painter_.setPen(Qt::black);
    painter_.setFont(Font(8, true));
    const double third = side / 3;
    const QRectF places[4] = {
        QRectF(square.left(), square.top(), side, third),
        QRectF(square.right() - third, square.top(), third, side),
        QRectF(square.left(), square.bottom() - third, side, third),
        QRectF(square.left(), square.top(), third, side),
    };
    for (int hand = kNorth; hand <= kWest; ++hand) {
      painter_.drawText(places[hand], Qt::AlignCenter, QString::number(HighCardPoints(deal, hand)));
    }
  }

  // Tricks by declarer (rows N, S, E, W) and strain (columns NT, spades .. clubs).
  void Table(const AnalysedBoard& board, const QRectF& at) {
    painter_.setFont(Font(8.5, false));
    const double line = QFontMetricsF(painter_.font()).height();
    const double column = std::min(Mm(6), at.width() / 6);  // the declarer and five strains
    const double top = at.bottom() - 5 * line;
    auto cell = [&](int col, int row) {
      return QRectF(at.left() + col * column, top + row * line, column, line);
    };
    for (int s = 0; s < kStrains; ++s) {
      const int strain = kTableStrains[s];
      painter_.setPen(strain != kNoTrumps && IsRed(strain) ? kRed : Qt::black);
      painter_.drawText(cell(s + 1, 0), Qt::AlignCenter, StrainSymbol(strain));
    }
    painter_.setPen(Qt::black);
    for (int r = 0; r < 4; ++r) {
      const int hand = kTableDeclarers[r];
      painter_.drawText(cell(0, r + 1), Qt::AlignCenter, QString::fromLatin1(HandLetter(hand)));
      for (int s = 0; s < kStrains; ++s) {
        painter_.drawText(cell(s + 1, r + 1), Qt::AlignCenter,
                          QString::number(board.tricks[hand][kTableStrains[s]]));
      }
    }
  }

  void Par(const ParResult& par, const QRectF& at) {
    painter_.setPen(Qt::black);
    painter_.setFont(Font(8.5, false));
    const QString text = par.contracts.empty()
                             ? QStringLiteral("Par 0: passed out")
                             : QStringLiteral("Par %1: %2")
                                   .arg(QString::fromStdString(ParScoreText(par)),
                                        QString::fromStdString(ParContractsText(par, true)));
    painter_.drawText(at, Qt::AlignLeft | Qt::AlignVCenter, text);
  }

  QPainter& painter_;
  const QRectF area_;
  const double mm_;
};

}  // namespace

QByteArray HandRecordPdf(const std::vector<AnalysedBoard>& boards, const QString& title,
                         const HandRecordMarks& marks) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  writer.setResolution(kResolution);
  writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                   QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
  writer.setTitle(title);
  writer.setCreator(QStringLiteral("Quadrelle"));
  QPainter painter(&writer);
  // The painter's origin is the corner of the printable area, inside the margins.
  PageDrawer page(painter,
                  QRectF(QPointF(0, 0), writer.pageLayout().paintRectPixels(kResolution).size()));
  const int pages =
      std::max<int>(1, (static_cast<int>(boards.size()) + kBoardsPerPage - 1) / kBoardsPerPage);
  for (int p = 0; p < pages; ++p) {
    if (p > 0) writer.newPage();
    page.Header(title, marks.fingerprint, p + 1, pages);
    for (int slot = 0; slot < kBoardsPerPage; ++slot) {
      const size_t index = static_cast<size_t>(p * kBoardsPerPage + slot);
      if (index < boards.size()) page.Board(boards[index], slot);
    }
    page.Footer(marks.commitment);
  }
  painter.end();
  return bytes;
}

bool WriteHandRecordPdf(const QString& path, const std::vector<AnalysedBoard>& boards,
                        const QString& title, QString& error, const HandRecordMarks& marks) {
  const QByteArray bytes = HandRecordPdf(boards, title, marks);
  if (bytes.isEmpty()) {
    error = QStringLiteral("the PDF could not be made");
    return false;
  }
  if (ReplaceFileContents(path.toLocal8Bit().constData(), bytes.constData(),
                          static_cast<size_t>(bytes.size())) != 1) {
    error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
  }
  return true;
}
