#include "PageTestSupport.h"

#include "BriDup.h"
#include "DealFiles.h"
#include "DialogUnits.h"
#include "Settings.h"

DealSet ShiftedDeals(int count) {
  DealSet deals;
  for (int i = 0; i < count; ++i) deals.push_back(ShiftedDeal(i % kCardsInDeck));
  return deals;
}

Deal DealWithNorth(std::initializer_list<int> north) {
  Deal deal;
  bool taken[kCardsInDeck + 1] = {};
  int pos = 0;
  for (int card : north) {
    deal.cards[pos++] = static_cast<uint8_t>(card);
    taken[card] = true;
  }
  for (int card = 1; card <= kCardsInDeck; ++card) {
    if (!taken[card]) deal.cards[pos++] = static_cast<uint8_t>(card);
  }
  return deal;
}

QString WriteBriFile(const QString& folder, const QString& name, int count) {
  std::vector<Deal> deals;
  for (int i = 0; i < count; ++i) deals.push_back(ShiftedDeal(i % kCardsInDeck));
  const QString path = folder + "/" + name;
  ::WriteBriFile(path.toStdString(), deals);
  return path;
}

std::string StoreDealMenuRun(const QString& folder) {
  const std::string path = (folder + "/tournament.bri").toStdString();
  std::vector<Deal> deals = MakeDeals(8);
  deals[4] = MakeDeal(0);
  if (!::WriteBriFile(path, deals)) return std::string();
  WriteSettingString("CardDistribution", "Filename", path.c_str());
  WriteSettingInt("CardDistribution", "StartDeal", 5);
  WriteSettingInt("CardDistribution", "NumberOfDeal", 3);
  WriteSettingString("DealMenu", "LastFile", path.c_str());
  WriteSettingString("DealMenu", "NumberOfCopies", "2");
  return path;
}

std::unique_ptr<QWidget> MakePageHost(QSize size, int frame_id, QRect frame) {
  auto host = std::make_unique<QWidget>();
  host->resize(size);
  auto* placeholder = new QWidget(host.get());
  SetControlId(placeholder, frame_id);
  placeholder->setGeometry(frame);
  placeholder->hide();
  return host;
}
