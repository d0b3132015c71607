#include "ColorStatic.h"

#include <QApplication>

CColorStatic::CColorStatic(QWidget* parent)
    : QLabel(parent), m_BackgroundColour(QApplication::palette().color(QPalette::Button)) {
  setAutoFillBackground(true);
  ApplyColours();
}

void CColorStatic::SetTextColour(const QColor& colour) {
  m_TextColour = colour;
  ApplyColours();
  repaint();
}

void CColorStatic::ApplyColours() {
  QPalette colours = palette();
  colours.setColor(QPalette::Window, m_BackgroundColour);
  colours.setColor(QPalette::WindowText, m_TextColour);
  setPalette(colours);
}
