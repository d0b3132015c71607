#include "RunSections.h"

namespace {

std::string g_card_distribution = "CardDistribution";
std::string g_deal_menu = "DealMenu";

}  // namespace

std::string RunSection(const std::string& machine, const char* name) {
  if (machine.empty()) return name;
  return "Machine-" + machine + "/" + name;
}

void SetRunSettingsMachine(const std::string& machine) {
  g_card_distribution = RunSection(machine, "CardDistribution");
  g_deal_menu = RunSection(machine, "DealMenu");
}

const char* CardDistributionSection() {
  return g_card_distribution.c_str();
}

const char* DealMenuSection() {
  return g_deal_menu.c_str();
}
