// Page 3: deals the chosen range of the chosen deal file, in the chosen number of copies, one
// start at a time, and shows what was just dealt.
#pragma once

#include <QFont>
#include <QTimer>
#include <array>
#include <cstdint>
#include <string>

#include "DealSet.h"
#include "GenericChildDialog.h"
#include "MachineHost.h"

class CColorStatic;
class CDealViewer;
class CFocusEditCtrl;
class FooButton;
class QLabel;
class QPlainTextEdit;

class Page_DealMenu : public GenericChildDialog {
  Q_OBJECT

 public:
  static constexpr unsigned kTemplateId = 1074;
  static constexpr int kTimerId = 1074;
  static constexpr int kTickMs = 20;
  static constexpr uint32_t kPollMs = 100;
  static constexpr int kTrayDebounce = 5;

  static constexpr int kFileNameId = 1110;
  static constexpr int kInfoLineId = 1109;
  static constexpr int kViewerFrameId = 1088;
  static constexpr int kCopiesId = 1002;
  static constexpr int kSummaryId = 1057;
  static constexpr int kJustDealtId = 1144;
  static constexpr int kDealTextId = 1145;
  static constexpr int kCopyTextId = 1146;
  static constexpr int kResetId = 1066;
  static constexpr int kStartNextId = 1065;
  static constexpr int kFirstHandLineId = 1120;  // group g: 1120 + 4g .. 1123 + 4g
  static constexpr int kColumnLabelIds[4] = {1136, 1140, 1142, 1143};

  enum class RunState { Idle, Sorting };

  Page_DealMenu(const char* name, MachineHost* host);
  ~Page_DealMenu() override;
  unsigned GetTemplateID() const override { return kTemplateId; }

  // One step of the run; the 20 ms timer calls it, tests call it directly.
  void OnTimer();

  // The operator's actions.
  void OnStartNext();
  void OnReset();
  void OnCopiesChanged();
  void OnNextDeal();
  void OnPreviousDeal();

  // The 52 pocket digits for a deal under a sort order (0 "NESW", 1 "NEWS", 2 "SWEN"), card
  // number n at position n - 1; "0" stands where no pocket was given. Empty for an unknown
  // sort order.
  static std::string PocketText(const Deal& deal, int sort_order);
  // The operator's words for a card the machine read twice, from a reply such as
  // "HD already read in pocket 3"; the reply unchanged when it does not name such a card.
  static std::string CardDescription(const std::string& reply);

  // What tests look at.
  RunState State() const { return m_RunState; }
  int DealCounter() const { return m_DealCounter; }
  int NumberOfCopies() const { return m_NumberOfCopies; }
  bool TimerRunning() const { return m_Timer.isActive(); }
  const DealSet& Deals() const { return m_Deals; }
  CDealViewer* Viewer() const { return m_Viewer; }
  CFocusEditCtrl* CopiesField() const { return m_Copies; }
  FooButton* StartNextButton() const { return m_StartNext; }
  FooButton* ResetButton() const { return m_Reset; }
  QLabel* InfoLine() const { return m_InfoLine; }
  QLabel* FileName() const { return m_FileName; }
  QLabel* DealText() const { return m_DealText; }
  QLabel* CopyText() const { return m_CopyText; }
  QPlainTextEdit* Summary() const { return m_Summary; }
  CColorStatic* HandLine(int group, int suit) const { return m_HandLines[group * 4 + suit]; }
  QLabel* ColumnLabel(int column) const { return m_ColumnLabels[column]; }

  // The process-wide nesting depth, poll time and tray debounce back at their start (tests).
  static void ResetSharedStateForTests();

 protected:
  bool OnInitDialog() override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void OnShow();
  void OnHide();
  void UpdateControls();
  void PollSorting();
  void PollStartTriggers();
  void StartDeal();
  bool RefuseStart();
  void ShowJustDealt(const Deal& deal, int sort_order);
  void ClearHandLines();
  int Total() const;
  // Copy and position within the range of the send numbered `counter`.
  void CopyAndPosition(int counter, int& copy, int& position) const;
  bool RangeUsable() const;
  bool RangeInDealSet() const;

  MachineHost* m_Host;
  DealSet m_Deals;
  CDealViewer* m_Viewer = nullptr;
  QTimer m_Timer;
  unsigned m_TimerId = 0;

  int m_StartDeal = -1;
  int m_NumberOfDeal = -1;
  int m_NumberOfCopies = -1;
  RunState m_RunState = RunState::Idle;
  bool m_StartRequest = false;
  int m_DealCounter = 1;
  bool m_AdjustConfirmed = false;
  bool m_LoadFailed = false;
  bool m_Shown = false;

  int m_CardBarcode = 0;
  int m_DealOrder = 0;
  int m_SortOrder = 0;
  int m_StopCard = 0;
  int m_ButtonStart = 0;
  int m_TrayStart = 0;

  QFont m_SmallFont;
  QFont m_LargeFont;
  QLabel* m_FileName = nullptr;
  QLabel* m_InfoLine = nullptr;
  CFocusEditCtrl* m_Copies = nullptr;
  QPlainTextEdit* m_Summary = nullptr;
  QLabel* m_JustDealt = nullptr;
  QLabel* m_DealText = nullptr;
  QLabel* m_CopyText = nullptr;
  FooButton* m_Reset = nullptr;
  FooButton* m_StartNext = nullptr;
  std::array<QLabel*, 4> m_ColumnLabels{};
  std::array<CColorStatic*, 16> m_HandLines{};
};
