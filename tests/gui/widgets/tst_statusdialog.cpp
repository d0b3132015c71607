#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QFile>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QtEndian>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "DialogUnits.h"
#include "GenericChildDialog.h"
#include "GuiSupport.h"
#include "ScreenDump.h"
#include "Settings.h"
#include "StatusDialog.h"
#include "WindowPos.h"
#include "log.h"

namespace {

std::vector<std::string> g_critical_messages;
void RecordCritical(const char* message) {
  g_critical_messages.push_back(message);
}

// A control that records the keys that reach it.
class KeyRecorder : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;
  std::vector<int> keys;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    keys.push_back(event->key());
    QLineEdit::keyPressEvent(event);
  }
};

class TestPage : public GenericChildDialog {
 public:
  TestPage() : GenericChildDialog("TestPage") {
    m_bStatusBar = 0;
    resize(200, 120);
    field = new KeyRecorder(this);
    field->setObjectName("pageField");
    field->setGeometry(10, 10, 100, 24);
  }
  unsigned GetTemplateID() const override { return 1070; }
  KeyRecorder* field;
};

struct Bmp {
  QByteArray bytes;
  uint32_t U32(int at) const { return qFromLittleEndian<uint32_t>(bytes.constData() + at); }
  uint16_t U16(int at) const { return qFromLittleEndian<uint16_t>(bytes.constData() + at); }
  int32_t I32(int at) const { return qFromLittleEndian<int32_t>(bytes.constData() + at); }
};

// Checks the headers of a BMP file against its own length; returns the pixel-data offset.
void CheckBmpHeaders(const Bmp& bmp, int width, int height) {
  QVERIFY(bmp.bytes.size() > 54);
  QCOMPARE(bmp.bytes.left(2), QByteArray("BM"));
  QCOMPARE(bmp.U32(2), static_cast<uint32_t>(bmp.bytes.size()));
  QCOMPARE(bmp.U32(14), 40u);
  QCOMPARE(bmp.I32(18), width);
  QCOMPARE(bmp.I32(22), height);
  const uint16_t bits = bmp.U16(28);
  uint32_t colours = bmp.U32(46);
  if (colours == 0 && bits <= 8) {
    colours = 1u << bits;
  }
  QCOMPARE(bmp.U32(10), 14u + 40u + colours * 4u);
  const uint32_t row = ((static_cast<uint32_t>(width) * bits + 31) / 32) * 4;
  QCOMPARE(static_cast<uint32_t>(bmp.bytes.size()) - bmp.U32(10), row * height);
}

}  // namespace

class StatusDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    scratch_ = std::make_unique<ScratchEnvironment>();
    QVERIFY(scratch_->IsValid());
    TraceSetStandardOutput(nullptr);
    TraceSetCriticalHandler(RecordCritical);
    g_critical_messages.clear();
  }
  void cleanup() {
    TraceSetCriticalHandler(nullptr);
    scratch_.reset();
  }

  void clampWindowPos_data() {
    QTest::addColumn<QPoint>("stored");
    QTest::addColumn<QSize>("client");
    QTest::addColumn<QPoint>("expected");
    const QSize dialog(300, 200);
    QTest::newRow("first start") << QPoint(0, 0) << dialog << QPoint(0, 0);
    QTest::newRow("inside") << QPoint(120, 80) << dialog << QPoint(120, 80);
    QTest::newRow("exactly at the corner") << QPoint(500, 400) << dialog << QPoint(500, 400);
    QTest::newRow("past the right edge") << QPoint(700, 10) << dialog << QPoint(500, 10);
    QTest::newRow("past the bottom edge") << QPoint(10, 550) << dialog << QPoint(10, 400);
    QTest::newRow("past both") << QPoint(5000, 5000) << dialog << QPoint(500, 400);
    QTest::newRow("left of the desktop") << QPoint(-40, 30) << dialog << QPoint(0, 30);
    QTest::newRow("above the desktop") << QPoint(30, -1) << dialog << QPoint(30, 0);
    QTest::newRow("larger than the desktop") << QPoint(60, 60) << QSize(900, 700) << QPoint(0, 0);
  }
  void clampWindowPos() {
    QFETCH(QPoint, stored);
    QFETCH(QSize, client);
    QFETCH(QPoint, expected);
    QCOMPARE(ClampWindowPos(stored, client, QRect(0, 0, 800, 600)), expected);
  }

  void rememberedPositionIsClampedToTheScreen() {
    QVERIFY(WriteSettingInt("Windowspos", "102_X", 5000));
    QVERIFY(WriteSettingInt("Windowspos", "102_Y", -30));
    CStatusDialog dialog(102, nullptr, "MainDialog");
    dialog.resize(300, 200);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QRect desktop = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(dialog.pos(), QPoint(desktop.right() + 1 - dialog.width(), 0));
  }

  void firstStartOpensAtTheTopLeft() {
    CStatusDialog dialog(102, nullptr, "MainDialog");
    dialog.resize(300, 200);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.pos(), QPoint(0, 0));
  }

  void positionIsStoredWhenTheDialogGoes() {
    auto dialog = std::make_unique<CStatusDialog>(102, nullptr, "MainDialog");
    dialog->resize(300, 200);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    dialog->move(120, 80);
    QTRY_COMPARE(dialog->pos(), QPoint(120, 80));
    dialog.reset();
    QCOMPARE(ReadSettingInt("Windowspos", "102_X", -1), 120);
    QCOMPARE(ReadSettingInt("Windowspos", "102_Y", -1), 80);

    // A dialog that never came up has no position to keep.
    { CStatusDialog never(1234, nullptr, "Never"); }
    QCOMPARE(ReadSettingInt("Windowspos", "1234_X", -1), -1);
  }

  void statusBarGrowsTheDialogAndTakesTheText() {
    CStatusDialog dialog(102, nullptr, "MainDialog");
    dialog.resize(300, 200);
    dialog.InitDialog();
    QStatusBar* bar = dialog.findChild<QStatusBar*>("statusBar");
    QVERIFY(bar != nullptr);
    QLabel* pane = dialog.findChild<QLabel*>("statusPane");
    QVERIFY(pane != nullptr);
    QCOMPARE(ControlId(pane), 1067);
    QVERIFY(pane->text().isEmpty());
    QCOMPARE(dialog.height(), 200 + bar->height());
    QCOMPARE(bar->geometry(), QRect(0, 200, 300, bar->height()));
    QCOMPARE(QFontInfo(bar->font()).pointSize(), 12);
    dialog.SetStatusText("Done sorting this deal");
    QCOMPARE(pane->text(), QString("Done sorting this deal"));
  }

  void missingFontFallsBackToASansFont() {
    const QFont font = DialogFont("No Such Family Anywhere", 9);
    QVERIFY(font.family() != "No Such Family Anywhere");
    QVERIFY(QFontDatabase::hasFamily(QFontInfo(font).family()));
    QCOMPARE(QFontInfo(font).pointSize(), 9);
  }

  void pagesWriteToTheProgramStatusLine() {
    TestPage page;
    page.SetStatusText("nobody listens");  // no status line yet: nothing happens

    auto main = std::make_unique<CStatusDialog>(102, nullptr, "MainDialog");
    main->resize(300, 200);
    main->InitDialog();
    page.SetStatusText("still nobody");
    QVERIFY(main->StatusPane()->text().isEmpty());  // not published yet
    main->PublishStatusLine();
    page.SetStatusText("Remove cards");
    QCOMPARE(main->StatusPane()->text(), QString("Remove cards"));
    QVERIFY(page.findChild<QStatusBar*>() == nullptr);

    main.reset();
    page.SetStatusText("after the main dialog has gone");  // must not touch a dead bar
  }

  void toolTipsShowBoldText() {
    const QString html = CStatusDialog::ToolTipHtml("Load <B>the distribution<\\B> file");
    QVERIFY(html.contains("<B>the distribution</B>"));
    QVERIFY(Qt::mightBeRichText(html));
  }

  void dialogUnits_data() {
    QTest::addColumn<QRect>("units");
    QTest::addColumn<QRect>("pixels");
    // Base units 6 x 13: a horizontal unit is 1.5 pixels, a vertical one 1.625.
    QTest::newRow("menu button") << QRect(6, 6, 116, 36) << QRect(9, 10, 174, 58);
    QTest::newRow("page frame") << QRect(127, 6, 332, 264) << QRect(191, 10, 498, 429);
    QTest::newRow("halves round up") << QRect(1, 4, 1, 4) << QRect(2, 7, 1, 6);
    QTest::newRow("whole dialog") << QRect(0, 0, 467, 282) << QRect(0, 0, 701, 458);
  }
  void dialogUnits() {
    QFETCH(QRect, units);
    QFETCH(QRect, pixels);
    QCOMPARE(DialogUnits(6, 13).ToPixels(units), pixels);
  }

  void dialogUnitsFollowTheFont() {
    QFont small = DialogFont("Verdana", 8);
    QFont large = DialogFont("Verdana", 16);
    const DialogUnits a(small), b(large);
    QVERIFY(a.BaseX() > 0 && a.BaseY() > 0);
    QVERIFY(b.BaseX() > a.BaseX());
    QVERIFY(b.BaseY() > a.BaseY());
    QCOMPARE(b.ToPixelsY(8), b.BaseY());
  }

  void keyFilter_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("level");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("consumed");
    const int shift_ctrl = Qt::ShiftModifier | Qt::ControlModifier;
    QTest::newRow("Shift+Ctrl+F7") << int(Qt::Key_F7) << shift_ctrl << "C"
                                   << "User error\n"
                                   << true;
    QTest::newRow("Shift+Ctrl+F3") << int(Qt::Key_F3) << shift_ctrl << ""
                                   << "" << true;
    QTest::newRow("F4") << int(Qt::Key_F4) << 0 << "I"
                        << "\n"
                        << false;
    QTest::newRow("Shift+Ctrl+F4") << int(Qt::Key_F4) << shift_ctrl << "I"
                                   << "\n"
                                   << false;
    QTest::newRow("Ctrl+F7") << int(Qt::Key_F7) << int(Qt::ControlModifier) << ""
                             << "" << false;
    QTest::newRow("Shift+F3") << int(Qt::Key_F3) << int(Qt::ShiftModifier) << ""
                              << "" << false;
    QTest::newRow("F7") << int(Qt::Key_F7) << 0 << ""
                        << "" << false;
  }
  void keyFilter() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, level);
    QFETCH(QString, text);
    QFETCH(bool, consumed);
    CStatusDialog dialog(102, nullptr, "MainDialog");
    dialog.resize(300, 200);
    auto* field = new KeyRecorder(&dialog);
    field->setObjectName("field");
    QVERIFY(ShowActive(&dialog));
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());

    TraceCapture capture;
    QTest::keyClick(dialog.windowHandle(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    const bool reached =
        std::find(field->keys.begin(), field->keys.end(), key) != field->keys.end();
    QCOMPARE(reached, !consumed);
    if (level.isEmpty()) {
      QVERIFY(capture.lines.empty());
    } else {
      // The filter's own line comes first; a critical line is followed by the log's dump.
      QVERIFY(!capture.lines.empty());
      QCOMPARE(capture.lines[0].level, level.at(0).toLatin1());
      QCOMPARE(QString::fromStdString(capture.lines[0].text), text);
      QVERIFY(QString::fromStdString(capture.lines[0].file).startsWith("StatusDialo"));
      if (level != "C") {
        QCOMPARE(capture.lines.size(), size_t{1});
      }
    }
    if (level == "C") {
      // The critical line runs the critical-error path with the line's text.
      QCOMPARE(g_critical_messages.size(), size_t{1});
      QVERIFY(g_critical_messages[0].find("User error\n") != std::string::npos);
    } else {
      QVERIFY(g_critical_messages.empty());
    }
  }

  void helpKeyTracesThePointerAndReachesTheHelpCommand() {
    CStatusDialog dialog(102, nullptr, "MainDialog");
    dialog.resize(300, 200);
    QVERIFY(ShowActive(&dialog));

    QCursor::setPos(dialog.mapToGlobal(QPoint(37, 21)));
    TraceCapture inside;
    QTest::keyClick(dialog.windowHandle(), Qt::Key_F1);
    QVERIFY(inside.Contains('I', "Help at 37 21\n"));
    QVERIFY(inside.Contains('D', "Help MainDialog\n"));

    QCursor::setPos(dialog.mapToGlobal(QPoint(dialog.width() + 5, 10)));
    TraceCapture outside;
    QTest::keyClick(dialog.windowHandle(), Qt::Key_F1);
    QVERIFY(outside.Contains('D', "Help request outside client\n"));
    QVERIFY(outside.Contains('D', "Help MainDialog\n"));
    QVERIFY(outside.Texts('I').empty());
  }

  void screenDumpWritesAValidBmpAndFillsTheClipboard() {
    CStatusDialog dialog(102, nullptr, "MainDialog");
    dialog.resize(240, 130);
    QVERIFY(ShowActive(&dialog));
    {
      QFile old("Test.bmp");  // a stale dump is replaced, not appended to
      QVERIFY(old.open(QIODevice::WriteOnly));
      old.write(QByteArray(100000, 'x'));
    }
    QApplication::clipboard()->clear();

    TraceCapture capture;
    QTest::keyClick(dialog.windowHandle(), Qt::Key_F1, Qt::ShiftModifier | Qt::ControlModifier);
    QVERIFY(capture.Contains('D', "Dumping screen to clipboard\n"));
    QVERIFY(capture.Texts('I').empty());  // consumed: no help line

    QFile file("Test.bmp");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const Bmp bmp{file.readAll()};
    const QSize size = dialog.frameGeometry().size();
    CheckBmpHeaders(bmp, size.width(), size.height());
    QImage read;
    QVERIFY(read.loadFromData(bmp.bytes, "BMP"));
    QCOMPARE(read.size(), size);
    QCOMPARE(QApplication::clipboard()->image().size(), size);
  }

  void innermostDialogFiltersFirst() {
    CStatusDialog main(102, nullptr, "MainDialog");
    main.resize(400, 300);
    auto* frame = new QWidget(&main);
    SetControlId(frame, 1050);
    frame->setGeometry(150, 20, 220, 150);
    TestPage page;
    QVERIFY(!page.Create(&main, 1050));
    QVERIFY(ShowActive(&main));
    page.show();
    page.field->setFocus();
    QTRY_VERIFY(page.field->hasFocus());

    TraceCapture capture;
    QTest::keyClick(main.windowHandle(), Qt::Key_F1, Qt::ShiftModifier | Qt::ControlModifier);
    QCOMPARE(capture.Texts('D').size(), size_t{1});  // the page took it; the host never saw it
    QFile file("Test.bmp");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const Bmp bmp{file.readAll()};
    CheckBmpHeaders(bmp, page.width(), page.height());

    // Escape in a page leaves the page alone; the host decides what Escape means.
    QTest::keyClick(main.windowHandle(), Qt::Key_Escape);
    QVERIFY(!page.isHidden());
  }

  void encodeBmp_data() {
    QTest::addColumn<QImage>("image");
    QImage indexed(5, 3, QImage::Format_Indexed8);
    indexed.setColorCount(16);
    for (int i = 0; i < 16; ++i) {
      indexed.setColor(i, qRgb(i * 16, 255 - i * 16, i * 3));
    }
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 5; ++x) {
        indexed.setPixel(x, y, (x + 5 * y) % 16);
      }
    }
    QImage full(7, 4, QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 7; ++x) {
        full.setPixel(x, y, qRgb(x * 30, y * 60, 200 - x * y));
      }
    }
    QTest::newRow("palette display") << indexed;
    QTest::newRow("true colour") << full;
    QTest::newRow("with alpha") << full.convertToFormat(QImage::Format_ARGB32);
    QTest::newRow("one pixel") << full.copy(0, 0, 1, 1);
  }
  void encodeBmp() {
    QFETCH(QImage, image);
    const Bmp bmp{EncodeBmp(image)};
    CheckBmpHeaders(bmp, image.width(), image.height());
    QImage read;
    QVERIFY(read.loadFromData(bmp.bytes, "BMP"));
    QCOMPARE(read.size(), image.size());
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        QCOMPARE(read.pixel(x, y) & 0xFFFFFF, image.pixel(x, y) & 0xFFFFFF);
      }
    }
    QVERIFY(EncodeBmp(QImage()).isEmpty());
  }

  void failedDumpLeavesNoFile() {
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    QVERIFY(!DumpImage(image, scratch_->Path() + "/no/such/folder/Test.bmp"));
    QVERIFY(!QFile::exists(scratch_->Path() + "/no/such/folder/Test.bmp"));
    QVERIFY(DumpImage(image, scratch_->Path() + "/Test.bmp"));
  }

 private:
  std::unique_ptr<ScratchEnvironment> scratch_;
};

QTEST_MAIN(StatusDialogTest)
#include "tst_statusdialog.moc"
