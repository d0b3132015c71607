#include <QTest>
#include <memory>

#include "GuiSupport.h"
#include "RadioListBox.h"

namespace {

// The image of the glyph square of one item.
QImage GlyphOf(CRadioListBox* list, int row) {
  const QRect item = list->visualItemRect(list->item(row));
  const int side = item.height() - 5;
  const QImage whole = list->viewport()->grab().toImage();
  return whole.copy(item.left() + 2, item.top() + 2, side, side);
}

}  // namespace

class RadioListTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    list_ = std::make_unique<CRadioListBox>();
    list_->setObjectName("sortOrder");
    list_->resize(200, 120);
    // Filled as the parameters page fills its sort order: each new item put in front.
    list_->InsertString(0, "SWEN");
    list_->InsertString(0, "NEWS");
    list_->InsertString(0, "NESW");
  }
  void cleanup() { list_.reset(); }

  void itemsStandInInsertionOrder() {
    QCOMPARE(list_->GetCount(), 3);
    QCOMPARE(list_->GetText(0), std::string("NESW"));
    QCOMPARE(list_->GetText(1), std::string("NEWS"));
    QCOMPARE(list_->GetText(2), std::string("SWEN"));
    QCOMPARE(list_->AddString("EXTRA"), 3);
    QCOMPARE(list_->InsertString(-1, "LAST"), 4);
    QCOMPARE(list_->InsertString(99, "AFTER"), 5);
    QCOMPARE(list_->GetText(5), std::string("AFTER"));
  }

  void selection_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("returned");
    QTest::addColumn<int>("selected");
    QTest::newRow("first") << 0 << 0 << 0;
    QTest::newRow("last") << 2 << 2 << 2;
    QTest::newRow("none") << -1 << -1 << -1;
    QTest::newRow("past the end") << 3 << -1 << -1;
    QTest::newRow("far below") << -7 << -1 << -1;
  }
  void selection() {
    QFETCH(int, index);
    QFETCH(int, returned);
    QFETCH(int, selected);
    QCOMPARE(list_->GetCurSel(), -1);  // a new list has no selection
    list_->SetCurSel(1);
    QCOMPARE(list_->SetCurSel(index), returned);
    QCOMPARE(list_->GetCurSel(), selected);
    QCOMPARE(list_->selectedItems().size(), selected == -1 ? 0 : 1);
  }

  void clickSelectsExactlyOne() {
    QVERIFY(ShowActive(list_.get()));
    list_->SetCurSel(0);
    const QRect third = list_->visualItemRect(list_->item(2));
    QTest::mouseClick(list_->viewport(), Qt::LeftButton, Qt::NoModifier, third.center());
    QCOMPARE(list_->GetCurSel(), 2);
    QCOMPARE(list_->selectedItems().size(), 1);
  }

  // A Ctrl+click on the chosen item, Ctrl+Space, or a click below the items never leaves the
  // list without a choice.
  void theChoiceCannotBeCleared() {
    QVERIFY(ShowActive(list_.get()));
    list_->SetCurSel(1);
    const QRect second = list_->visualItemRect(list_->item(1));
    QTest::mouseClick(list_->viewport(), Qt::LeftButton, Qt::ControlModifier, second.center());
    QCOMPARE(list_->GetCurSel(), 1);
    list_->setFocus();
    QTest::keyClick(list_.get(), Qt::Key_Space, Qt::ControlModifier);
    QCOMPARE(list_->GetCurSel(), 1);
    QTest::mouseClick(list_->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(2, list_->viewport()->height() - 2));
    QCOMPARE(list_->GetCurSel(), 1);
  }

  void onlyTheSelectedGlyphIsMarked() {
    QVERIFY(ShowActive(list_.get()));
    // Without a selection every glyph looks the same: unmarked.
    const QImage unmarked = GlyphOf(list_.get(), 0);
    QVERIFY(!unmarked.isNull());
    QCOMPARE(GlyphOf(list_.get(), 1), unmarked);
    QCOMPARE(GlyphOf(list_.get(), 2), unmarked);

    list_->SetCurSel(1);
    list_->clearFocus();
    QVERIFY(GlyphOf(list_.get(), 1) != unmarked);
    QCOMPARE(GlyphOf(list_.get(), 0), unmarked);
    QCOMPARE(GlyphOf(list_.get(), 2), unmarked);
  }

  void transparentListTakesTheButtonFaceColour() {
    list_->SetTransparent(true);
    const QImage image = list_->viewport()->grab().toImage();
    const QRect item = list_->visualItemRect(list_->item(0));
    // A pixel right of the text, inside the item.
    const QColor face = list_->palette().color(QPalette::Button);
    QCOMPARE(QColor(image.pixel(item.right() - 2, item.center().y())), face);
    QCOMPARE(QColor(image.pixel(5, image.height() - 3)), face);  // below the items too
  }

 private:
  std::unique_ptr<CRadioListBox> list_;
};

QTEST_MAIN(RadioListTest)
#include "tst_radiolist.moc"
