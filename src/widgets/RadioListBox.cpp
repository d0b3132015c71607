#include "RadioListBox.h"

#include <QApplication>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// Draws one item: the background, a radio glyph in a square at the left, the text to its
// right, and the focus frame.
class RadioItemDelegate : public QStyledItemDelegate {
 public:
  explicit RadioItemDelegate(CRadioListBox* list) : QStyledItemDelegate(list), list_(list) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const QRect item = option.rect;
    const QPalette& palette = option.palette;
    painter->save();
    painter->fillRect(item,
                      palette.color(list_->IsTransparent() ? QPalette::Button : QPalette::Base));
    // The glyph runs from 2 pixels inside the top-left corner to 3 inside the bottom.
    const int side = item.height() - 5;
    QStyleOptionButton glyph;
    glyph.initFrom(list_);
    glyph.rect = QRect(item.left() + 2, item.top() + 2, side, side);
    glyph.state = (option.state & QStyle::State_Enabled) | QStyle::State_Off;
    if (option.state & QStyle::State_Selected) {
      glyph.state = (glyph.state & ~QStyle::State_Off) | QStyle::State_On;
    }
    QStyle* style = list_->style();
    style->drawPrimitive(QStyle::PE_IndicatorRadioButton, &glyph, painter, list_);

    const QRect text_area = item.adjusted(item.height(), 0, 0, 0);
    painter->setPen(palette.color(QPalette::Text));
    painter->drawText(text_area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
    if (option.state & QStyle::State_HasFocus) {
      QStyleOptionFocusRect focus;
      focus.initFrom(list_);
      focus.rect = item;
      focus.backgroundColor = palette.color(QPalette::Base);
      style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, list_);
    }
    painter->restore();
  }

 private:
  CRadioListBox* list_;
};

}  // namespace

CRadioListBox::CRadioListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setItemDelegate(new RadioItemDelegate(this));
}

QItemSelectionModel::SelectionFlags CRadioListBox::selectionCommand(const QModelIndex& index,
                                                                    const QEvent*) const {
  return index.isValid() ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::NoUpdate;
}

int CRadioListBox::AddString(const char* text) {
  return InsertString(-1, text);
}

int CRadioListBox::InsertString(int index, const char* text) {
  if (index < 0 || index > count()) {
    index = count();
  }
  insertItem(index, QString::fromUtf8(text != nullptr ? text : ""));
  return index;
}

int CRadioListBox::SetCurSel(int index) {
  if (index < 0 || index >= count()) {
    selectionModel()->clear();
    return -1;
  }
  selectionModel()->setCurrentIndex(model()->index(index, 0), QItemSelectionModel::ClearAndSelect);
  return index;
}

int CRadioListBox::GetCurSel() const {
  const QModelIndexList selected = selectionModel()->selectedIndexes();
  return selected.isEmpty() ? -1 : selected.first().row();
}

std::string CRadioListBox::GetText(int index) const {
  const QListWidgetItem* entry = item(index);
  return entry != nullptr ? entry->text().toStdString() : std::string();
}

void CRadioListBox::SetTransparent(bool transparent) {
  m_Transparent = transparent;
  QPalette colours = palette();
  colours.setColor(QPalette::Base, transparent ? QApplication::palette().color(QPalette::Button)
                                               : QApplication::palette().color(QPalette::Base));
  setPalette(colours);
  viewport()->update();
}
