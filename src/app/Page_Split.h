// Page 4: the machine's split job, which separates mixed cards into decks and stops whenever a
// pocket must be emptied.
#pragma once

#include <QTimer>
#include <array>
#include <cstdint>

#include "GenericChildDialog.h"
#include "MachineHost.h"
#include "SplitJob.h"

class CRadioListBox;
class FooButton;

class Page_Split : public GenericChildDialog {
  Q_OBJECT

 public:
  static constexpr unsigned kTemplateId = 1076;
  static constexpr int kTimerId = 1076;
  static constexpr int kTickMs = 20;
  static constexpr uint32_t kPollMs = ::kPollMs;

  static constexpr int kSplitCountId = 1101;
  static constexpr int kStartSplitId = 1112;
  static constexpr int kContinueId = 1008;
  // Pocket marks by pocket number 1..4 (index 0 unused).
  static constexpr int kPocketMarkIds[5] = {0, 1113, 1114, 1115, 1116};

  using SplitState = SplitJob::State;
  static constexpr SplitState kIdle = SplitJob::kIdle;
  static constexpr SplitState kWaitingForRemoval = SplitJob::kWaitingForRemoval;
  static constexpr SplitState kSplitting = SplitJob::kSplitting;

  Page_Split(const char* name, MachineHost* host);
  unsigned GetTemplateID() const override { return kTemplateId; }

  // One step of the job; the 20 ms timer calls it, tests call it directly.
  void OnTimer();
  void OnStartSplit();
  void OnContinue();

  int State() const { return m_Job.state(); }
  bool TimerRunning() const { return m_Timer.isActive(); }
  CRadioListBox* SplitCount() const { return m_SplitCount; }
  FooButton* StartButton() const { return m_Start; }
  FooButton* ContinueButton() const { return m_Continue; }
  FooButton* PocketMark(int pocket) const { return m_PocketMarks[pocket]; }

  // The process-wide nesting depth, poll time and tray debounce back at their start (tests).
  static void ResetSharedStateForTests();

  // "Start split" when it can be pressed, else the page.
  void FocusOnShow() override;

 protected:
  bool OnInitDialog() override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void OnShow();
  void OnHide();
  // Sends the machine the barcode; false, with the status line saying why, when it did not take it.
  bool Configure();
  void PollTriggersAndRequests();
  void StartSplit();
  void ContinueSplit();
  void PollSplitting();
  void SetPocketMarks(const char* text);

  MachineHost* m_Host;
  SendCommand m_Send;
  SplitJob m_Job;
  int m_CardBarcode = 0;
  bool m_SetupPending = false;  // the machine did not take the barcode yet
  bool m_ShowWaiting = false;   // shown while the machine was splitting: says it waits
  QTimer m_Timer;
  unsigned m_TimerId = 0;
  bool m_Shown = false;

  CRadioListBox* m_SplitCount = nullptr;
  FooButton* m_Start = nullptr;
  FooButton* m_Continue = nullptr;
  std::array<FooButton*, 5> m_PocketMarks{};
};
