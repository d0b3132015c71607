// Page 1: how the machine reads and sorts the cards, how a run starts, what the deal menu shows,
// and which external deal tool and print tool the card distribution page can start.
#pragma once

#include <string>

#include "GenericChildDialog.h"

class CRadioListBox;
class QCheckBox;
class QLineEdit;

class Page_Parameters : public GenericChildDialog {
  Q_OBJECT

 public:
  static constexpr unsigned kTemplateId = 1070;

  explicit Page_Parameters(const char* name);
  unsigned GetTemplateID() const override { return kTemplateId; }

  // The two tool paths as stored; the path fields only show them.
  const std::string& DealToolPath() const { return m_DealToolPath; }
  const std::string& PrintToolPath() const { return m_PrintToolPath; }

  void OnUseDefaults();
  void OnSetupDealTool();
  void OnSetupPrintTool();

 protected:
  bool OnInitDialog() override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void LoadFromStore();
  void SaveToStore();
  void ApplyDefaults();
  void SetupTool(std::string& path, QLineEdit* field);

  CRadioListBox* m_CardBarcode = nullptr;
  CRadioListBox* m_SortOrder = nullptr;
  CRadioListBox* m_DealOrder = nullptr;
  QCheckBox* m_StopCard = nullptr;
  QCheckBox* m_ButtonStart = nullptr;
  QCheckBox* m_TrayStart = nullptr;
  QCheckBox* m_DealVisible = nullptr;
  QCheckBox* m_JustDealtVisible = nullptr;
  QLineEdit* m_DealToolField = nullptr;
  QLineEdit* m_PrintToolField = nullptr;
  std::string m_DealToolPath;
  std::string m_PrintToolPath;
};
