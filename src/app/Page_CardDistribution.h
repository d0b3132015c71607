// Page 2: the deal file and the range of deals to deal, with the deals of the range shown one
// at a time in a deal viewer, and the buttons that start the external deal and print tools.
#pragma once

#include <QString>
#include <string>

#include "DealSet.h"
#include "GenericChildDialog.h"

class CDealViewer;
class CFocusEditCtrl;
class QLabel;
class QLineEdit;

class Page_CardDistribution : public GenericChildDialog {
  Q_OBJECT

 public:
  static constexpr unsigned kTemplateId = 1072;
  static constexpr int kViewerFrameId = 1088;

  explicit Page_CardDistribution(const char* name);
  unsigned GetTemplateID() const override { return kTemplateId; }

  // The open-file dialog's filter: both formats, extensions in either case as the loader
  // takes them.
  static QString DealFileFilter();

  int Start() const { return m_Start; }
  int Number() const { return m_Number; }
  unsigned Current() const { return m_Current; }
  const DealSet& Deals() const { return m_Deals; }
  CDealViewer* Viewer() const { return m_Viewer; }

  void OnLoadFile();
  void OnStartChanged();
  void OnNumberChanged();
  void OnNextDeal();
  void OnPreviousDeal();

 protected:
  bool OnInitDialog() override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  bool LoadFile(const std::string& path);
  void UpdateRangeDisplay();
  // Sets a number field's text and runs its change handler, as typing would.
  void SetFieldText(CFocusEditCtrl* field, int value);
  void LoadFromStore();
  void SaveToStore();
  int Count() const { return static_cast<int>(m_Deals.size()); }

  DealSet m_Deals;
  int m_Start = -1;
  int m_Number = -1;
  unsigned m_Current = 1;
  CDealViewer* m_Viewer = nullptr;
  QLineEdit* m_FileField = nullptr;
  QLabel* m_Status = nullptr;
  QLabel* m_Fingerprint = nullptr;  // of the loaded set, to hold against its hand record
  QLabel* m_Duplicates = nullptr;   // deals the file holds twice
  CFocusEditCtrl* m_NumberField = nullptr;
  CFocusEditCtrl* m_StartField = nullptr;
};
