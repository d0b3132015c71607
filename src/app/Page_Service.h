// Page 5: the machine's deal counters and two maintenance actions.
#pragma once

#include "GenericChildDialog.h"
#include "MachineHost.h"

class QLabel;
class QPushButton;

class Page_Service : public GenericChildDialog {
  Q_OBJECT

 public:
  static constexpr unsigned kTemplateId = 1078;
  static constexpr int kLifeDealsId = 1108;
  static constexpr int kServiceDealsId = 1109;
  static constexpr int kRollerButtonId = 1009;
  static constexpr int kExerciseButtonId = 1014;
  // How long the pocket arms move before they are told to stop.
  static constexpr uint32_t kExerciseMs = 3000;

  Page_Service(const char* name, MachineHost* host);
  unsigned GetTemplateID() const override { return kTemplateId; }

  QLabel* LifeDeals() const { return m_LifeDeals; }
  QLabel* ServiceDeals() const { return m_ServiceDeals; }

 public slots:
  void OnTurnRoller();
  void OnExercise();

 protected:
  bool OnInitDialog() override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void ReadServiceInfo();

  MachineHost* m_Host;
  QLabel* m_LifeDeals = nullptr;
  QLabel* m_ServiceDeals = nullptr;
  QPushButton* m_Roller = nullptr;
  QPushButton* m_Exercise = nullptr;
  bool m_Shown = false;
};
