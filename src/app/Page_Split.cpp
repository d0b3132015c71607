#include "Page_Split.h"

#include <QGroupBox>
#include <QHideEvent>
#include <QLabel>
#include <QShowEvent>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FooButton.h"
#include "MachineStatus.h"
#include "MessageBox.h"
#include "RadioListBox.h"
#include "Settings.h"
#include "clock.h"
#include "log.h"
#include "regexpclass.h"

namespace {

constexpr size_t kReplySize = 280;
const char* const kRemovalPattern = "00 Remove ([0-9][0-9]) cards from ([1-4])";

// Shared by every split page of the process, apart from the deal menu's.
int g_nesting_depth = 0;
uint32_t g_next_poll = 0;
int g_tray_debounce = 0;
RegexpClass* g_removal = nullptr;  // compiled once, kept until the process ends

}  // namespace

Page_Split::Page_Split(const char* name, MachineHost* host)
    : GenericChildDialog(name), m_Host(host) {
  m_bStatusBar = 0;
  m_Timer.setInterval(kTickMs);
  connect(&m_Timer, &QTimer::timeout, this, &Page_Split::OnTimer);
}

void Page_Split::ResetSharedStateForTests() {
  g_nesting_depth = 0;
  g_next_poll = 0;
  g_tray_debounce = 0;
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

  m_SplitState = kIdle;
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
  // A start or continue pressed before the page was last hidden (the machine went away) is not
  // carried over: the operator presses again once the cards are in place.
  m_StartRequest = false;
  m_ContinueRequest = false;
  const int stored = ReadSettingInt("Split", "SplitCount", 0);
  m_SplitCount->SetCurSel(stored == 0 || stored == 1 ? stored : 0);
  m_ButtonStart = ReadSettingInt("Parameters", "buttonstart", 0);
  m_TrayStart = ReadSettingInt("Parameters", "traystart", 0);

  char reply[kReplySize] = {};
  if (m_Host->SendMachineCommand("BUTTONSTART OFF", reply, sizeof reply) != machine_status::kOk) {
    TRACE('W', "Error sending command\n");
  }
  if (m_Host->SendMachineCommand("TRAYSTART OFF", reply, sizeof reply) != machine_status::kOk) {
    TRACE('W', "Error sending command\n");
  }
  m_CardBarcode = ReadSettingInt("Parameters", "CardBarcode", 0);
  const char* command = m_CardBarcode != 0 ? "BARCODE 5BAR" : "BARCODE 7BAR";
  if (m_Host->SendMachineCommand(command, reply, sizeof reply) == machine_status::kOk) {
    m_Timer.start();
    m_TimerId = kTimerId;
  }
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
  ++g_nesting_depth;
  if (g_nesting_depth > 1) {
    --g_nesting_depth;
    return;
  }
  TRACE('T', "Split menu Timer\n");
  if (g_removal == nullptr) {
    g_removal = new RegexpClass(kRemovalPattern);
  }
  switch (m_SplitState) {
    case kIdle:
    case kWaitingForRemoval:
      PollTriggersAndRequests();
      break;
    case kSplitting:
      PollSplitting();
      break;
    default:
      break;
  }
  --g_nesting_depth;
}

void Page_Split::PollTriggersAndRequests() {
  char reply[kReplySize] = {};
  const bool idle = m_SplitState == kIdle;
  if (m_TrayStart != 0) {
    const int code = m_Host->SendMachineCommand("TRAYSTAT", reply, sizeof reply);
    if (code == machine_status::kYes) {
      if (g_tray_debounce == 0) {
        if (idle) {
          m_StartRequest = true;
          TRACE('I', "Starting split due to tray\n");
        } else {
          m_ContinueRequest = true;
          TRACE('I', "Continuing split due to tray\n");
        }
      }
      g_tray_debounce = kTrayDebounce;
    } else if (code == machine_status::kNo) {
      if (g_tray_debounce > 0) {
        --g_tray_debounce;
      }
    } else {
      TRACE('W', "Error sending traystat\n");
      return;
    }
  }
  if (m_ButtonStart != 0) {
    const int code = m_Host->SendMachineCommand("BUTSTAT", reply, sizeof reply);
    if (code == machine_status::kYes) {
      if (idle) {
        m_StartRequest = true;
        TRACE('I', "Starting split due to button\n");
      } else {
        m_ContinueRequest = true;
        TRACE('I', "Continuing split due to button\n");
      }
    } else if (code != machine_status::kNo) {
      TRACE('W', "Error sending butstat\n");
      return;
    }
  }

  if (m_StartRequest) {
    m_StartRequest = false;
    m_ContinueRequest = false;
    TRACE('I', "Starting split\n");
    const char* command = nullptr;
    switch (m_SplitCount->GetCurSel()) {
      case 0:
        command = "SPLIT 13";
        break;
      case 1:
        command = "SPLIT 26";
        break;
      default:
        TRACE('W', "Illigal split value\n");
        return;
    }
    const int code = m_Host->SendMachineCommand(command, reply, sizeof reply);
    if (!machine_status::IsSplitAcknowledgement(code, reply)) {
      m_SplitState = kIdle;
      ShowMessageBox("Error sending split command", "", BoxButtons::Ok);
      return;
    }
    SetPocketMarks("");
    m_SplitState = kSplitting;
    m_Host->SetStatusText("Starting split");
    m_Start->setText(QStringLiteral("Restart split"));
    m_Start->setEnabled(false);
    m_Continue->setEnabled(false);
  } else if (m_ContinueRequest) {
    m_StartRequest = false;
    m_ContinueRequest = false;
    const int code = m_Host->SendMachineCommand("SPLIT CONTINUE", reply, sizeof reply);
    if (!machine_status::IsSplitAcknowledgement(code, reply)) {
      m_SplitState = kIdle;
      ShowMessageBox("Error sending split continue command", "", BoxButtons::Ok);
      return;
    }
    SetPocketMarks("");
    m_SplitState = kSplitting;
    m_Start->setEnabled(false);
    m_Continue->setEnabled(false);
  }
}

void Page_Split::PollSplitting() {
  const uint32_t now = qclock::GetTickCount();
  // Not yet due while the poll time lies at most one interval ahead; measured so that the
  // 32-bit tick count wrapping round cannot hold the poll back for weeks.
  const uint32_t wait = g_next_poll - now;
  if (wait != 0 && wait <= kPollMs) {
    return;
  }
  g_next_poll = now + kPollMs;

  char reply[kReplySize] = {};
  const int code = m_Host->SendMachineCommand("STAT", reply, sizeof reply);
  if (code == machine_status::kOk) {
    TRACE('D', "response was :%s\n", reply);
    if (g_removal->Match(reply)) {
      const int pocket =
          std::atoi(std::string(g_removal->SubStart(2), g_removal->SubEnd(2)).c_str());
      TRACE('I', "Pocket %i\n", pocket);
      m_PocketMarks[pocket]->setText(QStringLiteral("REMOVE"));
      m_SplitState = kWaitingForRemoval;
      m_Host->SetStatusText("Remove cards");
      m_Start->setEnabled(true);
      m_Continue->setEnabled(true);
      m_Continue->setFocus();
    } else {
      m_SplitState = kIdle;
      m_Host->SetStatusText("Done splitting");
      SetPocketMarks("REMOVE");
      m_Start->setEnabled(true);
      m_Start->setText(QStringLiteral("Start split"));
      m_Continue->setEnabled(false);
      ShowMessageBox("Done splitting", "Congratulations", BoxButtons::Ok);
    }
    return;
  }
  std::string status_text;
  m_Host->StatusCodeText(code, status_text);
  m_Host->SetStatusText(status_text.c_str());
  if (code == machine_status::kBusy) {
    return;
  }
  m_SplitState = kIdle;
  m_Start->setText(QStringLiteral("Start split"));
  m_Start->setEnabled(true);
  m_Continue->setEnabled(false);
  ShowMessageBox("split failed", "", BoxButtons::Ok);
}

void Page_Split::OnStartSplit() {
  m_StartRequest = true;
}

void Page_Split::OnContinue() {
  m_ContinueRequest = true;
}
