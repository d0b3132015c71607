#include "Page_CardDistribution.h"

#include <QCoreApplication>
#include <QFrame>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShowEvent>
#include <climits>
#include <cstdint>
#include <cstdio>

#include "BriDup.h"
#include "DealViewer.h"
#include "FileChoice.h"
#include "Fingerprint.h"
#include "FocusEditCtrl.h"
#include "FooButton.h"
#include "LaunchTool.h"
#include "MessageBox.h"
#include "RunSections.h"
#include "SampleSession.h"
#include "Settings.h"
#include "log.h"

namespace {

const QColor kFieldWhite(255, 255, 255);
const QColor kFieldLightRed(255, 192, 192);

// A number field's text as a decimal number; -1 when it holds none. The fields take only
// digits, but pasted text is not length-limited, so large values stop at INT_MAX.
int ReadDecimal(const QString& text) {
  int64_t value = -1;
  for (QChar c : text) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) break;
    value = (value < 0 ? 0 : value) * 10 + (c.unicode() - '0');
    if (value > INT_MAX) value = INT_MAX;
  }
  return static_cast<int>(value);
}

}  // namespace

Page_CardDistribution::Page_CardDistribution(const char* name) : GenericChildDialog(name) {
  m_bStatusBar = 0;
}

QString Page_CardDistribution::DealFileFilter() {
  // First every file the program reads, so a new user sees all deal files at once; then each
  // format; then everything, for a file with another name.
  return QStringLiteral(
      "Deal files (*.[bB][rR][iI] *.[dD][uU][pP] *.[pP][bB][nN]);;BRI files (*.[bB][rR][iI]);;"
      "Duplimate files (*.[dD][uU][pP]);;PBN files (*.[pP][bB][nN]);;All files (*)");
}

bool Page_CardDistribution::OnInitDialog() {
  GenericChildDialog::OnInitDialog();
  setFont(DialogFont("Verdana", 10));
  SetTemplateSize(332, 264);

  m_FileField = new QLineEdit(this);
  PlaceControl(m_FileField, 1087, "fileName", QRect(7, 7, 250, 14));
  auto* load = new FooButton(QStringLiteral("Load file"), this);
  PlaceControl(load, 1086, "loadFile", QRect(262, 7, 63, 14));
  m_Status = new QLabel(this);
  PlaceControl(m_Status, 1103, "loadResult", QRect(7, 25, 250, 10));
  m_Fingerprint = new QLabel(this);
  PlaceControl(m_Fingerprint, -1, "fingerprint", QRect(140, 42, 185, 10));
  m_Duplicates = new QLabel(this);
  m_Duplicates->setWordWrap(true);
  m_Duplicates->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0)"));
  PlaceControl(m_Duplicates, -1, "duplicateDeals", QRect(140, 54, 185, 20));

  auto* number_label = new QLabel(QStringLiteral("Set total # of deals :"), this);
  PlaceControl(number_label, -1, "numberLabel", QRect(7, 42, 90, 10));
  m_NumberField = new CFocusEditCtrl(this);
  PlaceControl(m_NumberField, 1000, "numberOfDeals", QRect(100, 40, 30, 14));
  auto* start_label = new QLabel(QStringLiteral("Start at deal : "), this);
  PlaceControl(start_label, -1, "startLabel", QRect(7, 60, 90, 10));
  m_StartField = new CFocusEditCtrl(this);
  PlaceControl(m_StartField, 1007, "startDeal", QRect(100, 58, 30, 14));

  // Only marks where the viewer goes; it must not cover it.
  auto* frame = new QFrame(this);
  PlaceControl(frame, kViewerFrameId, "viewerFrame", QRect(7, 80, 204, 165));
  frame->hide();

  auto* deal_tool = new FooButton(QStringLiteral("DealTool"), this);
  PlaceControl(deal_tool, 1047, "dealTool", QRect(230, 80, 80, 14));
  auto* print_tool = new FooButton(QStringLiteral("PrintTool"), this);
  PlaceControl(print_tool, 1048, "printTool", QRect(230, 98, 80, 14));

  connect(load, &QPushButton::clicked, this, &Page_CardDistribution::OnLoadFile);
  connect(deal_tool, &QPushButton::clicked, this, [] { LaunchTool("DealTool"); });
  // The companion program, when it stands in for the print tool, starts on the loaded file.
  connect(print_tool, &QPushButton::clicked, this,
          [this] { LaunchTool("PrintTool", m_FileField->text().toStdString()); });
  connect(m_StartField, &QLineEdit::textChanged, this, &Page_CardDistribution::OnStartChanged);
  connect(m_NumberField, &QLineEdit::textChanged, this, &Page_CardDistribution::OnNumberChanged);

  m_Viewer = new CDealViewer("DealViewer");
  m_Viewer->Create(this, kViewerFrameId);
  m_Viewer->show();
  connect(m_Viewer, &CDealViewer::NextDeal, this, &Page_CardDistribution::OnNextDeal);
  connect(m_Viewer, &CDealViewer::PreviousDeal, this, &Page_CardDistribution::OnPreviousDeal);
  m_Viewer->SetInfo("--", "--", "--", "");

  for (CFocusEditCtrl* field : {m_StartField, m_NumberField}) {
    field->SetAllowedChars("0123456789");
    field->SetMaxLength(3);
  }
  return true;
}

void Page_CardDistribution::UpdateRangeDisplay() {
  if (m_Number >= 1 && m_Start >= 1) {
    const int64_t last = int64_t{m_Start} + m_Number - 1;
    char current[32], number[32], range[48];
    std::snprintf(current, sizeof current, "Deal # %u", m_Current);
    std::snprintf(number, sizeof number, "of %u", static_cast<unsigned>(m_Number));
    std::snprintf(range, sizeof range, "(%u-%lld)", static_cast<unsigned>(m_Start),
                  static_cast<long long>(last));
    m_Viewer->SetInfo(current, number, range, "");
    // The viewer shows nothing for a deal the file does not have.
    const int64_t deal = int64_t{m_Start} + m_Current - 1;
    m_Viewer->ShowDeal(deal > INT_MAX ? INT_MAX : static_cast<int>(deal));
  } else {
    m_Viewer->SetInfo("--", "--", "--", "");
    m_Viewer->ShowDeal(-1);
  }
}

bool Page_CardDistribution::LoadFile(const std::string& path) {
  m_Deals.clear();
  m_Current = 1;
  UpdateRangeDisplay();
  m_NumberField->setEnabled(false);
  m_StartField->setEnabled(false);
  m_Fingerprint->clear();
  m_Duplicates->clear();

  if (!LoadDealFile(path.c_str(), m_Deals)) {
    TRACE('W', "Error reading deals\n");
    m_Status->setText(QStringLiteral("Format error in file"));
    m_Deals.clear();
    m_Viewer->SetDeals(m_Deals);
    return false;
  }
  m_Viewer->SetDeals(m_Deals);
  m_Status->setText(QStringLiteral("File contains %1 deals").arg(m_Deals.size()));
  m_Fingerprint->setText(
      QStringLiteral("Fingerprint %1").arg(QString::fromStdString(DealSetFingerprint(m_Deals))));
  // Dealing still works: a set may repeat a deal on purpose, but mostly it is a wrong file.
  const std::vector<DuplicateDeals> duplicates = FindDuplicateDeals(m_Deals);
  if (!duplicates.empty()) {
    QString text = QString::fromStdString(DuplicateDealsText(duplicates.front()));
    if (duplicates.size() > 1) {
      text += QStringLiteral(" (and %1 more)").arg(duplicates.size() - 1);
    }
    m_Duplicates->setText(text);
    for (const DuplicateDeals& duplicate : duplicates) {
      TRACE('I', "%s\n", DuplicateDealsText(duplicate).c_str());
    }
  }
  m_NumberField->setEnabled(true);
  m_StartField->setEnabled(true);

  const int count = Count();
  if (m_Start < 1 || m_Number < 1 || m_Number > count || int64_t{m_Start} + m_Number - 1 > count) {
    m_Start = 1;
    m_Number = count;
    TRACE('D', "Defaulting indexes start %i of %i\n", m_Start, m_Number);
  }
  // Copies: each handler reads its field back into the member.
  const int start = m_Start;
  const int number = m_Number;
  SetFieldText(m_StartField, start);
  SetFieldText(m_NumberField, number);
  UpdateRangeDisplay();
  return true;
}

void Page_CardDistribution::SetFieldText(CFocusEditCtrl* field, int value) {
  // The handler runs once even when the text stays the same, as a field change always does.
  const bool blocked = field->blockSignals(true);
  field->setText(QString::number(value));
  field->blockSignals(blocked);
  if (field == m_StartField) {
    OnStartChanged();
  } else {
    OnNumberChanged();
  }
}

void Page_CardDistribution::OnLoadFile() {
  // A new user's first look is at the sample session, which deals at once.
  const QString folder = m_FileField->text().isEmpty()
                             ? SampleSessionFolder(QCoreApplication::applicationDirPath())
                             : QString();
  const std::string chosen = ChooseFileToOpen(this, DealFileFilter(), folder);
  if (chosen.empty()) return;
  m_FileField->setText(QString::fromStdString(chosen));
  // A newly chosen file is dealt whole unless the operator narrows the range.
  m_Start = -1;
  m_Number = -1;
  LoadFile(chosen);
}

void Page_CardDistribution::OnStartChanged() {
  m_Current = 1;
  TRACE('D', "Deal start change\n");
  if (m_Deals.empty()) {
    TRACE('D', "\tNo Deals loaded\n");
    return;
  }
  m_StartField->SetBackgroundColour(kFieldWhite);
  m_Start = ReadDecimal(m_StartField->text());
  if (int64_t{m_Number} + m_Start - 1 > Count()) {
    ShowMessageBox("Deal start is too big ", "Error", BoxButtons::Ok);
    m_StartField->SetBackgroundColour(kFieldLightRed);
    return;
  }
  TRACE('D', "\tDeal start change done\n");
  UpdateRangeDisplay();
}

void Page_CardDistribution::OnNumberChanged() {
  m_Current = 1;
  TRACE('D', "Deal number change\n");
  m_NumberField->SetBackgroundColour(kFieldWhite);
  m_Number = ReadDecimal(m_NumberField->text());
  if (m_Number > Count()) {
    TRACE('W', "More deals specified than found in file\n");
    ShowMessageBox("More deals specified than found in file", "Error", BoxButtons::Ok);
    m_NumberField->SetBackgroundColour(kFieldLightRed);
    return;
  }
  TRACE('D', "\tDeal number change done\n");
  UpdateRangeDisplay();
}

void Page_CardDistribution::OnNextDeal() {
  TRACE('D', "Page 2 Spin right\n");
  // The range may run past the end of the file; the arrows stop at the file's last deal.
  const bool next_in_file = int64_t{m_Start} + m_Current <= Count();
  if (m_Current < static_cast<unsigned>(m_Number) && next_in_file) ++m_Current;
  UpdateRangeDisplay();
}

void Page_CardDistribution::OnPreviousDeal() {
  TRACE('D', "Page 2 Spin left\n");
  if (m_Current > 1) --m_Current;
  UpdateRangeDisplay();
}

void Page_CardDistribution::showEvent(QShowEvent* event) {
  GenericChildDialog::showEvent(event);
  // Minimising and restoring the program is not a visit to the page.
  if (!event->spontaneous()) LoadFromStore();
}

void Page_CardDistribution::hideEvent(QHideEvent* event) {
  GenericChildDialog::hideEvent(event);
  if (!event->spontaneous()) SaveToStore();
}

void Page_CardDistribution::LoadFromStore() {
  m_Viewer->SetDealVisible(ReadSettingInt("Parameters", "dealvisible", 0) != 0);
  TRACE('D', "Loading last filename\n");
  const std::string path = ReadSettingString(CardDistributionSection(), "Filename", "");
  if (path.empty()) {
    TRACE('W', "Recent load problem\n");
    m_FileField->clear();
    m_Viewer->SetDeals(DealSet());
    return;
  }
  m_FileField->setText(QString::fromStdString(path));
  m_Start = ReadSettingInt(CardDistributionSection(), "StartDeal", -1);
  m_Number = ReadSettingInt(CardDistributionSection(), "NumberOfDeal", -1);
  if (LoadFile(path)) {
    TRACE('I', "File %s loaded\n", path.c_str());
  } else {
    TRACE('W', "Load problem\n");
    m_FileField->clear();
    ShowMessageBox("Could not load data from file", "Error", BoxButtons::Ok);
  }
}

void Page_CardDistribution::SaveToStore() {
  const std::string path = m_FileField->text().toStdString();
  TRACE('D', "Saving last filename %s\n", path.c_str());
  WriteSettingString(CardDistributionSection(), "Filename", path.c_str());
  // Read as decimal, as the fields were checked while the page was shown: a leading zero must
  // not turn 010 into deal 8.
  m_Number = ReadDecimal(m_NumberField->text());
  if (m_Number == -1) TRACE('W', " Illigal number in deals\n");
  m_Start = ReadDecimal(m_StartField->text());
  if (m_Start == -1) TRACE('W', " Illigal number in startdeals\n");
  WriteSettingInt(CardDistributionSection(), "StartDeal", m_Start);
  WriteSettingInt(CardDistributionSection(), "NumberOfDeal", m_Number);
}
