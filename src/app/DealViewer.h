// The deal viewer: one deal of a deal set drawn as a bridge diagram (four hands of four suit
// lines around a table with four information lines), and a pair of arrows with which the
// operator asks the owning page for the next or the previous deal.
#pragma once

#include <QWidget>
#include <array>

#include "DealSet.h"
#include "GenericChildDialog.h"

class CColorStatic;
class QLabel;
class QToolButton;

// A horizontal pair of arrows with a range and a position, worked by mouse or arrow keys. It
// reports every requested step before it moves, so that its owner can act on the step even at
// the end of the range.
class CDealSpin : public QWidget {
  Q_OBJECT

 public:
  explicit CDealSpin(QWidget* parent = nullptr);

  void SetRange(int lower, int upper);
  void SetPos(int pos);
  int GetPos() const { return m_Pos; }
  int Lower() const { return m_Lower; }
  int Upper() const { return m_Upper; }

  // One step as a click on an arrow makes it: +1 right, -1 left.
  void Step(int delta);

 signals:
  // Sent before the position changes, with the position and the requested change.
  void DeltaPos(int pos, int delta);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QToolButton* m_Left;
  QToolButton* m_Right;
  int m_Lower = 0;
  int m_Upper = 0;
  int m_Pos = 0;
};

class CDealViewer : public GenericChildDialog {
  Q_OBJECT

 public:
  static constexpr unsigned kTemplateId = 1084;
  static constexpr int kSpinId = 1060;
  static constexpr int kInfoTopId = 1144;
  static constexpr int kInfoIds[3] = {1105, 1107, 1108};
  // Suit lines by hand (North, East, South, West), then suit (spades, hearts, diamonds, clubs).
  static constexpr int kSuitLineIds[4][4] = {{1061, 1062, 1063, 1064},
                                             {1089, 1090, 1091, 1092},
                                             {1093, 1094, 1095, 1096},
                                             {1097, 1098, 1099, 1100}};

  explicit CDealViewer(const char* name = "DealViewer");
  unsigned GetTemplateID() const override { return kTemplateId; }

  // Takes a copy of the set, points the arrows at its range and shows its first deal.
  bool SetDeals(const DealSet& deals);
  // Shows deal `n` (counting from 1); a number below 1 or above the deal count shows none.
  void ShowDeal(int n);
  // Takes effect at the next redraw.
  void SetDealVisible(bool visible) { m_DealVisible = visible; }
  bool DealVisible() const { return m_DealVisible; }
  // The 0-based index of the deal shown; negative when none is.
  int GetCurrentDeal() const { return m_CurrentDeal; }
  void EnableSpin(bool enable);
  // The fourth text is the top line; the first three follow it down the table.
  void SetInfo(const char* first, const char* second, const char* third, const char* fourth);

  const DealSet& Deals() const { return m_Deals; }
  CColorStatic* SuitLine(int hand, int suit) const { return m_SuitLines[hand][suit]; }
  CDealSpin* Spin() const { return m_Spin; }

 signals:
  void NextDeal();
  void PreviousDeal();

 protected:
  bool OnInitDialog() override;

 private:
  void Redraw();
  void OnDeltaPos(int pos, int delta);

  DealSet m_Deals;
  int m_CurrentDeal = -1;
  bool m_DealVisible = false;
  std::array<std::array<CColorStatic*, 4>, 4> m_SuitLines{};
  QLabel* m_InfoTop = nullptr;
  std::array<QLabel*, 3> m_Info{};
  CDealSpin* m_Spin = nullptr;
};
