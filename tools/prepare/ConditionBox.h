// The condition box of "Make a set of boards": a script in the condition language (empty: any
// deal), filled from a ready lesson theme or a script file and editable, and whether each board
// is turned so that the script's dealer deals it.
#pragma once

#include <QString>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QPlainTextEdit;

class CConditionBox : public QWidget {
  Q_OBJECT

 public:
  explicit CConditionBox(QWidget* parent = nullptr);

  // The script, empty when it holds nothing but spaces.
  QString Script() const;
  bool Rotate() const;
  // Loads a script file into the box; false with `reason` when it cannot be read.
  bool LoadScript(const QString& path, QString& reason);

 private:
  void OnTheme(int index);
  void OnLoad();

  QComboBox* m_Theme = nullptr;
  QPlainTextEdit* m_Script = nullptr;
  QCheckBox* m_Rotate = nullptr;
};
