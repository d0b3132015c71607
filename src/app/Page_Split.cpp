#include "Page_Split.h"

#include <QGroupBox>
#include <QHideEvent>
#include <QLabel>
#include <QShowEvent>
#include <cstdio>
#include <string>

#include "FooButton.h"
#include "MachineSetup.h"
#include "MachineStatus.h"
#include "MessageBox.h"
#include "RadioListBox.h"
#include "Settings.h"
#include "log.h"

Page_Split::Page_Split(const char* name, MachineHost* host)
    : GenericChildDialog(name), m_Host(host), m_Send(CommandCallOf(host)) {
  m_bStatusBar = 0;
  m_Timer.setInterval(kTickMs);
  connect(&m_Timer, &QTimer::timeout, this, &Page_Split::OnTimer);
}

void Page_Split::ResetSharedStateForTests() {
  SplitJob::Shared() = JobShared{};
}

bool Page_Split::OnInitDialog() {
  GenericChildDialog::OnInitDialog();
  setFont(DialogFont("Verdana", 10));
  SetTemplateSize(332, 264);
  TRACE('D', "Split menu init\n");

  auto* count_frame = new QGroupBox(QStringLiteral("Split count"), this);
  PlaceControl(count_frame, -1, "splitCountFrame", QRect(10, 10, 130, 50));
  m_SplitCount = new CRadioListBox(this);
  PlaceControl(m_SplitCount, kSplitCountId, "splitCount", QRect(16, 22, 118, 32));
  m_SplitCount->SetTransparent(true);
  m_SplitCount->InsertString(0, "Split at 13");
  m_SplitCount->InsertString(1, "Split at 26");

  m_Start = new FooButton(QStringLiteral("Start Split"), this);
  PlaceControl(m_Start, kStartSplitId, "startSplit", QRect(160, 14, 80, 22));
  m_Continue = new FooButton(QStringLiteral("Continue"), this);
  PlaceControl(m_Continue, kContinueId, "continueSplit", QRect(160, 40, 80, 22));
  connect(m_Start, &QPushButton::clicked, this, &Page_Split::OnStartSplit);
  connect(m_Continue, &QPushButton::clicked, this, &Page_Split::OnContinue);

  // Left to right: pockets 4, 3, 2, 1.
  static const char* const kLabels[5] = {"", "COPIES", "DECK 2", "DECK 1", "STOP CARD"};
  for (int pocket = 4; pocket >= 1; --pocket) {
    const int x = 10 + (4 - pocket) * 80;
    char object_name[32];
    std::snprintf(object_name, sizeof object_name, "pocketMark%i", pocket);
    m_PocketMarks[pocket] = new FooButton(this);
    PlaceControl(m_PocketMarks[pocket], kPocketMarkIds[pocket], object_name, QRect(x, 90, 72, 60));
    std::snprintf(object_name, sizeof object_name, "pocketLabel%i", pocket);
    auto* label = new QLabel(QString::fromLatin1(kLabels[pocket]), this);
    label->setAlignment(Qt::AlignHCenter);
    PlaceControl(label, -1, object_name, QRect(x, 154, 72, 12));
  }

  m_Continue->setEnabled(false);
  for (int pocket = 1; pocket <= 4; ++pocket) {
    m_PocketMarks[pocket]->setEnabled(false);
  }
  return true;
}

void Page_Split::showEvent(QShowEvent* event) {
  GenericChildDialog::showEvent(event);
  // Only the host's show counts; the main window coming back from the task bar is not a show.
  if (!m_Shown) {
    m_Shown = true;
    OnShow();
  }
}

void Page_Split::hideEvent(QHideEvent* event) {
  GenericChildDialog::hideEvent(event);
  if (m_Shown && isHidden()) {
    m_Shown = false;
    OnHide();
  }
}

void Page_Split::OnShow() {
  const int stored = ReadSettingInt("Split", "SplitCount", 0);
  m_SplitCount->SetCurSel(stored == 0 || stored == 1 ? stored : 0);
  m_Job.Begin(ReadSettingInt("Parameters", "buttonstart", 0),
              ReadSettingInt("Parameters", "traystart", 0));

  m_CardBarcode = ReadSettingInt("Parameters", "CardBarcode", 0);
  if (m_Job.state() != kIdle) {
    // The job goes on in the machine: its settings were sent when it began, and nothing but
    // the job's own lines may reach the machine until it is done.
    m_ShowWaiting = m_Job.state() == kSplitting;
    if (m_ShowWaiting) {
      m_Host->SetStatusText("The machine is still splitting");
    }
  } else {
    SwitchOffMachineTriggers(m_Send, [] { TRACE('W', "Error sending command\n"); });
    // A barcode the machine did not take leaves the page usable: the status line says so and
    // the next start or continue sends it again first.
    m_SetupPending = !Configure();
  }
  m_Timer.start();
  m_TimerId = kTimerId;
}

bool Page_Split::Configure() {
  const SetupResult setup = SendSettings(m_Send, {BarcodeCommand(m_CardBarcode)});
  if (setup.refused == nullptr) {
    return true;
  }
  TRACE('W', "Setting not taken: %s\n", setup.refused);
  m_Host->SetStatusText(setup.text.c_str());
  return false;
}

void Page_Split::OnHide() {
  m_Timer.stop();
  m_TimerId = 0;
  WriteSettingInt("Split", "SplitCount", m_SplitCount->GetCurSel());
}

void Page_Split::SetPocketMarks(const char* text) {
  for (int pocket = 1; pocket <= 4; ++pocket) {
    m_PocketMarks[pocket]->setText(QString::fromLatin1(text));
  }
}

void Page_Split::OnTimer() {
  const TickGuard guard(SplitJob::Shared().nesting_depth);
  if (!guard.Entered()) {
    return;
  }
  TRACE('T', "Split menu Timer\n");
  // A box the operator is answering holds the job: no start or continue is taken under it.
  if (OpenMessageBoxes() > 0) {
    return;
  }
  switch (m_Job.state()) {
    case kIdle:
    case kWaitingForRemoval:
      PollTriggersAndRequests();
      break;
    case kSplitting:
      PollSplitting();
      break;
  }
}

void Page_Split::PollTriggersAndRequests() {
  using Source = StartTrigger::Source;
  const auto traced = [](SplitJob::Request request, Source source) {
    if (request == SplitJob::Request::kStart) {
      if (source == Source::kTray) {
        TRACE('I', "Starting split due to tray\n");
      } else {
        TRACE('I', "Starting split due to button\n");
      }
    } else if (source == Source::kTray) {
      TRACE('I', "Continuing split due to tray\n");
    } else {
      TRACE('I', "Continuing split due to button\n");
    }
  };
  switch (m_Job.PollTriggers(m_Send, traced)) {
    case StartTrigger::Result::kTrayError:
      TRACE('W', "Error sending traystat\n");
      return;
    case StartTrigger::Result::kButtonError:
      TRACE('W', "Error sending butstat\n");
      return;
    case StartTrigger::Result::kOk:
      break;
  }
  const SplitJob::Request request = m_Job.TakeRequest();
  if (request != SplitJob::Request::kNone && m_SetupPending) {
    if (!Configure()) {
      return;
    }
    m_SetupPending = false;
  }
  switch (request) {
    case SplitJob::Request::kStart:
      StartSplit();
      break;
    case SplitJob::Request::kContinue:
      ContinueSplit();
      break;
    case SplitJob::Request::kNone:
      break;
  }
}

void Page_Split::StartSplit() {
  TRACE('I', "Starting split\n");
  switch (m_Job.Start(m_SplitCount->GetCurSel(), m_Send)) {
    case SplitJob::Sent::kIllegalCount:
      TRACE('W', "Illigal split value\n");
      return;
    case SplitJob::Sent::kRefused:
      ShowMessageBox("Error sending split command", "", BoxButtons::Ok);
      return;
    case SplitJob::Sent::kAccepted:
      break;
  }
  SetPocketMarks("");
  m_Host->SetStatusText("Starting split");
  m_Start->setText(QStringLiteral("Restart split"));
  DisableKeepingFocus(m_Start);
  DisableKeepingFocus(m_Continue);
}

void Page_Split::ContinueSplit() {
  if (!m_Job.Continue(m_Send)) {
    ShowMessageBox("Error sending split continue command", "", BoxButtons::Ok);
    return;
  }
  SetPocketMarks("");
  DisableKeepingFocus(m_Start);
  DisableKeepingFocus(m_Continue);
}

void Page_Split::PollSplitting() {
  const SplitJob::Poll poll = m_Job.PollSplitting(m_Send);
  if (poll.kind != SplitJob::Poll::kNotDue && poll.kind != SplitJob::Poll::kBusy &&
      poll.kind != SplitJob::Poll::kLinkLost) {
    m_ShowWaiting = false;
  }
  switch (poll.kind) {
    case SplitJob::Poll::kNotDue:
      return;
    case SplitJob::Poll::kTimedOut:
      TRACE('W', "Split not done within %u ms\n", static_cast<unsigned>(kSplitLimitMs));
      m_Host->SetStatusText(("The machine did not finish the split within " +
                             std::to_string(kSplitLimitMs / 1000) + " s")
                                .c_str());
      m_Start->setText(QStringLiteral("Start split"));
      m_Start->setEnabled(true);
      m_Continue->setEnabled(false);
      ShowMessageBox("split failed", "", BoxButtons::Ok);
      return;
    case SplitJob::Poll::kRemove:
      TRACE('D', "response was :%s\n", poll.reply.c_str());
      TRACE('I', "Pocket %i\n", poll.pocket);
      m_PocketMarks[poll.pocket]->setText(QStringLiteral("REMOVE"));
      m_Host->SetStatusText("Remove cards");
      m_Start->setEnabled(true);
      m_Continue->setEnabled(true);
      m_Continue->setFocus();
      return;
    case SplitJob::Poll::kDone:
      TRACE('D', "response was :%s\n", poll.reply.c_str());
      m_Host->SetStatusText("Done splitting");
      SetPocketMarks("REMOVE");
      m_Start->setEnabled(true);
      m_Start->setText(QStringLiteral("Start split"));
      m_Continue->setEnabled(false);
      ShowMessageBox("Done splitting", "Congratulations", BoxButtons::Ok);
      return;
    case SplitJob::Poll::kBusy:
      if (m_ShowWaiting) {
        m_Host->SetStatusText("The machine is still splitting");
        return;
      }
      break;
    case SplitJob::Poll::kLinkLost:
    case SplitJob::Poll::kFailed:
      break;
  }
  std::string status_text;
  m_Host->StatusCodeText(poll.code, status_text);
  m_Host->SetStatusText(status_text.c_str());
  if (poll.kind == SplitJob::Poll::kFailed) {
    m_Start->setText(QStringLiteral("Start split"));
    m_Start->setEnabled(true);
    m_Continue->setEnabled(false);
    ShowMessageBox("split failed", "", BoxButtons::Ok);
  }
}

void Page_Split::FocusOnShow() {
  if (m_Start->isEnabled()) {
    m_Start->setFocus(Qt::OtherFocusReason);
  } else {
    GenericChildDialog::FocusOnShow();
  }
}

void Page_Split::OnStartSplit() {
  m_Job.RequestStart();
}

void Page_Split::OnContinue() {
  m_Job.RequestContinue();
}
