#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "MessageBox.h"

class MessageBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void responderRecordsAndAnswersInOrder() {
    MessageBoxCapture capture(BoxAnswer::Cancel);
    capture.answers = {BoxAnswer::Ok, BoxAnswer::No};
    QCOMPARE(ShowMessageBox("Are you sure ?", "Please confirm", BoxButtons::OkCancel),
             BoxAnswer::Ok);
    QCOMPARE(ShowMessageBox("Overwrite ?", "Please confirm", BoxButtons::YesNo), BoxAnswer::No);
    QCOMPARE(ShowMessageBox("Sort failed"), BoxAnswer::Cancel);  // queue empty: the fallback
    QCOMPARE(ShowUnownedMessageBox("A critical error was encountered \nx\n", "Critical error"),
             BoxAnswer::Cancel);

    QCOMPARE(capture.requests.size(), size_t{4});
    QCOMPARE(capture.requests[0].text, std::string("Are you sure ?"));
    QCOMPARE(capture.requests[0].caption, std::string("Please confirm"));
    QVERIFY(capture.requests[0].buttons == BoxButtons::OkCancel);
    QVERIFY(capture.requests[0].owned);
    // A box without a caption carries the application's name.
    QCOMPARE(capture.requests[2].caption, std::string("Quadrelle"));
    QVERIFY(!capture.requests[3].owned);
    QCOMPARE(capture.requests[3].caption, std::string("Critical error"));
  }

  void capturesNestAndRestore() {
    MessageBoxCapture outer(BoxAnswer::Yes);
    {
      MessageBoxCapture inner(BoxAnswer::No);
      QCOMPARE(ShowMessageBox("inner"), BoxAnswer::No);
      QCOMPARE(inner.requests.size(), size_t{1});
    }
    QCOMPARE(ShowMessageBox("outer"), BoxAnswer::Yes);
    QCOMPARE(outer.requests.size(), size_t{1});
    QCOMPARE(outer.requests[0].text, std::string("outer"));
  }

  void realBoxReturnsThePressedButton_data() {
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("press");
    QTest::addColumn<int>("answer");
    QTest::newRow("OK") << int(BoxButtons::OkCancel) << int(QMessageBox::Ok) << int(BoxAnswer::Ok);
    QTest::newRow("Cancel") << int(BoxButtons::OkCancel) << int(QMessageBox::Cancel)
                            << int(BoxAnswer::Cancel);
    QTest::newRow("Yes") << int(BoxButtons::YesNoCancel) << int(QMessageBox::Yes)
                         << int(BoxAnswer::Yes);
    QTest::newRow("No") << int(BoxButtons::YesNo) << int(QMessageBox::No) << int(BoxAnswer::No);
    QTest::newRow("Escape on Yes/No") << int(BoxButtons::YesNo) << -1 << int(BoxAnswer::No);
  }
  void realBoxReturnsThePressedButton() {
    QFETCH(int, buttons);
    QFETCH(int, press);
    QFETCH(int, answer);
    QWidget main;
    main.setObjectName("main");
    SetMessageBoxMainWindow(&main);
    QString seen_text, seen_caption;
    QWidget* seen_owner = nullptr;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box != nullptr);
      seen_text = box->text();
      seen_caption = box->windowTitle();
      seen_owner = box->parentWidget();
      if (press == -1) {
        QTest::keyClick(box, Qt::Key_Escape);
      } else {
        box->button(QMessageBox::StandardButton(press))->click();
      }
    });
    const BoxAnswer result = ShowMessageBox("Tool not found", "", BoxButtons(buttons));
    QCOMPARE(int(result), answer);
    QCOMPARE(seen_text, QString("Tool not found"));
    QCOMPARE(seen_caption, QString("Quadrelle"));
    QCOMPARE(seen_owner, &main);  // nothing active: the main window owns it
    SetMessageBoxMainWindow(nullptr);
  }
};

QTEST_MAIN(MessageBoxTest)
#include "tst_messagebox.moc"
