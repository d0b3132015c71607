#include "Page_About.h"

#include <QLabel>
#include <QLineEdit>

#include "MachineStatus.h"
#include "version.h"

Page_About::Page_About(const char* name, MachineHost* host)
    : GenericChildDialog(name), m_Host(host) {
  m_bStatusBar = 0;
}

bool Page_About::OnInitDialog() {
  GenericChildDialog::OnInitDialog();
  setFont(DialogFont("Verdana", 10));
  SetTemplateSize(332, 264);
  auto* firmware_label = new QLabel(QStringLiteral("Machine firmware version"), this);
  PlaceControl(firmware_label, -1, "firmwareLabel", QRect(20, 20, 200, 12));
  m_Firmware = new QLineEdit(this);
  m_Firmware->setReadOnly(true);
  PlaceControl(m_Firmware, kFirmwareId, "firmwareVersion", QRect(20, 34, 290, 14));
  auto* program_label = new QLabel(QStringLiteral("Program version"), this);
  PlaceControl(program_label, -1, "programLabel", QRect(20, 60, 200, 12));
  m_ProgramVersion = new QLineEdit(this);
  m_ProgramVersion->setReadOnly(true);
  PlaceControl(m_ProgramVersion, kProgramVersionId, "programVersion", QRect(20, 74, 290, 14));
  m_Firmware->setText(QStringLiteral("--"));
  m_ProgramVersion->setText(QString::fromLatin1(GetVersionText()));
  return true;
}

void Page_About::showEvent(QShowEvent* event) {
  GenericChildDialog::showEvent(event);
  // Only the host's show counts; the main window coming back from the task bar does not ask.
  if (m_Shown) {
    return;
  }
  m_Shown = true;
  char reply[MachineHost::kReplySize] = {};
  if (m_Host->SendMachineCommand("FIRMWARE", reply, sizeof reply) == machine_status::kOk) {
    m_Firmware->setText(QString::fromLatin1(reply));
  } else {
    m_Firmware->setText(QStringLiteral("--"));
  }
}

void Page_About::hideEvent(QHideEvent* event) {
  GenericChildDialog::hideEvent(event);
  if (isHidden()) {
    m_Shown = false;
  }
}
