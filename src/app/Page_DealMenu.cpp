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
#include "FocusEditCtrl.h"
#include "FooButton.h"
#include "MachineStatus.h"
#include "MessageBox.h"
#include "Settings.h"
#include "clock.h"
#include "log.h"
#include "regexpclass.h"

namespace {

constexpr size_t kReplySize = 280;
const char* const kParameters = "Parameters";
const char* const kCardDistribution = "CardDistribution";
const char* const kDealMenu = "DealMenu";
const char* const kCardReadTwice = "([SHRK])([KDB0-9]|10) (already read in .*)";

// Shared by every deal menu of the process: a tick that opens a message box must not be
// re-entered by the ticks that box's own loop delivers.
int g_nesting_depth = 0;
uint32_t g_next_poll = 0;
int g_tray_debounce = 0;

// How one sort order fills the pockets: the hand for pockets 1 to 4, and the column labels
// from left to right (pockets 4, 3, 2, 1).
struct SortOrderInfo {
  const char* name;
  int pocket_hand[5];  // index 1..4
  const char* labels[4];
};

constexpr SortOrderInfo kSortOrders[3] = {
    {"NESW", {-1, kWest, kSouth, kEast, kNorth}, {"N", "E", "S", "W"}},
    {"NEWS", {-1, kSouth, kWest, kEast, kNorth}, {"N", "E", "W", "S"}},
    {"SWEN", {-1, kNorth, kEast, kWest, kSouth}, {"S", "W", "E", "N"}},
};

const SortOrderInfo* FindSortOrder(int sort_order) {
  return sort_order >= 0 && sort_order < 3 ? &kSortOrders[sort_order] : nullptr;
}

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

std::string Format(const char* format, int a, int b) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

}  // namespace

Page_DealMenu::Page_DealMenu(const char* name, MachineHost* host)
    : GenericChildDialog(name), m_Host(host) {
  m_bStatusBar = 0;
  m_Timer.setInterval(kTickMs);
  connect(&m_Timer, &QTimer::timeout, this, &Page_DealMenu::OnTimer);
}

Page_DealMenu::~Page_DealMenu() = default;

void Page_DealMenu::ResetSharedStateForTests() {
  g_nesting_depth = 0;
  g_next_poll = 0;
  g_tray_debounce = 0;
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
  m_Viewer->SetDealVisible(ReadSettingInt(kParameters, "dealvisible", 0) != 0);

  m_RunState = RunState::Idle;
  m_DealCounter = 1;
  // A start pressed before the page was last hidden (the machine went away) is not carried
  // over: the operator presses again once the cards are in place.
  m_StartRequest = false;
  ClearHandLines();
  m_DealText->setText(Latin1("DEAL --"));
  m_CopyText->setText(Latin1("COPY --"));
  m_AdjustConfirmed = false;

  m_CardBarcode = ReadSettingInt(kParameters, "CardBarcode", 0);
  m_DealOrder = ReadSettingInt(kParameters, "DealOrder", 0);
  m_SortOrder = ReadSettingInt(kParameters, "SortOrder", 0);
  m_StopCard = ReadSettingInt(kParameters, "stopcard", 0);
  m_ButtonStart = ReadSettingInt(kParameters, "buttonstart", 0);
  m_TrayStart = ReadSettingInt(kParameters, "traystart", 0);

  std::string summary;
  summary += m_CardBarcode != 0 ? "5BAR\r\n" : "7BAR\r\n";
  summary += m_DealOrder != 0 ? "D1,D2,D3\r\n" : "D1,D1,D1\r\n";
  if (const SortOrderInfo* order = FindSortOrder(m_SortOrder)) {
    summary += order->name;
    summary += "\r\n";
    for (int column = 0; column < 4; ++column) {
      m_ColumnLabels[column]->setText(Latin1(order->labels[column]));
    }
  } else {
    // A sort order this program does not know has no pockets; the start refuses it. Not a
    // reason to end the program, as a hand-edited setting would otherwise do at every show.
    TRACE('W', "Switch default\n");
  }
  summary += m_StopCard != 0 ? "Stopcard\r\n" : "NO stopcard\r\n";
  summary += m_ButtonStart != 0 ? "ButtonStart ON\r\n" : "ButtonStart OFF\r\n";
  summary += m_TrayStart != 0 ? "TrayStart ON\r\n" : "TrayStart OFF\r\n";
  // The edit shows "\r\n" as one line break.
  QString shown = Latin1(summary.c_str());
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  m_Summary->setPlainText(shown);

  char reply[kReplySize] = {};
  if (m_Host->SendMachineCommand("BUTTONSTART OFF", reply, sizeof reply) != machine_status::kOk) {
    TRACE('W', "Error sending command\n");
  }
  if (m_Host->SendMachineCommand("TRAYSTART OFF", reply, sizeof reply) != machine_status::kOk) {
    TRACE('W', "Error sending command\n");
  }
  char command[64];
  std::snprintf(command, sizeof command, "STOPCARD %s", m_StopCard != 0 ? "ON" : "OFF");
  if (m_Host->SendMachineCommand(command, reply, sizeof reply) != machine_status::kOk) {
    return;
  }
  std::snprintf(command, sizeof command, "BARCODE %s", m_CardBarcode != 0 ? "5BAR" : "7BAR");
  if (m_Host->SendMachineCommand(command, reply, sizeof reply) != machine_status::kOk) {
    return;
  }

  const std::string file_name = ReadSettingString(kCardDistribution, "Filename", "");
  m_FileName->setText(QString::fromLocal8Bit(file_name.c_str()));
  m_LoadFailed = false;
  if (file_name.empty() || !FileExists(file_name.c_str())) {
    TRACE('D', "No current file %s\n", file_name.c_str());
    m_Deals.clear();
    // The viewer must not go on offering the deals of a file that is no longer there.
    m_Viewer->SetDeals(m_Deals);
    UpdateControls();
    return;
  }
  if (!LoadDealFile(file_name.c_str(), m_Deals)) {
    TRACE('W', "Error reading deals\n");
    m_LoadFailed = true;
    m_InfoLine->setText(Latin1("Format error in file"));
    m_Deals.clear();
    m_Viewer->SetDeals(m_Deals);
    UpdateControls();
    return;
  }
  m_StartDeal = ReadSettingInt(kCardDistribution, "StartDeal", -1);
  m_NumberOfDeal = ReadSettingInt(kCardDistribution, "NumberOfDeal", -1);
  m_Viewer->SetDeals(m_Deals);

  const std::string last_file = ReadSettingString(kDealMenu, "LastFile", "");
  const QSignalBlocker quiet(m_Copies);
  if (last_file != file_name) {
    TRACE('D', "Lastfile <> currentfile\n");
    WriteSettingString(kDealMenu, "LastFile", file_name.c_str());
    m_Copies->setText(Latin1("1"));
  } else {
    TRACE('D', "Lastfile == currentfile\n");
    m_Copies->setText(
        QString::fromLocal8Bit(ReadSettingString(kDealMenu, "NumberOfCopies", "").c_str()));
  }
  OnCopiesChanged();

  m_Timer.start();
  m_TimerId = kTimerId;
  UpdateControls();
}

void Page_DealMenu::OnHide() {
  m_Timer.stop();
  m_TimerId = 0;
  TRACE('D', "Saving Dealmenu choices\n");
  WriteSettingString(kDealMenu, "NumberOfCopies", m_Copies->text().toLocal8Bit().constData());
}

bool Page_DealMenu::RangeUsable() const {
  return m_StartDeal >= 1 && m_NumberOfCopies >= 1 && m_NumberOfDeal >= 1;
}

// The file may have changed since its range was chosen: the last deal of the range must be in
// the set the page loaded.
bool Page_DealMenu::RangeInDealSet() const {
  const int64_t last = int64_t{m_StartDeal} + m_NumberOfDeal - 1;
  return RangeUsable() && last <= static_cast<int64_t>(m_Deals.size());
}

int Page_DealMenu::Total() const {
  const int64_t total = int64_t{m_NumberOfCopies} * m_NumberOfDeal;
  return total > INT32_MAX ? INT32_MAX : static_cast<int>(total);
}

void Page_DealMenu::CopyAndPosition(int counter, int& copy, int& position) const {
  const int i = counter - 1;
  if (m_DealOrder != 0) {
    copy = i / m_NumberOfDeal;
    position = i % m_NumberOfDeal;
  } else {
    copy = i % m_NumberOfCopies;
    position = i / m_NumberOfCopies;
  }
}

void Page_DealMenu::UpdateControls() {
  switch (m_RunState) {
    case RunState::Idle:
      m_Copies->setEnabled(true);
      if (m_LoadFailed) {
        m_InfoLine->setText(Latin1("Format error in file"));
        m_StartNext->setEnabled(false);
        m_Reset->setEnabled(false);
        m_Viewer->EnableSpin(false);
      } else if (!RangeUsable()) {
        m_InfoLine->setText(Latin1("--"));
        m_StartNext->setEnabled(false);
        m_Reset->setEnabled(false);
        m_Viewer->EnableSpin(false);
      } else if (!RangeInDealSet()) {
        // Never send a deal the file does not hold; tell the operator why nothing starts.
        if (m_Deals.empty()) {
          m_InfoLine->setText(Latin1("No deals loaded"));
        } else {
          char text[128];
          std::snprintf(text, sizeof text, "Deals %i to %i: the file has %u deal(s)", m_StartDeal,
                        m_StartDeal + m_NumberOfDeal - 1, static_cast<unsigned>(m_Deals.size()));
          m_InfoLine->setText(Latin1(text));
        }
        m_StartNext->setEnabled(false);
        m_Reset->setEnabled(false);
        m_Viewer->EnableSpin(false);
      } else {
        m_StartNext->setEnabled(true);
        m_Viewer->EnableSpin(true);
        char text[64];
        std::snprintf(text, sizeof text, "A total of %u deal(s)", static_cast<unsigned>(Total()));
        m_InfoLine->setText(Latin1(text));
        if (m_DealCounter == 1) {
          m_StartNext->setText(Latin1("Start"));
          m_Reset->setEnabled(false);
        } else {
          m_StartNext->setText(Latin1("Next"));
          m_Reset->setEnabled(true);
        }
      }
      break;
    case RunState::Sorting:
      m_Copies->setEnabled(false);
      m_StartNext->setEnabled(false);
      m_Reset->setEnabled(false);
      m_Host->SetMenuBusy(false);
      m_Viewer->EnableSpin(false);
      break;
    default:
      TRACE('C', "State miss\n");
      break;
  }
  TRACE('D', "DealCounter %i\n", m_DealCounter);

  std::string deal_text = "--";
  std::string copy_text = "--";
  std::string offset_text = "--";
  if (!RangeUsable()) {
    m_Viewer->ShowDeal(1);
  } else {
    int copy = 0;
    int position = 0;
    if (m_DealOrder == 0) {
      TRACE('D', "D1,D1...\n");
    }
    CopyAndPosition(m_DealCounter, copy, position);
    deal_text = Format("Deal #%i/%i", position + 1, m_NumberOfDeal);
    copy_text = Format("Copy #%i/%i", copy + 1, m_NumberOfCopies);
    offset_text = m_StartDeal != 1 ? Format("Offset %i", m_StartDeal, 0) : std::string();
    const int64_t number = int64_t{m_StartDeal} + position;
    // A number past the loaded set shows no deal rather than one that is not there.
    m_Viewer->ShowDeal(number <= static_cast<int64_t>(m_Deals.size()) ? static_cast<int>(number)
                                                                      : 0);
  }
  m_Viewer->SetInfo(deal_text.c_str(), copy_text.c_str(), offset_text.c_str(), "Next deal");
}

void Page_DealMenu::OnTimer() {
  ++g_nesting_depth;
  if (g_nesting_depth > 1) {
    TRACE('T', "Inservice call\n");
    --g_nesting_depth;
    return;
  }
  TRACE('T', "Deal menu Timer\n");
  switch (m_RunState) {
    case RunState::Sorting:
      PollSorting();
      break;
    case RunState::Idle:
      PollStartTriggers();
      break;
  }
  --g_nesting_depth;
}

void Page_DealMenu::PollSorting() {
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
  std::string status_text;
  if (code == machine_status::kOk) {
    m_RunState = RunState::Idle;
    m_StartNext->setEnabled(true);
    if (m_DealCounter < Total()) {
      m_Host->SetStatusText("Done sorting this deal");
      ++m_DealCounter;
      UpdateControls();
      m_StartNext->setFocus();
    } else {
      m_DealCounter = 1;
      m_Host->SetStatusText("Done sorting all deals");
      UpdateControls();
      ShowMessageBox("Done dealing deals", "Congratulations", BoxButtons::Ok);
    }
    return;
  }
  TRACE('D', "%s\n", reply);
  const std::string reply_text = CardDescription(reply);
  m_Host->StatusCodeText(code, status_text);
  status_text += " (" + reply_text + ")";
  m_Host->SetStatusText(status_text.c_str());
  if (code == machine_status::kBusy) {
    return;
  }
  m_RunState = RunState::Idle;
  UpdateControls();
  ShowMessageBox("Sort failed", "", BoxButtons::Ok);
}

void Page_DealMenu::PollStartTriggers() {
  char reply[kReplySize] = {};
  if (m_TrayStart != 0) {
    const int code = m_Host->SendMachineCommand("TRAYSTAT", reply, sizeof reply);
    if (code == machine_status::kYes) {
      // The tray signal stays on while cards lie there: only a signal after five "off" answers
      // is a new start.
      if (g_tray_debounce == 0) {
        m_StartRequest = true;
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
      m_StartRequest = true;
    } else if (code != machine_status::kNo) {
      TRACE('W', "Error sending butstat\n");
      return;
    }
  }
  if (m_StartRequest) {
    StartDeal();
  }
}

// A start the page cannot carry out safely is refused with the reason; the run stays where it
// is. True when the start was refused.
bool Page_DealMenu::RefuseStart() {
  char text[200];
  if (FindSortOrder(m_SortOrder) == nullptr) {
    std::snprintf(text, sizeof text,
                  "Sort order %i is unknown: no deal is sent.\nChoose the sort order on the "
                  "Parameters page.",
                  m_SortOrder);
  } else if (!RangeUsable()) {
    std::snprintf(text, sizeof text,
                  "Set the first deal, the number of deals and the number of copies before "
                  "dealing.");
  } else if (!RangeInDealSet()) {
    std::snprintf(text, sizeof text,
                  "Deals %i to %i are not all in the deal file (%u deal(s)): no deal is sent.\n"
                  "Choose the range again on the Card distribution page.",
                  m_StartDeal, m_StartDeal + m_NumberOfDeal - 1,
                  static_cast<unsigned>(m_Deals.size()));
  } else {
    return false;
  }
  TRACE('W', "Start refused: %s\n", text);
  ShowMessageBox(text, "Error", BoxButtons::Ok);
  return true;
}

void Page_DealMenu::StartDeal() {
  m_StartRequest = false;
  m_AdjustConfirmed = false;
  TRACE('I', "Starting sort\n");
  if (RefuseStart()) {
    return;
  }

  const int d = m_Viewer->GetCurrentDeal();
  TRACE('D', "Sending deal %i to machine\n", d);
  int copy = 0;
  int position = 0;
  CopyAndPosition(m_DealCounter, copy, position);
  if (d < 0 || static_cast<size_t>(d) >= m_Deals.size()) {
    TRACE('W', "Deal %i is not in the deal set\n", d);
    return;
  }
  const Deal deal = m_Deals[static_cast<size_t>(d)];

  const SortOrderInfo& order = *FindSortOrder(m_SortOrder);
  TRACE('D', "SORTING %s\n", order.name);
  ShowJustDealt(deal, m_SortOrder);
  m_DealText->setText(Latin1(Format("Deal #%i/%i", d - m_StartDeal + 2, m_NumberOfDeal).c_str()));
  m_CopyText->setText(Latin1(Format("Copy #%i/%i", copy + 1, m_NumberOfCopies).c_str()));

  const std::string pockets = PocketText(deal, m_SortOrder);
  if (pockets.find('0') != std::string::npos) {
    m_RunState = RunState::Idle;
    m_DealCounter = 1;
    UpdateControls();
    ShowMessageBox("Corrupt deal", "Error", BoxButtons::Ok);
    return;
  }
  TRACE('D', "%s\n", pockets.c_str());
  const std::string command = "SORT " + pockets;
  char reply[kReplySize] = {};
  if (m_Host->SendMachineCommand(command.c_str(), reply, sizeof reply) != machine_status::kOk) {
    // Nothing of this deal was dealt: the next start sends it again. Going back to the first
    // deal would have the operator deal the boards already dealt a second time.
    m_RunState = RunState::Idle;
    UpdateControls();
    ShowMessageBox("Error sending sort command", "", BoxButtons::Ok);
    return;
  }
  m_RunState = RunState::Sorting;
  m_Host->SetStatusText("Starting sort");
  UpdateControls();
}

void Page_DealMenu::ShowJustDealt(const Deal& deal, int sort_order) {
  const SortOrderInfo& order = *FindSortOrder(sort_order);
  const bool visible = ReadSettingInt(kParameters, "justdealtvisible", 0) != 0;
  for (int pocket = 1; pocket <= 4; ++pocket) {
    const int hand = order.pocket_hand[pocket];
    std::string suits[4];
    for (int k = 0; k < kCardsInHand; ++k) {
      const int card = deal.HandCards(hand)[k];
      if (card >= 1 && card <= kCardsInDeck) {
        suits[SuitIndex(card)] += RankCharacter(RankIndex(card));
      }
    }
    const int group = GroupOfPocket(pocket);
    for (int suit = 0; suit < 4; ++suit) {
      if (suits[suit].empty()) {
        suits[suit].push_back('-');
      }
      CColorStatic* line = m_HandLines[group * 4 + suit];
      line->setText(visible ? Latin1(suits[suit].c_str()) : Latin1("--"));
      line->SetTextColour(IsRedSuit(suit) ? QColor(255, 0, 0) : QColor(0, 0, 0));
    }
  }
}

std::string Page_DealMenu::PocketText(const Deal& deal, int sort_order) {
  const SortOrderInfo* order = FindSortOrder(sort_order);
  if (order == nullptr) {
    return std::string();
  }
  std::string pockets(kCardsInDeck, '0');
  for (int pocket = 1; pocket <= 4; ++pocket) {
    const uint8_t* cards = deal.HandCards(order->pocket_hand[pocket]);
    for (int k = 0; k < kCardsInHand; ++k) {
      const int card = cards[k];
      if (card < 1 || card > kCardsInDeck) {
        TRACE('D', "BUG\n");
        return pockets;
      }
      pockets[card - 1] = static_cast<char>('0' + pocket);
    }
  }
  return pockets;
}

std::string Page_DealMenu::CardDescription(const std::string& reply) {
  RegexpClass read_twice(kCardReadTwice);
  if (!read_twice.Match(reply.c_str())) {
    return reply;
  }
  const std::string suit(read_twice.SubStart(1), read_twice.SubEnd(1));
  const std::string rank(read_twice.SubStart(2), read_twice.SubEnd(2));
  std::string description;
  if (rank == "B") {
    description = "Knight ";
  } else if (rank == "D") {
    description = "Queen ";
  } else if (rank == "K") {
    description = "King ";
  } else if (rank == "1") {
    description = "Ace ";
  } else {
    description = rank + " ";
  }
  if (suit == "S") {
    description += "of Spades";
  } else if (suit == "H") {
    description += "of Hearts";
  } else if (suit == "R") {
    description += "of Diamonds";
  } else {
    description += "of Clubs";
  }
  return description;
}

void Page_DealMenu::OnStartNext() {
  m_StartRequest = true;
}

void Page_DealMenu::OnReset() {
  if (ShowMessageBox("Really want to reset ?", "Warning", BoxButtons::OkCancel) != BoxAnswer::Ok) {
    return;
  }
  ClearHandLines();
  m_DealCounter = 1;
  UpdateControls();
}

void Page_DealMenu::OnCopiesChanged() {
  m_DealCounter = 1;
  unsigned copies = 0;
  const QByteArray text = m_Copies->text().toLatin1();
  m_NumberOfCopies = std::sscanf(text.constData(), "%u", &copies) == 1 && copies <= INT32_MAX
                         ? static_cast<int>(copies)
                         : -1;
  UpdateControls();
}

void Page_DealMenu::OnNextDeal() {
  if (!m_AdjustConfirmed) {
    if (ShowMessageBox("Beware when adjusting this. This will change starting point. Really want "
                       "to do it ?",
                       "Warning", BoxButtons::OkCancel) != BoxAnswer::Ok) {
      return;
    }
    m_AdjustConfirmed = true;
  }
  if (m_DealCounter < Total()) {
    ++m_DealCounter;
  }
  UpdateControls();
}

void Page_DealMenu::OnPreviousDeal() {
  if (!m_AdjustConfirmed) {
    if (ShowMessageBox("Beware when adjusting this. Really want to do it", "Warning",
                       BoxButtons::OkCancel) != BoxAnswer::Ok) {
      return;
    }
    m_AdjustConfirmed = true;
  }
  if (m_DealCounter > 1) {
    --m_DealCounter;
  }
  UpdateControls();
}
