#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <memory>

#include "FocusEditCtrl.h"
#include "GuiSupport.h"
#include "log.h"

namespace {

// Types a sequence; "\b" stands for the backspace key.
void Type(QWidget* field, const QString& keys) {
  for (const QChar c : keys) {
    if (c == QLatin1Char('\b')) {
      QTest::keyClick(field, Qt::Key_Backspace);
    } else {
      QTest::keyClick(field, c.toLatin1());
    }
  }
}

QStringList InfoTexts(const TraceCapture& capture) {
  QStringList texts;
  for (const std::string& text : capture.Texts('I')) {
    texts << QString::fromStdString(text);
  }
  return texts;
}

void DropOn(QWidget* field, QMimeData* data) {
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(field, &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(field, &drop);
}

}  // namespace

class FocusEditTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    TraceSetStandardOutput(nullptr);
    field_ = std::make_unique<CFocusEditCtrl>();
    field_->setObjectName("numberField");
  }
  void cleanup() { field_.reset(); }

  void typing_data() {
    QTest::addColumn<bool>("allowed_on");
    QTest::addColumn<QString>("allowed");
    QTest::addColumn<bool>("excluded_on");
    QTest::addColumn<QString>("excluded");
    QTest::addColumn<int>("max_length");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QStringList>("traces");
    const QString digits = "0123456789";
    QTest::newRow("digits up to the limit") << true << digits << false << "" << 3 << "1234"
                                            << "123" << QStringList();
    QTest::newRow("letter refused") << true << digits << false << "" << 3 << "12a3"
                                    << "123" << QStringList{"Ups II\n"};
    QTest::newRow("backspace works in a full field")
        << true << digits << false << "" << 3 << "1234\b5"
        << "125" << QStringList();
    QTest::newRow("excluded characters") << false << "" << true << ",;" << -1 << "a,b;c"
                                         << "abc" << QStringList{"Ups III\n", "Ups III\n"};
    QTest::newRow("an allowed set wins over the excluded one")
        << true << "ab" << true << "a" << -1 << "abc"
        << "ab" << QStringList{"Ups II\n"};
    QTest::newRow("an empty allowed set allows everything")
        << true << "" << false << "" << -1 << "x1 -"
        << "x1 -" << QStringList();
    QTest::newRow("no sets") << false << "" << false << "" << -1 << "a-b"
                             << "a-b" << QStringList();
    QTest::newRow("limit without a set") << false << "" << false << "" << 2 << "abc\b\bxy"
                                         << "xy" << QStringList();
  }
  void typing() {
    QFETCH(bool, allowed_on);
    QFETCH(QString, allowed);
    QFETCH(bool, excluded_on);
    QFETCH(QString, excluded);
    QFETCH(int, max_length);
    QFETCH(QString, keys);
    QFETCH(QString, expected);
    QFETCH(QStringList, traces);
    const QByteArray allowed_bytes = allowed.toUtf8();
    const QByteArray excluded_bytes = excluded.toUtf8();
    field_->SetAllowedChars(allowed_on ? allowed_bytes.constData() : nullptr);
    field_->SetExcludedChars(excluded_on ? excluded_bytes.constData() : nullptr);
    field_->SetMaxLength(max_length);
    TraceCapture capture;
    Type(field_.get(), keys);
    QCOMPARE(field_->text(), expected);
    QCOMPARE(InfoTexts(capture), traces);
  }

  void allowedSetCanBeSwitchedOff() {
    field_->SetAllowedChars("0123456789");
    Type(field_.get(), "1a");
    QCOMPARE(field_->text(), QString("1"));
    field_->SetAllowedChars(nullptr);
    Type(field_.get(), "a");
    QCOMPARE(field_->text(), QString("1a"));
  }

  void pasteKeepsOnlyAllowedCharactersInOrder_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QStringList>("traces");
    const QStringList paste{"Paste\n", "Validating 7a8-b9\n"};
    QTest::newRow("Shift and minus")
        << int(Qt::Key_Minus) << int(Qt::ShiftModifier) << QStringList{"Ups I\n"} + paste;
    QTest::newRow("Ctrl+V") << int(Qt::Key_V) << int(Qt::ControlModifier)
                            << QStringList{"Ups I\n"} + paste;
    QTest::newRow("Shift+Insert") << int(Qt::Key_Insert) << int(Qt::ShiftModifier) << paste;
  }
  void pasteKeepsOnlyAllowedCharactersInOrder() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QStringList, traces);
    field_->SetAllowedChars("0123456789");
    field_->SetMaxLength(3);
    QApplication::clipboard()->setText("7a8-b9");
    TraceCapture capture;
    QTest::keyClick(field_.get(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(field_->text(), QString("789"));
    QCOMPARE(InfoTexts(capture), traces);
  }

  void pastedTextIsNotCutToTheLimit() {
    field_->SetAllowedChars("0123456789");
    field_->SetMaxLength(3);
    QApplication::clipboard()->setText("12345");
    field_->Paste();
    QCOMPARE(field_->text(), QString("12345"));
  }

  void aFullFieldSwallowsThePasteKeys() {
    field_->SetMaxLength(2);
    field_->setText("12");
    QApplication::clipboard()->setText("9");
    TraceCapture capture;
    QTest::keyClick(field_.get(), Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(field_.get(), '-', Qt::ShiftModifier);
    QCOMPARE(field_->text(), QString("12"));
    QVERIFY(capture.lines.empty());
  }

  void pasteReplacesTheSelectionAndCanBeUndone() {
    field_->SetAllowedChars("0123456789");
    field_->setText("1234");
    field_->setSelection(1, 2);
    QApplication::clipboard()->setText("9x");
    field_->Paste();
    QCOMPARE(field_->text(), QString("194"));
    // Commands with Ctrl are not characters: undo works in a field that takes only digits.
    QTest::keyClick(field_.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(field_->text(), QString("1234"));
  }

  void emptyClipboardChangesNothing() {
    field_->setText("55");
    QApplication::clipboard()->clear();
    TraceCapture capture;
    field_->Paste();
    QCOMPARE(field_->text(), QString("55"));
    QCOMPARE(InfoTexts(capture), QStringList{"Paste\n"});
  }

  void readOnlyFieldTakesNoPasteOrDrop() {
    field_->setText("55");
    field_->setReadOnly(true);
    QApplication::clipboard()->setText("66");
    field_->Paste();
    auto* data = new QMimeData;
    data->setText("77");
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(field_.get(), &drop);
    delete data;
    QCOMPARE(field_->text(), QString("55"));
  }

  void contextMenuPasteIsFiltered() {
    field_->SetAllowedChars("0123456789");
    QApplication::clipboard()->setText("4 4 4");
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(3, 3), QPoint(3, 3));
    QCoreApplication::sendEvent(field_.get(), &event);
    auto* menu = field_->findChild<QMenu*>("editMenu");
    QVERIFY(menu != nullptr);
    auto* paste = menu->findChild<QAction*>("edit-paste");
    QVERIFY(paste != nullptr);
    paste->trigger();
    QCOMPARE(field_->text(), QString("444"));
    menu->close();
  }

  void droppedFileGivesItsFilteredPath() {
    field_->setText("old");
    field_->selectAll();
    auto data = std::make_unique<QMimeData>();
    data->setUrls(
        {QUrl::fromLocalFile("/tmp/deals/week 12.bri"), QUrl::fromLocalFile("/tmp/other.dup")});
    TraceCapture capture;
    DropOn(field_.get(), data.get());
    // The path as the system writes it (backslashes on Windows).
    const QString path = QDir::toNativeSeparators("/tmp/deals/week 12.bri");
    QCOMPARE(field_->text(), path);
    QVERIFY(capture.Contains('I', "Validating " + path.toStdString() + "\n"));

    field_->clear();
    field_->SetExcludedChars(" ");
    DropOn(field_.get(), data.get());
    QCOMPARE(field_->text(), QDir::toNativeSeparators("/tmp/deals/week12.bri"));
  }

  void droppedPathIsCutToThePathLimit() {
    auto data = std::make_unique<QMimeData>();
    data->setUrls({QUrl::fromLocalFile("/" + QString(400, 'd'))});
    DropOn(field_.get(), data.get());
    QCOMPARE(field_->text().size(), 259);
  }

  void droppedTextIsFiltered() {
    field_->SetAllowedChars("0123456789");
    auto data = std::make_unique<QMimeData>();
    data->setText("deal 17");
    DropOn(field_.get(), data.get());
    QCOMPARE(field_->text(), QString("17"));
  }

  void inputMethodTextIsFiltered() {
    field_->SetAllowedChars("0123456789");
    QInputMethodEvent event;
    event.setCommitString("4x2");
    QCoreApplication::sendEvent(field_.get(), &event);
    QCOMPARE(field_->text(), QString("42"));
  }

  void focusColours() {
    QWidget window;
    window.setObjectName("window");
    auto* field = new CFocusEditCtrl(&window);
    field->setObjectName("startField");
    auto* other = new CFocusEditCtrl(&window);
    other->setObjectName("otherField");
    other->move(0, 40);
    QVERIFY(ShowActive(&window));
    other->setFocus();
    QTRY_VERIFY(other->hasFocus());
    const QColor normal = field->palette().color(QPalette::Base);
    const QColor light_red(255, 128, 128);

    field->SetBackgroundColour(light_red);
    QTRY_VERIFY(field->hasFocus());
    QCOMPARE(field->palette().color(QPalette::Base), light_red);
    QCOMPARE(field->palette().color(QPalette::Text), QColor(0, 0, 0));

    other->setFocus();
    QTRY_VERIFY(other->hasFocus());
    QCOMPARE(field->palette().color(QPalette::Base), normal);

    field->setReadOnly(true);
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());
    QCOMPARE(field->palette().color(QPalette::Base), normal);
    field->setReadOnly(false);
    QCOMPARE(field->palette().color(QPalette::Base), light_red);
  }

 private:
  std::unique_ptr<CFocusEditCtrl> field_;
};

QTEST_MAIN(FocusEditTest)
#include "tst_focusedit.moc"
