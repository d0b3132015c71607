// Qt under wine: the platform and style plugins load, a window shows with fonts, QSettings writes
// the registry, a local server listens on a named pipe and the printing module loads.
#include <QApplication>
#include <QFontDatabase>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPageSize>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>
#include <QStyleFactory>
#include <QTimer>
#include <QtConcurrent>
#include <QtTest>

class SmokeQt : public QObject {
  Q_OBJECT
 private slots:
  void showsAWindow() {
    QPushButton button("Quadrelle");
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QVERIFY(!QFontDatabase::families().isEmpty());
    QVERIFY(QStyleFactory::keys().contains("Windows", Qt::CaseInsensitive));
    QVERIFY(QStyleFactory::keys().contains("Fusion", Qt::CaseInsensitive));
    QVERIFY2(QStyleFactory::keys().contains("WindowsVista", Qt::CaseInsensitive),
             qPrintable(QStyleFactory::keys().join(' ')));
  }
  void writesTheRegistry() {
    QSettings settings("Mirelon Consulting", "Quadrelle");
    QCOMPARE(settings.format(), QSettings::NativeFormat);
    settings.beginGroup("Parameters");
    settings.setValue("SmokeNumber", 42);
    settings.setValue("SmokeText", QString("wine"));
    settings.endGroup();
    settings.sync();
    QCOMPARE(settings.status(), QSettings::NoError);
    QVERIFY(settings.fileName().startsWith("\\HKEY_CURRENT_USER\\Software\\Mirelon Consulting",
                                           Qt::CaseInsensitive));
  }
  void talksOverALocalSocket() {
    QLocalServer server;
    QVERIFY2(server.listen("quadrelle-smoke"), qPrintable(server.errorString()));
    QLocalSocket client;
    client.connectToServer("quadrelle-smoke");
    QVERIFY(client.waitForConnected(5000));
    QVERIFY(server.waitForNewConnection(5000));
  }
  void runsConcurrentWork() {
    QCOMPARE(QtConcurrent::run([] { return 6 * 7; }).result(), 42);
  }
  void loadsPrintSupport() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    QCOMPARE(printer.pageLayout().pageSize().id(), QPageSize::A4);
  }
};

QTEST_MAIN(SmokeQt)
#include "qt_test.moc"
