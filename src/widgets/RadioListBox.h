// A list box whose items look like radio buttons: at most one is selected, and its glyph is
// the marked one.
#pragma once

#include <QListWidget>
#include <string>

class CRadioListBox : public QListWidget {
  Q_OBJECT

 public:
  explicit CRadioListBox(QWidget* parent = nullptr);

  // Appends an item; returns its index.
  int AddString(const char* text);
  // Inserts an item before `index` (-1 or past the end: appends); returns its index.
  int InsertString(int index, const char* text);
  // Selects the item; -1 or an index outside the list leaves no item selected. Returns the
  // index, or -1 when nothing is selected.
  int SetCurSel(int index);
  // The selected index, -1 when none is.
  int GetCurSel() const;
  int GetCount() const { return count(); }
  std::string GetText(int index) const;
  void ResetContent() { clear(); }

  // A transparent list is painted in the button-face colour, like the dialog around it.
  void SetTransparent(bool transparent);
  bool IsTransparent() const { return m_Transparent; }

 protected:
  // Once an item is chosen the operator can only choose another: no Ctrl+click, Ctrl+Space or
  // click beside the items leaves the list without a choice.
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent* event) const override;

 private:
  bool m_Transparent = false;
};
