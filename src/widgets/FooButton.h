// The kit's push button: plain, or a toggle button that stays down when pressed; toggle buttons
// that join one group behave like radio buttons (checking one clears the others).
#pragma once

#include <QPushButton>

class QButtonGroup;

class FooButton : public QPushButton {
  Q_OBJECT

 public:
  explicit FooButton(QWidget* parent = nullptr);
  FooButton(const QString& text, QWidget* parent = nullptr);

  void SetToggle(bool toggle) { setCheckable(toggle); }
  bool IsToggle() const { return isCheckable(); }
  // Makes the button a toggle button of `group`, which becomes exclusive.
  void JoinGroup(QButtonGroup* group);

  void SetCheck(bool checked) { setChecked(checked); }
  bool GetCheck() const { return isChecked(); }
};
