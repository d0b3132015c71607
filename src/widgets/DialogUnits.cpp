#include "DialogUnits.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QVariant>
#include <QWidget>

namespace {

constexpr const char* kControlIdProperty = "quadrelleControlId";

// Multiplies and divides with rounding half away from zero, as the platform's conversion does.
int MulDiv(int number, int numerator, int denominator) {
  const long long product = static_cast<long long>(number) * numerator;
  const long long half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator
                                       : (product - half) / denominator);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  base_x_ = (letters / 26 + 1) / 2;
  base_y_ = metrics.height();
}

int DialogUnits::ToPixelsX(int units) const {
  return MulDiv(units, base_x_, 4);
}

int DialogUnits::ToPixelsY(int units) const {
  return MulDiv(units, base_y_, 8);
}

QRect DialogUnits::ToPixels(const QRect& units) const {
  const int left = ToPixelsX(units.x());
  const int top = ToPixelsY(units.y());
  const int right = ToPixelsX(units.x() + units.width());
  const int bottom = ToPixelsY(units.y() + units.height());
  return QRect(left, top, right - left, bottom - top);
}

QSize DialogUnits::ToPixels(const QSize& units) const {
  return QSize(ToPixelsX(units.width()), ToPixelsY(units.height()));
}

QFont DialogFont(const char* family, int points) {
  QFont font(QString::fromLatin1(family), points);
  if (QFontInfo(font).family().compare(font.family(), Qt::CaseInsensitive) != 0) {
    font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(points);
  }
  return font;
}

void SetControlId(QWidget* control, int id) {
  control->setProperty(kControlIdProperty, id);
}

int ControlId(const QWidget* control) {
  bool ok = false;
  const int id = control->property(kControlIdProperty).toInt(&ok);
  return ok ? id : -1;
}

QWidget* FindControl(const QWidget* root, int id) {
  const auto children = root->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  for (QWidget* child : children) {
    if (ControlId(child) == id) {
      return child;
    }
  }
  return nullptr;
}
