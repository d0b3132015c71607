// Page 3: deals the chosen range of the chosen deal file, in the chosen number of copies, one
// start at a time, and shows what was just dealt.
#pragma once

#include <QFont>
#include <QTimer>
#include <array>
#include <cstdint>
#include <string>

#include "DealRun.h"
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
  static constexpr uint32_t kPollMs = ::kPollMs;

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

  using RunState = DealRun::State;

  Page_DealMenu(const char* name, MachineHost* host);
  ~Page_DealMenu() override = default;
  unsigned GetTemplateID() const override { return kTemplateId; }

  // One step of the run; the 20 ms timer calls it, tests call it directly.
  void OnTimer();

  // The operator's actions.
  void OnStartNext();
  void OnReset();
  void OnCopiesChanged();
  void OnNextDeal();
  void OnPreviousDeal();

  // The pocket text the page sends for a deal (see ::PocketText); a card number that is no
  // card is traced here.
  static std::string PocketText(const Deal& deal, int sort_order);

  // What tests look at.
  RunState State() const { return m_Run.state(); }
  int DealCounter() const { return m_Run.DealCounter(); }
  int NumberOfCopies() const { return m_Run.NumberOfCopies(); }
  bool TimerRunning() const { return m_Timer.isActive(); }
  const DealSet& Deals() const { return m_Run.Deals(); }
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

  // Start/Next when it can be pressed, else the page.
  void FocusOnShow() override;
  // A show that found the deck of an earlier show still in the machine waits for it.
  bool WaitingForMachine() const { return m_ShowWaiting; }

 protected:
  bool OnInitDialog() override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void OnShow();
  void BeginShow();
  void OnHide();
  void DeckEnded(DealRun::Poll::Kind kind);
  bool Configure();
  void LoadFile();
  void UpdateControls();
  void PollSorting();
  void PollStartTriggers();
  void StartDeal();
  void ShowJustDealt(const DealRun::Start& start);
  void ClearHandLines();
  void Step(bool forward);

  MachineHost* m_Host;
  SendCommand m_Send;
  DealRun m_Run;
  bool m_SetupPending = false;  // the machine did not take the stop card or barcode yet
  bool m_ShowWaiting = false;   // the show waits for the deck in the machine (see OnShow)
  CDealViewer* m_Viewer = nullptr;
  QTimer m_Timer;
  unsigned m_TimerId = 0;
  bool m_Shown = false;

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
