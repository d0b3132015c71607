#include "maindlg.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QStatusBar>
#include <cstdio>

#include "FooButton.h"
#include "MachineStatus.h"
#include "MachineSwitch.h"
#include "MessageBox.h"
#include "PageFactory.h"
#include "Page_Start.h"
#include "USBinterface.h"
#include "log.h"
#include "version.h"

namespace {

int g_exit_code = 0;

struct MenuEntry {
  int id;
  int page;
  int y;
  const char* caption;
  const char* tooltip;
  const char* object_name;
  bool needs_machine;
};

constexpr MenuEntry kMenu[6] = {
    {1049, 1, 6, "Parameters", "Parameters", "buttonParameters", false},
    {1015, 2, 51, "Card distribution", "Load <B>the distribution<\\B> file",
     "buttonCardDistribution", false},
    {1043, 3, 96, "Deal menu", "Deal the cards", "buttonDealMenu", true},
    {1047, 4, 141, "Split", "Split 2 deck of cards", "buttonSplit", true},
    {1044, 5, 186, "Service menu", "", "buttonService", true},
    {1045, 6, 234, "About card dealer", "", "buttonAbout", false},
};

struct PageEntry {
  int number;
  const char* name;
  unsigned template_id;
};

constexpr PageEntry kPages[7] = {
    {0, "StartPage", Page_Start::kTemplateId},
    {1, "Parameters", 1070},
    {2, "CardDistribution", 1072},
    {3, "DealMenu", 1074},
    {4, "Split", 1076},
    {5, "ServiceMenu", 1078},
    {6, "About", 1080},
};

}  // namespace

void EndDialogLoop(int exit_code) {
  g_exit_code = exit_code;
  QCoreApplication::exit(exit_code);
}

int RequestedExitCode() {
  return g_exit_code;
}

QIcon ApplicationIcon() {
  QPixmap pixmap(64, 64);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(40, 40, 40), 2));
  painter.setBrush(QColor(250, 250, 245));
  painter.drawRoundedRect(QRectF(12, 4, 40, 56), 5, 5);
  QFont font = painter.font();
  font.setPixelSize(30);
  painter.setFont(font);
  painter.setPen(QColor(200, 20, 20));
  painter.drawText(QRectF(12, 4, 40, 56), Qt::AlignCenter, QString(QChar(0x2665)));
  painter.end();
  return QIcon(pixmap);
}

CMainDlg::CMainDlg(QWidget* parent, const MachineFilter& which)
    : CStatusDialog(kTemplateId, parent, "MainDialog"),
      m_InstanceChecker(InstanceName(QString::fromStdString(which.Text()))),
      m_Connection(which) {
  setWindowTitle(QStringLiteral("Card Dealer"));
  m_MenuGroup.setExclusive(true);
  connect(&m_MainTimer, &QTimer::timeout, this, &CMainDlg::OnTimer);
  // The poll keeps its own 200 ms pace; the timer only offers it the chance, like an idle kick.
  m_IdleTimer.setInterval(50);
  connect(&m_IdleTimer, &QTimer::timeout, this, &CMainDlg::OnKickIdle);
  // Another copy was started with "-close".
  connect(&m_InstanceChecker, &CInstanceChecker::CloseRequested, this, &EndDialogLoop);
}

CMainDlg::~CMainDlg() {
  m_IdleTimer.stop();
  m_MainTimer.stop();
  for (auto& [number, page] : m_Pages) {
    delete page;
  }
  m_Pages.clear();
}

bool CMainDlg::OnInitDialog() {
  TraceSetThreadName("MainDlg");
  m_InstanceChecker.PublishMainWindow(this);
  setWindowTitle(QStringLiteral("Quadrelle") + QString::fromLatin1(GetVersionText()) +
                 MachineCaption(QString::fromStdString(m_Connection.Which().Text())));
  setFont(DialogFont("Verdana", 10));
  SetTemplateSize(467, 282);

  m_PageFrame = new QFrame(this);
  m_PageFrame->setFrameShape(QFrame::NoFrame);
  PlaceControl(m_PageFrame, kPageFrameId, "pageFrame", QRect(127, 6, 332, 264));
  m_PageFrame->setEnabled(false);
  m_PageFrame->hide();
  CreateMenuButtons();

  CStatusDialog::OnInitDialog();  // status bar and remembered position

  for (int i = 0; i < 6; ++i) {
    AddToolTip(m_MenuButtons[i], kMenu[i].tooltip);
  }
  if (StatusBar() != nullptr) {
    PublishStatusLine();
  }
  setWindowIcon(ApplicationIcon());
  CreatePages();
  for (FooButton* button : m_MenuButtons) {
    button->setFont(DialogFont("Verdana", 12));
  }
  m_MainTimer.start(1200);
  m_IdleTimer.start();
  TRACE('T', "Maindlg :: UpdateControls end");
  return true;
}

void CMainDlg::CreateMenuButtons() {
  for (int i = 0; i < 6; ++i) {
    const MenuEntry& entry = kMenu[i];
    auto* button = new FooButton(QString::fromLatin1(entry.caption), this);
    PlaceControl(button, entry.id, entry.object_name, QRect(6, entry.y, 116, 36));
    button->JoinGroup(&m_MenuGroup);
    const int page = entry.page;
    connect(button, &QPushButton::clicked, this, [this, page] { ShowPage(page); });
    m_MenuButtons[i] = button;
  }
}

void CMainDlg::CreatePages() {
  for (const PageEntry& entry : kPages) {
    GenericChildDialog* page = CreatePageObject(entry.number, entry.name, entry.template_id, this);
    page->Create(this, kPageFrameId);
    if (entry.number == 0) {
      page->show();
    } else {
      page->hide();
    }
    m_Pages[entry.number] = page;
  }
}

GenericChildDialog* CMainDlg::Page(int page) const {
  auto it = m_Pages.find(page);
  return it == m_Pages.end() ? nullptr : it->second;
}

FooButton* CMainDlg::MenuButton(int page) const {
  for (int i = 0; i < 6; ++i) {
    if (kMenu[i].page == page) return m_MenuButtons[i];
  }
  return nullptr;
}

UsbInterface* CMainDlg::MachineLink() const {
  return m_Connection.Link();
}

void CMainDlg::ShowPage(int page) {
  TRACE('D', "Displaying %i\n", page);
  GenericChildDialog* shown = Page(page);
  // The page already shown stays as it is: hiding and showing it again would begin its job
  // afresh under a deck the machine may still hold.
  const bool again = shown != nullptr && shown->isVisible();
  if (!again) {
    for (auto& [number, dialog] : m_Pages) {
      dialog->hide();
    }
  }
  if (shown != nullptr) {
    shown->show();
    shown->FocusOnShow();
  }
}

void CMainDlg::OnTimer() {
  TRACE('T', "Maindlg timer\n");
}

void CMainDlg::OnKickIdle() {
  // The idle timer keeps firing inside a message box's loop and inside a page shown by the poll
  // itself: the poll waits until the box is answered and never runs within itself, so it cannot
  // drop the machine or switch pages under an open box.
  if (m_Polling || OpenMessageBoxes() > 0) {
    return;
  }
  m_Polling = true;
  const MachineConnection::Step step = m_Connection.Poll(this);
  m_Polling = false;
  if (m_MachineJob.kind() != m_ShownJobKind) {
    UpdateMachineButtons(m_Connection.Link() != nullptr);  // a job ran past its limit
  }
  if (step == MachineConnection::Step::kNotDue) {
    return;
  }
  TRACE('T', "Kick idle\n");
  if (StatusBar() != nullptr) {
    StatusBar()->update();
  }
}

void CMainDlg::OnSearching() {
  TRACE('T', "No terminal\n");
}

void CMainDlg::OnFound() {
  TRACE('D', "Device found\n");
}

void CMainDlg::OnAlive() {
  TRACE('T', "Device OK\n");
}

void CMainDlg::OnGone() {
  TRACE('D', "Device gone\n");
}

void CMainDlg::OnHeldChanged(bool held) {
  UpdateMachineButtons(held);
  if (!held) {
    for (int i = 0; i < 6; ++i) {
      m_MenuButtons[i]->SetCheck(kMenu[i].page == 2);
    }
    ShowPage(2);
  }
}

// Whether the menu may open `page` while the machine holds `job`: a deck in the machine leaves
// the way back to the deal menu open and a split job the way back to the split page, where the
// job is waited for; nothing else that sends the machine commands.
static bool PageOpenDuring(int page, MachineJob::Kind job) {
  switch (job) {
    case MachineJob::Kind::kNone:
      return true;
    case MachineJob::Kind::kSorting:
      return page != 4 && page != 5;
    case MachineJob::Kind::kSplitting:
    case MachineJob::Kind::kSplitStopped:
      return page != 3 && page != 5;
  }
  return true;
}

void CMainDlg::UpdateMachineButtons(bool machine) {
  m_ShownJobKind = m_MachineJob.kind();
  for (int i = 0; i < 6; ++i) {
    if (kMenu[i].needs_machine) {
      m_MenuButtons[i]->setEnabled(machine && PageOpenDuring(kMenu[i].page, m_ShownJobKind));
    }
  }
}

void CMainDlg::SetMenuBusy(bool busy) {
  if (busy) {
    for (FooButton* button : m_MenuButtons) {
      button->setEnabled(false);
    }
    return;
  }
  for (int i = 0; i < 6; ++i) {
    if (!kMenu[i].needs_machine) {
      m_MenuButtons[i]->setEnabled(true);
    }
  }
  UpdateMachineButtons(m_Connection.Link() != nullptr);
}

void CMainDlg::StatusCodeText(int code, std::string& text) {
  if (const char* words = machine_status::StatusText(code)) {
    text = words;
  }
}

void CMainDlg::SetStatusText(const char* text) {
  CStatusDialog::SetStatusText(text);
}

int CMainDlg::SendMachineCommand(const char* command, char* reply, size_t size) {
  TRACE('T', "Sending %s\n", command);
  if (reply == nullptr || size == 0) {
    return kExchangeFailed;
  }
  std::snprintf(reply, size, "%s", "Test return");
  UsbInterface* link = m_Connection.Link();
  if (link == nullptr) {
    TRACE('W', "No terminal\n");
    return kNoMachine;
  }
  if (!m_MachineJob.Allows(command)) {
    // Whatever page asks: a setting, a service command or a second job would disturb the deck.
    TRACE('W', "Not sent, the machine is busy with a job: %s\n", command);
    return machine_status::kBusy;
  }
  const int code = Exchange(command, reply, size);
  if (m_MachineJob.Observe(command, code, reply)) {
    UpdateMachineButtons(m_Connection.Link() != nullptr);
  }
  return code;
}

int CMainDlg::Exchange(const char* command, char* reply, size_t size) {
  UsbInterface* link = m_Connection.Link();
  uint32_t n = 0;
  if (link->SendCommand(command, 1000, reply, static_cast<uint32_t>(size), &n) == 0) {
    TRACE('W', "Error sending command %s\n", command);
    return kExchangeFailed;
  }
  TRACE('T', "Read %u bytes into buffer\n", n);
  if (n == 0) {
    // The exchange succeeded with the machine's bare status packet: the split commands'
    // acknowledgement, which has no code to parse and is answered with an empty reply.
    reply[0] = 0;
    TRACE('T', "Reply %s\n", reply);
    TRACE('W', "Unparsable reply\n");
    return kExchangeFailed;
  }
  if (n >= size) {
    TRACE('W', "Buffer too small\n");
    return kExchangeFailed;
  }
  reply[n] = 0;
  TRACE('T', "Reply %s\n", reply);

  machine_status::ParsedReply parsed;
  if (!machine_status::ParseReply(reply, parsed)) {
    TRACE('W', "Unparsable reply\n");
    return kExchangeFailed;
  }
  std::snprintf(reply, size, "%s", parsed.text.c_str());
  return parsed.code;
}

void CMainDlg::closeEvent(QCloseEvent* event) {
  ShowPage(kHideAllPages);
  event->accept();
  done(QDialog::Accepted);
}

void CMainDlg::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      PressFocusedButton();  // a focused menu button; never the end of the dialog
      event->accept();
      return;
    case Qt::Key_Escape:
      event->accept();  // swallowed: the dialog ends only by its close box
      return;
    default:
      CStatusDialog::keyPressEvent(event);
  }
}

void CMainDlg::reject() {
  // Escape reaches here through the dialog's default handling; the dialog does not end on it.
}
