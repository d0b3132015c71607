// An edit field that takes only the characters it is told to, limits what can be typed,
// filters pasted and dropped text the same way, and shows its own colours while it has the
// keyboard focus.
#pragma once

#include <QColor>
#include <QLineEdit>
#include <QString>

class CFocusEditCtrl : public QLineEdit {
  Q_OBJECT

 public:
  explicit CFocusEditCtrl(QWidget* parent = nullptr);

  // A non-empty text allows only its characters; nullptr switches the allowed set off.
  void SetAllowedChars(const char* chars);
  // Characters that cannot be typed; used only while no allowed set is in force.
  void SetExcludedChars(const char* chars);
  // The most characters that can be typed, -1 for no limit. Pasted text is not limited.
  void SetMaxLength(int length) { m_MaxLength = length; }
  int MaxLength() const { return m_MaxLength; }

  // Colours while the field has the focus. Setting the background also gives it the focus.
  void SetBackgroundColour(const QColor& colour);
  void SetTextColour(const QColor& colour);
  QColor BackgroundColour() const { return m_BackgroundColour; }
  QColor TextColour() const { return m_TextColour; }

  // Replaces the selection with the clipboard's text, filtered.
  void Paste();
  // The text without the characters this field does not take.
  QString Filter(const QString& text) const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;

 private:
  bool IsAllowed(QChar c) const;
  void InsertFiltered(const QString& text);
  void ApplyColours();

  QString m_AllowedChars;
  bool m_AllowedOn = false;
  QString m_ExcludedChars;
  bool m_ExcludedOn = false;
  int m_MaxLength = -1;
  QColor m_TextColour{0, 0, 0};
  QColor m_BackgroundColour{255, 255, 255};
};
