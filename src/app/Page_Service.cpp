#include "Page_Service.h"

#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <cstdio>

#include "MachineStatus.h"
#include "clock.h"
#include "log.h"

namespace {

const char* const kNoValue = "--";

// A counter the reply did not yield shows "--" rather than whatever the field held before.
QString CounterText(bool read, long long value) {
  if (!read) {
    return QString::fromLatin1(kNoValue);
  }
  char text[32];
  std::snprintf(text, sizeof text, "%i", static_cast<int>(value));
  return QString::fromLatin1(text);
}

}  // namespace

Page_Service::Page_Service(const char* name, MachineHost* host)
    : GenericChildDialog(name), m_Host(host) {
  m_bStatusBar = 0;
}

bool Page_Service::OnInitDialog() {
  GenericChildDialog::OnInitDialog();
  setFont(DialogFont("Verdana", 10));
  SetTemplateSize(332, 264);
  auto* life_label = new QLabel(QStringLiteral("Deals dealt in machine life : "), this);
  PlaceControl(life_label, -1, "lifeLabel", QRect(20, 20, 180, 12));
  m_LifeDeals = new QLabel(this);
  PlaceControl(m_LifeDeals, kLifeDealsId, "lifeDeals", QRect(210, 20, 90, 12));
  auto* service_label = new QLabel(QStringLiteral("Deals dealt since last service"), this);
  PlaceControl(service_label, -1, "serviceLabel", QRect(20, 40, 180, 12));
  m_ServiceDeals = new QLabel(this);
  PlaceControl(m_ServiceDeals, kServiceDealsId, "serviceDeals", QRect(210, 40, 90, 12));
  m_Roller = new QPushButton(QStringLiteral("Turn roller for cleaning"), this);
  PlaceControl(m_Roller, kRollerButtonId, "turnRoller", QRect(20, 80, 200, 24));
  m_Exercise = new QPushButton(QStringLiteral("Exercise pocket arms - please remove cards"), this);
  PlaceControl(m_Exercise, kExerciseButtonId, "exerciseArms", QRect(20, 112, 200, 24));
  connect(m_Roller, &QPushButton::clicked, this, &Page_Service::OnTurnRoller);
  connect(m_Exercise, &QPushButton::clicked, this, &Page_Service::OnExercise);
  m_LifeDeals->setText(QString::fromLatin1(kNoValue));
  m_ServiceDeals->setText(QString::fromLatin1(kNoValue));
  return true;
}

void Page_Service::showEvent(QShowEvent* event) {
  GenericChildDialog::showEvent(event);
  // Only the host's show counts; the main window coming back from the task bar does not ask.
  if (!m_Shown) {
    m_Shown = true;
    ReadServiceInfo();
  }
}

void Page_Service::hideEvent(QHideEvent* event) {
  GenericChildDialog::hideEvent(event);
  if (isHidden()) {
    m_Shown = false;
  }
}

void Page_Service::ReadServiceInfo() {
  char reply[MachineHost::kReplySize] = {};
  if (m_Host->SendMachineCommand("SERVICEINFO", reply, sizeof reply) != machine_status::kOk) {
    m_LifeDeals->setText(QString::fromLatin1(kNoValue));
    m_ServiceDeals->setText(QString::fromLatin1(kNoValue));
    return;
  }
  unsigned fed = 0, life = 0, since_service = 0;
  int jams = 0, misreads = 0, splits = 0;
  const int fields = std::sscanf(reply, "%u,%u,%u,%i,%i,%i", &fed, &life, &since_service, &jams,
                                 &misreads, &splits);
  if (fields == 6) {
    TRACE('D', "Service info OK\n");
  } else {
    TRACE('W', "Service info parse fail \n");
  }
  m_LifeDeals->setText(CounterText(fields >= 2, life));
  m_ServiceDeals->setText(CounterText(fields >= 3, since_service));
}

void Page_Service::OnTurnRoller() {
  char reply[MachineHost::kReplySize] = {};
  m_Host->SendMachineCommand("FEEDFEEDER", reply, sizeof reply);
}

void Page_Service::OnExercise() {
  char reply[MachineHost::kReplySize] = {};
  m_Host->SendMachineCommand("EXERCISE ON", reply, sizeof reply);
  // The arms run while the window waits; the operator has been told to keep clear.
  qclock::Sleep(kExerciseMs);
  m_Host->SendMachineCommand("EXERCISE OFF", reply, sizeof reply);
}
