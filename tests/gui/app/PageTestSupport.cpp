#include "PageTestSupport.h"

#include <QFile>

#include "BriDup.h"

Deal ShiftedDeal(int k) {
  Deal deal;
  for (int pos = 0; pos < kCardsInDeck; ++pos) {
    deal.cards[pos] = static_cast<uint8_t>((pos + k) % kCardsInDeck + 1);
  }
  return deal;
}

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
  QByteArray bytes;
  for (int i = 0; i < count; ++i) {
    const Deal deal = ShiftedDeal(i % kCardsInDeck);
    QByteArray record;
    for (int pos = 0; pos < 39; ++pos) {
      record += static_cast<char>('0' + deal.cards[pos] / 10);
      record += static_cast<char>('0' + deal.cards[pos] % 10);
    }
    record.resize(kBriRecordSize, ' ');
    bytes += record;
  }
  const QString path = folder + "/" + name;
  QFile file(path);
  if (file.open(QIODevice::WriteOnly)) file.write(bytes);
  return path;
}
