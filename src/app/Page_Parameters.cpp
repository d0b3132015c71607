#include "Page_Parameters.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHideEvent>
#include <QLineEdit>
#include <QShowEvent>

#include "FileChoice.h"
#include "FirstStart.h"
#include "FooButton.h"
#include "MessageBox.h"
#include "RadioListBox.h"
#include "Settings.h"
#include "System.h"
#include "log.h"

namespace {

constexpr const char* kSection = "Parameters";

}  // namespace

Page_Parameters::Page_Parameters(const char* name) : GenericChildDialog(name) {
  m_bStatusBar = 0;
}

bool Page_Parameters::OnInitDialog() {
  GenericChildDialog::OnInitDialog();
  setFont(DialogFont("Verdana", 10));
  SetTemplateSize(332, 264);

  struct Group {
    const char* title;
    const char* name;
    QRect place;
  } groups[] = {
      {"Cards", "cardsGroup", QRect(7, 4, 150, 42)},
      {"Sort order", "sortOrderGroup", QRect(7, 50, 150, 54)},
      {"Deal order", "dealOrderGroup", QRect(7, 108, 150, 42)},
  };
  for (const Group& group : groups) {
    auto* box = new QGroupBox(QString::fromLatin1(group.title), this);
    PlaceControl(box, -1, group.name, group.place);
  }
  m_CardBarcode = new CRadioListBox(this);
  PlaceControl(m_CardBarcode, 1069, "cardBarcode", QRect(13, 15, 138, 26));
  m_SortOrder = new CRadioListBox(this);
  PlaceControl(m_SortOrder, 1071, "sortOrder", QRect(13, 61, 138, 38));
  m_DealOrder = new CRadioListBox(this);
  PlaceControl(m_DealOrder, 1079, "dealOrder", QRect(13, 119, 138, 26));
  for (CRadioListBox* list : {m_CardBarcode, m_SortOrder, m_DealOrder}) {
    list->SetTransparent(true);
  }

  struct Check {
    QCheckBox** box;
    int id;
    const char* text;
    const char* name;
    int y;
  } checks[] = {
      {&m_StopCard, 1073, "Use stopcard", "stopcard", 10},
      {&m_ButtonStart, 1075, "Button start", "buttonstart", 26},
      {&m_TrayStart, 1077, "Tray start (not possible with soft boards)", "traystart", 42},
      {&m_DealVisible, 1081, "Deal visible in dealmenu", "dealvisible", 58},
      {&m_JustDealtVisible, 1082, "Just dealt visible in deal menu", "justdealtvisible", 74},
  };
  for (const Check& check : checks) {
    *check.box = new QCheckBox(QString::fromLatin1(check.text), this);
    PlaceControl(*check.box, check.id, check.name, QRect(163, check.y, 166, 12));
  }

  auto* setup_deal_tool = new FooButton(QStringLiteral("Setup deal tool"), this);
  PlaceControl(setup_deal_tool, 1046, "setupDealTool", QRect(7, 162, 80, 14));
  m_DealToolField = new QLineEdit(this);
  PlaceControl(m_DealToolField, 1090, "dealToolPath", QRect(92, 162, 233, 14));
  auto* setup_print_tool = new FooButton(QStringLiteral("Setup print tool"), this);
  PlaceControl(setup_print_tool, 1047, "setupPrintTool", QRect(7, 182, 80, 14));
  m_PrintToolField = new QLineEdit(this);
  PlaceControl(m_PrintToolField, 1091, "printToolPath", QRect(92, 182, 233, 14));
  auto* use_defaults = new FooButton(QStringLiteral("Use defaults"), this);
  PlaceControl(use_defaults, 1010, "useDefaults", QRect(7, 210, 80, 14));
  connect(setup_deal_tool, &QPushButton::clicked, this, &Page_Parameters::OnSetupDealTool);
  connect(setup_print_tool, &QPushButton::clicked, this, &Page_Parameters::OnSetupPrintTool);
  connect(use_defaults, &QPushButton::clicked, this, &Page_Parameters::OnUseDefaults);

  TRACE('D', "#1 on init\n");
  // Inserted at given places; the stored values are indexes into the resulting orders.
  m_CardBarcode->InsertString(0, "7_BAR");
  m_CardBarcode->InsertString(1, "5_BAR");
  m_DealOrder->InsertString(0, "D1,D1,D1....D2,D2,D2");
  m_DealOrder->InsertString(1, "D1,D2,D3....D1,D2,D3");
  m_SortOrder->InsertString(0, "SWEN");
  m_SortOrder->InsertString(0, "NEWS");
  m_SortOrder->InsertString(0, "NESW");
  return true;
}

void Page_Parameters::showEvent(QShowEvent* event) {
  GenericChildDialog::showEvent(event);
  // Minimising and restoring the program is not a visit to the page.
  if (!event->spontaneous()) LoadFromStore();
}

void Page_Parameters::hideEvent(QHideEvent* event) {
  GenericChildDialog::hideEvent(event);
  if (!event->spontaneous()) SaveToStore();
}

void Page_Parameters::ApplyDefaults() {
  m_CardBarcode->SetCurSel(ParameterDefaultValue("CardBarcode"));
  m_SortOrder->SetCurSel(ParameterDefaultValue("SortOrder"));
  m_DealOrder->SetCurSel(ParameterDefaultValue("DealOrder"));
  m_StopCard->setChecked(ParameterDefaultValue("stopcard") != 0);
  m_ButtonStart->setChecked(ParameterDefaultValue("buttonstart") != 0);
  m_TrayStart->setChecked(ParameterDefaultValue("traystart") != 0);
  m_DealVisible->setChecked(ParameterDefaultValue("dealvisible") != 0);
  m_JustDealtVisible->setChecked(ParameterDefaultValue("justdealtvisible") != 0);
}

void Page_Parameters::LoadFromStore() {
  if (ReadSettingInt(kSection, "CardBarcode", -1) == -1) {
    // First start (or no barcode chosen): the defaults, stored at once. The tool paths are
    // taken from the store first, so that storing the defaults cannot wipe paths the operator
    // set up in an earlier session; on a first start they are empty.
    m_DealToolPath = ReadSettingString(kSection, "DealTool", "");
    m_PrintToolPath = ReadSettingString(kSection, "PrintTool", "");
    m_DealToolField->setText(QString::fromStdString(m_DealToolPath));
    m_PrintToolField->setText(QString::fromStdString(m_PrintToolPath));
    ApplyDefaults();
    update();
    SaveToStore();
    return;
  }
  m_CardBarcode->SetCurSel(ReadSettingInt(kSection, "CardBarcode", 0));
  m_DealOrder->SetCurSel(ReadSettingInt(kSection, "DealOrder", 0));
  m_SortOrder->SetCurSel(ReadSettingInt(kSection, "SortOrder", 0));
  m_StopCard->setChecked(ReadSettingInt(kSection, "stopcard", 0) != 0);
  m_ButtonStart->setChecked(ReadSettingInt(kSection, "buttonstart", 0) != 0);
  m_TrayStart->setChecked(ReadSettingInt(kSection, "traystart", 0) != 0);
  m_DealVisible->setChecked(ReadSettingInt(kSection, "dealvisible", 0) != 0);
  m_JustDealtVisible->setChecked(ReadSettingInt(kSection, "justdealtvisible", 0) != 0);
  m_DealToolPath = ReadSettingString(kSection, "DealTool", "");
  m_PrintToolPath = ReadSettingString(kSection, "PrintTool", "");
  m_DealToolField->setText(QString::fromStdString(m_DealToolPath));
  m_PrintToolField->setText(QString::fromStdString(m_PrintToolPath));
}

void Page_Parameters::SaveToStore() {
  // Store failures are not the operator's business: the store traces them itself.
  WriteSettingInt(kSection, "CardBarcode", m_CardBarcode->GetCurSel());
  WriteSettingInt(kSection, "DealOrder", m_DealOrder->GetCurSel());
  WriteSettingInt(kSection, "SortOrder", m_SortOrder->GetCurSel());
  WriteSettingInt(kSection, "stopcard", m_StopCard->isChecked() ? 1 : 0);
  WriteSettingInt(kSection, "buttonstart", m_ButtonStart->isChecked() ? 1 : 0);
  WriteSettingInt(kSection, "traystart", m_TrayStart->isChecked() ? 1 : 0);
  WriteSettingInt(kSection, "dealvisible", m_DealVisible->isChecked() ? 1 : 0);
  WriteSettingInt(kSection, "justdealtvisible", m_JustDealtVisible->isChecked() ? 1 : 0);
  // The paths the setup buttons chose; what was typed into the fields does not count.
  WriteSettingString(kSection, "DealTool", m_DealToolPath.c_str());
  WriteSettingString(kSection, "PrintTool", m_PrintToolPath.c_str());
}

void Page_Parameters::OnUseDefaults() {
  if (ShowMessageBox("Are you sure ?", "Please confirm", BoxButtons::OkCancel) != BoxAnswer::Ok) {
    return;
  }
  ApplyDefaults();
  update();
}

void Page_Parameters::OnSetupDealTool() {
  SetupTool(m_DealToolPath, m_DealToolField);
}

void Page_Parameters::OnSetupPrintTool() {
  SetupTool(m_PrintToolPath, m_PrintToolField);
}

void Page_Parameters::SetupTool(std::string& path, QLineEdit* field) {
  const std::string chosen = ChooseFileToOpen(this, QString::fromLatin1(qsys::ProgramFileFilter()));
  if (chosen.empty()) return;
  // A program carries the permission to run on POSIX and a program's extension on Windows.
  const QFileInfo info(QString::fromStdString(chosen));
  if (!info.isFile() || !info.isExecutable()) {
    ShowMessageBox("Not an executable program", "Error", BoxButtons::Ok);
    return;
  }
  path = chosen;
  field->setText(QString::fromStdString(path));
}
