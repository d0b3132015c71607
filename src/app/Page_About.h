// Page 6: the program's version and the machine's firmware version.
#pragma once

#include "GenericChildDialog.h"
#include "MachineHost.h"

class QLineEdit;

class Page_About : public GenericChildDialog {
  Q_OBJECT

 public:
  static constexpr unsigned kTemplateId = 1080;
  static constexpr int kFirmwareId = 1104;
  static constexpr int kProgramVersionId = 1106;

  Page_About(const char* name, MachineHost* host);
  unsigned GetTemplateID() const override { return kTemplateId; }

  QLineEdit* Firmware() const { return m_Firmware; }
  QLineEdit* ProgramVersion() const { return m_ProgramVersion; }

 protected:
  bool OnInitDialog() override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  MachineHost* m_Host;
  QLineEdit* m_Firmware = nullptr;
  QLineEdit* m_ProgramVersion = nullptr;
  bool m_Shown = false;
};
