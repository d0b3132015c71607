#include <QButtonGroup>
#include <QTest>

#include "ColorStatic.h"
#include "FooButton.h"
#include "GuiSupport.h"

class ControlsTest : public QObject {
  Q_OBJECT

 private slots:
  void colourStaticDrawsItsTextColour() {
    CColorStatic label;
    label.setObjectName("justDealt");
    label.setText(QString(20, QChar(0x2588)));     // full blocks: most pixels are text
    label.resize(label.sizeHint() + QSize(8, 8));  // room beside the text on every style
    QCOMPARE(label.TextColour(), QColor(0, 0, 0));
    const QColor red(200, 0, 0);
    label.SetTextColour(red);
    QCOMPARE(label.TextColour(), red);
    const QImage image = label.grab().toImage();
    bool red_seen = false;
    bool background_seen = false;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QColor pixel(image.pixel(x, y));
        red_seen = red_seen || pixel == red;
        background_seen = background_seen || pixel == label.BackgroundColour();
      }
    }
    QVERIFY(red_seen);
    QVERIFY(background_seen);
  }

  void toggleGroupKeepsOneChecked() {
    QWidget dialog;
    QButtonGroup group;
    FooButton* buttons[3];
    for (int i = 0; i < 3; ++i) {
      buttons[i] = new FooButton(QString("menu %1").arg(i), &dialog);
      buttons[i]->setObjectName(QString("menu%1").arg(i));
      buttons[i]->move(0, i * 40);
      buttons[i]->JoinGroup(&group);
    }
    QVERIFY(buttons[0]->IsToggle());
    QVERIFY(!buttons[0]->autoDefault());
    QVERIFY(ShowActive(&dialog));

    buttons[1]->SetCheck(true);
    QVERIFY(buttons[1]->GetCheck());
    QTest::mouseClick(buttons[2], Qt::LeftButton);
    QVERIFY(buttons[2]->GetCheck());
    QVERIFY(!buttons[1]->GetCheck());
    QVERIFY(!buttons[0]->GetCheck());
    // Pressing the checked one again leaves it checked, like a radio button.
    QTest::mouseClick(buttons[2], Qt::LeftButton);
    QVERIFY(buttons[2]->GetCheck());
  }
};

QTEST_MAIN(ControlsTest)
#include "tst_controls.moc"
