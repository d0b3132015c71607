#include "WindowPos.h"

#include <cstdio>

#include "Settings.h"

namespace {

constexpr const char* kSection = "Windowspos";

struct ValueNames {
  char x[24];
  char y[24];
};

ValueNames NamesFor(unsigned template_id) {
  ValueNames names;
  std::snprintf(names.x, sizeof names.x, "%u_X", template_id);
  std::snprintf(names.y, sizeof names.y, "%u_Y", template_id);
  return names;
}

}  // namespace

QPoint LoadWindowPos(unsigned template_id) {
  const ValueNames names = NamesFor(template_id);
  return QPoint(ReadSettingInt(kSection, names.x, 0), ReadSettingInt(kSection, names.y, 0));
}

bool SaveWindowPos(unsigned template_id, const QPoint& top_left) {
  const ValueNames names = NamesFor(template_id);
  const bool x = WriteSettingInt(kSection, names.x, top_left.x());
  const bool y = WriteSettingInt(kSection, names.y, top_left.y());
  return x && y;
}

QPoint ClampWindowPos(const QPoint& stored, const QSize& client, const QRect& desktop) {
  int x = stored.x();
  int y = stored.y();
  if (x + client.width() > desktop.right() + 1) {
    x = desktop.right() + 1 - client.width();
  }
  if (y + client.height() > desktop.bottom() + 1) {
    y = desktop.bottom() + 1 - client.height();
  }
  if (x < desktop.left()) {
    x = desktop.left();
  }
  if (y < desktop.top()) {
    y = desktop.top();
  }
  return QPoint(x, y);
}
