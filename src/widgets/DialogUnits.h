// Dialog units, the measure the dialog layouts are drawn in: a horizontal unit is a quarter of
// the dialog font's average character width, a vertical unit an eighth of its height. Layouts
// given in these units keep their proportions whatever font the platform substitutes.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

class QWidget;

class DialogUnits {
 public:
  // Base units of the font: the average width of the 52 Latin letters (rounded), and the
  // font's height.
  explicit DialogUnits(const QFont& font);
  DialogUnits(int base_x, int base_y) : base_x_(base_x), base_y_(base_y) {}

  int BaseX() const { return base_x_; }
  int BaseY() const { return base_y_; }

  int ToPixelsX(int units) const;
  int ToPixelsY(int units) const;
  // Each edge is converted on its own, so that neighbouring controls still meet exactly.
  QRect ToPixels(const QRect& units) const;
  QSize ToPixels(const QSize& units) const;

 private:
  int base_x_;
  int base_y_;
};

// A font of the given family and size, or the platform's sans font of that size where the
// family is missing (dialogs ask for "Verdana").
QFont DialogFont(const char* family, int points);

// Controls are found by their number, as the dialog layouts name them; the number is kept in a
// property of the widget. Only direct children are searched: a page may reuse a number that its
// host also uses.
void SetControlId(QWidget* control, int id);
int ControlId(const QWidget* control);  // -1 without a number
QWidget* FindControl(const QWidget* root, int id);
