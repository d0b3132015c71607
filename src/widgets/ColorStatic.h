// A static text with a text colour of its own, on the dialog's button-face background.
#pragma once

#include <QColor>
#include <QLabel>

class CColorStatic : public QLabel {
  Q_OBJECT

 public:
  explicit CColorStatic(QWidget* parent = nullptr);

  // Takes effect at once: the control is redrawn before this returns.
  void SetTextColour(const QColor& colour);
  QColor TextColour() const { return m_TextColour; }
  QColor BackgroundColour() const { return m_BackgroundColour; }

 private:
  void ApplyColours();

  QColor m_BackgroundColour;
  QColor m_TextColour{0, 0, 0};
};
