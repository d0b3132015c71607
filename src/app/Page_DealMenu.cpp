#include "Page_DealMenu.h"

#include <QGroupBox>
#include <QHideEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <cstdio>

#include "BriDup.h"
#include "ColorStatic.h"
#include "DealViewer.h"
#include "Fileutils.h"
#include "Fingerprint.h"
#include "FocusEditCtrl.h"
#include "FooButton.h"
#include "MachineSetup.h"
#include "MachineStatus.h"
#include "MessageBox.h"
#include "RunSections.h"
#include "Settings.h"
#include "log.h"

namespace {

const char* const kParameters = "Parameters";

// The hand-line group that shows a pocket: the columns, left to right, are pockets 4, 3, 2, 1
// and hold the groups 1, 3, 0, 2.
int GroupOfPocket(int pocket) {
  static constexpr int kGroup[5] = {-1, 2, 0, 3, 1};
  return kGroup[pocket];
}

bool IsRedSuit(int suit) {
  return suit == kHearts || suit == kDiamonds;
}

QString Latin1(const char* text) {
  return QString::fromLatin1(text);
}

}  // namespace

Page_DealMenu::Page_DealMenu(const char* name, MachineHost* host)
    : GenericChildDialog(name), m_Host(host), m_Send(CommandCallOf(host)) {
  m_bStatusBar = 0;
  m_Timer.setInterval(kTickMs);
  connect(&m_Timer, &QTimer::timeout, this, &Page_DealMenu::OnTimer);
}

void Page_DealMenu::ResetSharedStateForTests() {
  DealRun::Shared() = JobShared{};
}

bool Page_DealMenu::OnInitDialog() {
  GenericChildDialog::OnInitDialog();
  setFont(DialogFont("Verdana", 10));
  SetTemplateSize(332, 264);
  m_SmallFont = DialogFont("Verdana", 8);
  m_LargeFont = DialogFont("Verdana", 22);

  m_FileName = new QLabel(this);
  PlaceControl(m_FileName, kFileNameId, "fileName", QRect(6, 4, 320, 10));
  m_InfoLine = new QLabel(Latin1("--"), this);
  PlaceControl(m_InfoLine, kInfoLineId, "infoLine", QRect(6, 16, 204, 10));
  auto* copies_label = new QLabel(Latin1("Set total # of copies :"), this);
  PlaceControl(copies_label, -1, "copiesLabel", QRect(214, 16, 84, 10));
  m_Copies = new CFocusEditCtrl(this);
  PlaceControl(m_Copies, kCopiesId, "copies", QRect(300, 14, 26, 12));

  auto* frame = new QWidget(this);
  PlaceControl(frame, kViewerFrameId, "dealViewerFrame", QRect(4, 30, 204, 165));
  frame->hide();
  m_Viewer = new CDealViewer("DealViewer");
  m_Viewer->Create(this, kViewerFrameId);
  m_Viewer->show();
  m_Viewer->SetInfo("--", "--", "--", "");

  m_Summary = new QPlainTextEdit(this);
  m_Summary->setReadOnly(true);
  PlaceControl(m_Summary, kSummaryId, "summary", QRect(214, 32, 112, 66));

  m_Reset = new FooButton(Latin1("Reset"), this);
  PlaceControl(m_Reset, kResetId, "reset", QRect(214, 104, 54, 22));
  m_StartNext = new FooButton(Latin1("Start"), this);
  PlaceControl(m_StartNext, kStartNextId, "startNext", QRect(272, 104, 54, 22));
  connect(m_StartNext, &QPushButton::clicked, this, &Page_DealMenu::OnStartNext);
  connect(m_Reset, &QPushButton::clicked, this, &Page_DealMenu::OnReset);
  connect(m_Copies, &QLineEdit::textChanged, this, &Page_DealMenu::OnCopiesChanged);
  connect(m_Viewer, &CDealViewer::NextDeal, this, &Page_DealMenu::OnNextDeal);
  connect(m_Viewer, &CDealViewer::PreviousDeal, this, &Page_DealMenu::OnPreviousDeal);

  // Nothing can be started before a show has found a file and a range.
  m_StartNext->setEnabled(false);
  m_Reset->setEnabled(false);
  m_Copies->SetAllowedChars("0123456789");
  m_Copies->SetMaxLength(3);

  m_JustDealt = new QLabel(Latin1("Just dealt"), this);
  PlaceControl(m_JustDealt, kJustDealtId, "justDealt", QRect(214, 132, 112, 18));
  m_DealText = new QLabel(Latin1("DEAL --"), this);
  PlaceControl(m_DealText, kDealTextId, "dealText", QRect(214, 152, 112, 18));
  m_CopyText = new QLabel(Latin1("COPY --"), this);
  PlaceControl(m_CopyText, kCopyTextId, "copyText", QRect(214, 172, 112, 18));
  for (QLabel* large : {m_JustDealt, m_DealText, m_CopyText}) {
    large->setFont(m_LargeFont);
  }

  auto* just_dealt_frame = new QGroupBox(Latin1("Just dealt"), this);
  PlaceControl(just_dealt_frame, -1, "justDealtFrame", QRect(4, 198, 324, 62));
  just_dealt_frame->lower();
  // Column k from the left shows pocket 5 - k; its hand lines are those of that pocket's group.
  for (int column = 0; column < 4; ++column) {
    const int x = 12 + column * 80;
    char object_name[32];
    std::snprintf(object_name, sizeof object_name, "columnLabel%i", column + 1);
    m_ColumnLabels[column] = new QLabel(Latin1("--"), this);
    PlaceControl(m_ColumnLabels[column], kColumnLabelIds[column], object_name,
                 QRect(x, 207, 70, 9));
    const int group = GroupOfPocket(4 - column);
    for (int suit = 0; suit < 4; ++suit) {
      auto* line = new CColorStatic(this);
      std::snprintf(object_name, sizeof object_name, "handLine%i",
                    kFirstHandLineId + group * 4 + suit);
      PlaceControl(line, kFirstHandLineId + group * 4 + suit, object_name,
                   QRect(x, 217 + suit * 10, 70, 9));
      line->setFont(m_SmallFont);
      line->setText(Latin1("--"));
      line->SetTextColour(IsRedSuit(suit) ? QColor(255, 0, 0) : QColor(0, 0, 0));
      m_HandLines[group * 4 + suit] = line;
    }
  }
  return true;
}

void Page_DealMenu::showEvent(QShowEvent* event) {
  GenericChildDialog::showEvent(event);
  // Only the host's show counts; the main window coming back from the task bar is not a show.
  if (!m_Shown) {
    m_Shown = true;
    TRACE('D', "XXXX Page_DealMenu %i\n", 1);
    OnShow();
  }
}

void Page_DealMenu::hideEvent(QHideEvent* event) {
  GenericChildDialog::hideEvent(event);
  if (m_Shown && isHidden()) {
    m_Shown = false;
    TRACE('D', "XXXX Page_DealMenu %i\n", 0);
    OnHide();
  }
}

void Page_DealMenu::ClearHandLines() {
  for (CColorStatic* line : m_HandLines) {
    line->setText(Latin1("--"));
  }
}

void Page_DealMenu::OnShow() {
  if (m_Run.state() == RunState::Sorting) {
    // The deck an earlier show sent is still in the machine as far as anyone knows (the
    // operator went to another page, or the cable came loose). Nothing but STAT may reach the
    // machine until it is done: the show waits for it and is completed then (DeckEnded).
    m_ShowWaiting = true;
    const std::string text = "The machine is still sorting " + m_Run.DeckText();
    m_Host->SetStatusText(text.c_str());
    UpdateControls();
    m_Timer.start();
    m_TimerId = kTimerId;
    return;
  }
  BeginShow();
}

void Page_DealMenu::BeginShow() {
  m_Timer.stop();  // a show that waited had its timer running for STAT
  m_Viewer->SetDealVisible(ReadSettingInt(kParameters, "dealvisible", 0) != 0);
  DealRun::Settings settings;
  settings.card_barcode = ReadSettingInt(kParameters, "CardBarcode", 0);
  settings.deal_order = ReadSettingInt(kParameters, "DealOrder", 0);
  settings.sort_order = ReadSettingInt(kParameters, "SortOrder", 0);
  settings.stop_card = ReadSettingInt(kParameters, "stopcard", 0);
  settings.button_start = ReadSettingInt(kParameters, "buttonstart", 0);
  settings.tray_start = ReadSettingInt(kParameters, "traystart", 0);
  m_Run.Begin(settings);
  ClearHandLines();
  m_DealText->setText(Latin1("DEAL --"));
  m_CopyText->setText(Latin1("COPY --"));

  if (const SortOrder* order = FindSortOrder(settings.sort_order)) {
    for (int column = 0; column < 4; ++column) {
      m_ColumnLabels[column]->setText(Latin1(order->labels[column]));
    }
  } else {
    // A sort order this program does not know has no pockets; the start refuses it. Not a
    // reason to end the program, as a hand-edited setting would otherwise do at every show.
    TRACE('W', "Switch default\n");
  }
  // The edit shows "\r\n" as one line break.
  QString shown = Latin1(m_Run.Summary().c_str());
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  m_Summary->setPlainText(shown);

  SwitchOffMachineTriggers(m_Send, [] { TRACE('W', "Error sending command\n"); });
  // Settings the machine did not take leave the page usable: the status line says so and the
  // next start sends them again before it deals.
  m_SetupPending = !Configure();
  LoadFile();
}

// Sends the machine the stop card and the barcode; false, with the status line saying which and
// why, when it did not take one.
bool Page_DealMenu::Configure() {
  const SetupResult setup = SendSettings(m_Send, {StopCardCommand(m_Run.settings().stop_card),
                                                  BarcodeCommand(m_Run.settings().card_barcode)});
  if (setup.refused == nullptr) {
    return true;
  }
  TRACE('W', "Setting not taken: %s\n", setup.refused);
  m_Host->SetStatusText(setup.text.c_str());
  return false;
}

void Page_DealMenu::LoadFile() {
  const std::string file_name = ReadSettingString(CardDistributionSection(), "Filename", "");
  m_FileName->setText(QString::fromLocal8Bit(file_name.c_str()));
  DealSet deals;
  bool loaded = false;
  if (file_name.empty() || !FileExists(file_name.c_str())) {
    TRACE('D', "No current file %s\n", file_name.c_str());
    m_Run.FileMissing();
  } else if (!LoadDealFile(file_name.c_str(), deals)) {
    TRACE('W', "Error reading deals\n");
    m_Run.FileUnreadable();
  } else {
    m_Run.FileLoaded(std::move(deals), ReadSettingInt(CardDistributionSection(), "StartDeal", -1),
                     ReadSettingInt(CardDistributionSection(), "NumberOfDeal", -1));
    loaded = true;
  }
  // The viewer must not go on offering the deals of a file that is no longer there.
  m_Viewer->SetDeals(m_Run.Deals());
  if (!loaded) {
    UpdateControls();  // without a timer: nothing can be dealt until the next show
    return;
  }

  const std::string last_file = ReadSettingString(DealMenuSection(), "LastFile", "");
  const QSignalBlocker quiet(m_Copies);
  if (last_file != file_name) {
    TRACE('D', "Lastfile <> currentfile\n");
    WriteSettingString(DealMenuSection(), "LastFile", file_name.c_str());
    m_Copies->setText(Latin1("1"));
  } else {
    TRACE('D', "Lastfile == currentfile\n");
    m_Copies->setText(
        QString::fromLocal8Bit(ReadSettingString(DealMenuSection(), "NumberOfCopies", "").c_str()));
  }
  // Held against the hand record: the same deals give the same fingerprint in any format.
  m_Summary->setPlainText(m_Summary->toPlainText() +
                          Latin1(("Fingerprint " + DealSetFingerprint(m_Run.Deals())).c_str()) +
                          QStringLiteral("\n"));
  OnCopiesChanged();
  if (const int counter = m_Run.ResumeSameRun(file_name)) {
    const DealRun::View view = m_Run.Controls();
    TRACE('I', "Run resumed at send %i\n", counter);
    const std::string text = "Run resumed at " + view.deal_text + ", " + view.copy_text;
    m_Host->SetStatusText(text.c_str());
  }

  m_Timer.start();
  m_TimerId = kTimerId;
  UpdateControls();
}

void Page_DealMenu::OnHide() {
  m_Timer.stop();
  m_TimerId = 0;
  TRACE('D', "Saving Dealmenu choices\n");
  WriteSettingString(DealMenuSection(), "NumberOfCopies",
                     m_Copies->text().toLocal8Bit().constData());
}

void Page_DealMenu::UpdateControls() {
  const DealRun::View view = m_Run.Controls();
  switch (m_Run.state()) {
    case RunState::Idle:
      m_Copies->setEnabled(true);
      m_InfoLine->setText(Latin1(view.info_line.c_str()));
      m_StartNext->setEnabled(view.startable);
      m_Viewer->EnableSpin(view.startable);
      m_Reset->setEnabled(view.startable && !view.at_first);
      if (view.startable) {
        m_StartNext->setText(Latin1(view.at_first ? "Start" : "Next"));
      }
      break;
    case RunState::Sorting:
      m_Copies->setEnabled(false);
      DisableKeepingFocus(m_StartNext);
      m_Reset->setEnabled(false);
      m_Host->SetMenuBusy(false);
      m_Viewer->EnableSpin(false);
      break;
    default:
      TRACE('C', "State miss\n");
      break;
  }
  TRACE('D', "DealCounter %i\n", m_Run.DealCounter());
  if (view.counted && m_Run.settings().deal_order == 0) {
    TRACE('D', "D1,D1...\n");
  }
  m_Viewer->ShowDeal(view.show_deal);
  m_Viewer->SetInfo(view.deal_text.c_str(), view.copy_text.c_str(), view.offset_text.c_str(),
                    "Next deal");
}

void Page_DealMenu::OnTimer() {
  const TickGuard guard(DealRun::Shared().nesting_depth);
  if (!guard.Entered()) {
    TRACE('T', "Inservice call\n");
    return;
  }
  TRACE('T', "Deal menu Timer\n");
  // A box the operator is answering (reset, a step) holds the run: no start is taken under it.
  if (OpenMessageBoxes() > 0) {
    return;
  }
  switch (m_Run.state()) {
    case RunState::Sorting:
      PollSorting();
      break;
    case RunState::Idle:
      PollStartTriggers();
      break;
  }
}

void Page_DealMenu::PollSorting() {
  const DealRun::Poll poll = m_Run.PollSorting(m_Send);
  switch (poll.kind) {
    case DealRun::Poll::kNotDue:
      return;
    case DealRun::Poll::kDealDone:
    case DealRun::Poll::kRunDone:
      DeckEnded(poll.kind);
      return;
    case DealRun::Poll::kAskCount: {
      TRACE('I', "Deck done after a link failure\n");
      const std::string question = "The cable came loose while " + m_Run.DeckText() +
                                   " was in the machine. The machine reports it done: check the "
                                   "four pockets. Count this deck as dealt?";
      const bool dealt = ShowMessageBox(question, "Please confirm", BoxButtons::YesNo,
                                        BoxIcon::Question) == BoxAnswer::Yes;
      TRACE('I', "Deck counted as dealt: %s\n", dealt ? "yes" : "no");
      const DealRun::Poll::Kind counted = m_Run.CountDeck(dealt);
      if (!dealt) {
        const std::string text = "Press Start to deal " + m_Run.DeckText() + " again";
        m_Host->SetStatusText(text.c_str());
      }
      DeckEnded(dealt ? counted : DealRun::Poll::kNotDue);
      return;
    }
    case DealRun::Poll::kTimedOut: {
      TRACE('W', "Deck not done within %u ms\n", static_cast<unsigned>(kSortLimitMs));
      const std::string text = "The machine did not finish " + m_Run.DeckText() + " within " +
                               std::to_string(kSortLimitMs / 1000) + " s";
      m_Host->SetStatusText(text.c_str());
      DeckEnded(DealRun::Poll::kTimedOut);
      return;
    }
    case DealRun::Poll::kBusy:
    case DealRun::Poll::kLinkLost:
    case DealRun::Poll::kFailed:
      break;
  }
  TRACE('D', "%s\n", poll.reply.c_str());
  if (poll.kind == DealRun::Poll::kBusy && m_ShowWaiting) {
    const std::string text = "The machine is still sorting " + m_Run.DeckText();
    m_Host->SetStatusText(text.c_str());
    return;
  }
  std::string status_text;
  m_Host->StatusCodeText(poll.code, status_text);
  status_text += " (" + poll.shown_reply + ")";
  m_Host->SetStatusText(status_text.c_str());
  if (poll.kind == DealRun::Poll::kFailed) {
    DeckEnded(poll.kind);
  }
}

// The deck the machine held is done (counted, or kNotDue: not counted), failed or given up. The run
// stands where it is now, as if the page had stayed open; a show that waited for the deck is
// completed after that.
void Page_DealMenu::DeckEnded(DealRun::Poll::Kind kind) {
  switch (kind) {
    case DealRun::Poll::kDealDone:
      m_StartNext->setEnabled(true);
      m_Host->SetStatusText("Done sorting this deal");
      UpdateControls();
      m_StartNext->setFocus();
      break;
    case DealRun::Poll::kRunDone:
      m_StartNext->setEnabled(true);
      m_Host->SetStatusText("Done sorting all deals");
      UpdateControls();
      ShowMessageBox("Done dealing deals", "Congratulations", BoxButtons::Ok);
      break;
    case DealRun::Poll::kFailed:
    case DealRun::Poll::kTimedOut:
      UpdateControls();
      ShowMessageBox("Sort failed", "", BoxButtons::Ok);
      break;
    default:  // not counted: the next start deals it again
      UpdateControls();
      break;
  }
  if (m_ShowWaiting) {
    m_ShowWaiting = false;
    BeginShow();
  }
}

void Page_DealMenu::PollStartTriggers() {
  switch (m_Run.PollTriggers(m_Send)) {
    case StartTrigger::Result::kTrayError:
      TRACE('W', "Error sending traystat\n");
      return;
    case StartTrigger::Result::kButtonError:
      TRACE('W', "Error sending butstat\n");
      return;
    case StartTrigger::Result::kOk:
      break;
  }
  if (!m_Run.StartRequested()) {
    return;
  }
  if (m_SetupPending) {
    if (!Configure()) {
      m_Run.DropStart();
      return;
    }
    m_SetupPending = false;
  }
  StartDeal();
}

void Page_DealMenu::StartDeal() {
  const DealRun::Start start = m_Run.TakeStart(m_Viewer->GetCurrentDeal());
  TRACE('I', "Starting sort\n");
  if (!start.refusal.empty()) {
    TRACE('W', "Start refused: %s\n", start.refusal.c_str());
    ShowMessageBox(start.refusal.c_str(), "Error", BoxButtons::Ok);
    return;
  }
  TRACE('D', "Sending deal %i to machine\n", start.deal_index);
  if (start.deal_missing) {
    TRACE('W', "Deal %i is not in the deal set\n", start.deal_index);
    return;
  }
  TRACE('D', "SORTING %s\n", start.order->name);
  ShowJustDealt(start);
  m_DealText->setText(Latin1(start.deal_text.c_str()));
  m_CopyText->setText(Latin1(start.copy_text.c_str()));
  if (start.bad_card) {
    TRACE('D', "BUG\n");
  }
  if (start.corrupt) {
    UpdateControls();
    ShowMessageBox("Corrupt deal", "Error", BoxButtons::Ok);
    return;
  }
  TRACE('D', "%s\n", start.pockets.c_str());
  if (!m_Run.Sort(start, m_Send)) {
    UpdateControls();
    ShowMessageBox("Error sending sort command", "", BoxButtons::Ok);
    return;
  }
  m_Host->SetStatusText("Starting sort");
  UpdateControls();
}

void Page_DealMenu::ShowJustDealt(const DealRun::Start& start) {
  const bool visible = ReadSettingInt(kParameters, "justdealtvisible", 0) != 0;
  for (int pocket = 1; pocket <= 4; ++pocket) {
    const int group = GroupOfPocket(pocket);
    for (int suit = 0; suit < 4; ++suit) {
      CColorStatic* line = m_HandLines[group * 4 + suit];
      line->setText(visible ? Latin1(start.hands[pocket][suit].c_str()) : Latin1("--"));
      line->SetTextColour(IsRedSuit(suit) ? QColor(255, 0, 0) : QColor(0, 0, 0));
    }
  }
}

std::string Page_DealMenu::PocketText(const Deal& deal, int sort_order) {
  bool bad_card = false;
  std::string pockets = ::PocketText(deal, sort_order, &bad_card);
  if (bad_card) {
    TRACE('D', "BUG\n");
  }
  return pockets;
}

void Page_DealMenu::FocusOnShow() {
  if (m_StartNext->isEnabled()) {
    m_StartNext->setFocus(Qt::OtherFocusReason);
  } else {
    GenericChildDialog::FocusOnShow();
  }
}

void Page_DealMenu::OnStartNext() {
  m_Run.RequestStart();
}

void Page_DealMenu::OnReset() {
  // Never while a deal is being sorted: the finished sort would count on from the reset.
  if (!m_Run.CanAdjust() ||
      ShowMessageBox(DealRun::kResetQuestion, "Warning", BoxButtons::OkCancel) != BoxAnswer::Ok ||
      !m_Run.Reset()) {
    return;
  }
  ClearHandLines();
  UpdateControls();
}

void Page_DealMenu::OnCopiesChanged() {
  m_Run.SetCopies(m_Copies->text().toLatin1().toStdString());
  UpdateControls();
}

// Moving the counter by hand asks once per start or show.
void Page_DealMenu::Step(bool forward) {
  if (!m_Run.CanAdjust()) {
    return;
  }
  if (const char* question = m_Run.AdjustQuestion(forward)) {
    if (ShowMessageBox(question, "Warning", BoxButtons::OkCancel) != BoxAnswer::Ok) {
      return;
    }
    m_Run.ConfirmAdjustment();
  }
  if (!m_Run.CanAdjust()) {
    return;
  }
  m_Run.Step(forward);
  UpdateControls();
}

void Page_DealMenu::OnNextDeal() {
  Step(true);
}

void Page_DealMenu::OnPreviousDeal() {
  Step(false);
}
