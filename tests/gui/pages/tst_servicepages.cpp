#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "GuiSupport.h"
#include "Page_About.h"
#include "Page_Service.h"
#include "ScriptedHost.h"
#include "clock.h"
#include "log.h"
#include "version.h"

class ServicePagesTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    scratch_ = std::make_unique<ScratchEnvironment>();
    TraceResetForTests();
    TraceSetStandardOutput(nullptr);
    host_ = std::make_unique<ScriptedHost>();
  }
  void cleanup() {
    host_.reset();
    scratch_.reset();
  }

  void serviceCountersFromTheReply_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("life");
    QTest::addColumn<QString>("since_service");
    QTest::addColumn<bool>("parsed");
    QTest::newRow("six fields") << 0 << "5,1200,40,-1,0,7"
                                << "1200"
                                << "40" << true;
    QTest::newRow("two fields") << 0 << "5,1200"
                                << "1200"
                                << "--" << false;
    QTest::newRow("one field") << 0 << "5"
                               << "--"
                               << "--" << false;
    QTest::newRow("words") << 0 << "OK"
                           << "--"
                           << "--" << false;
    QTest::newRow("no machine") << 91 << ""
                                << "--"
                                << "--" << false;
    QTest::newRow("machine error") << 20 << "unknown command"
                                   << "--"
                                   << "--" << false;
  }
  void serviceCountersFromTheReply() {
    QFETCH(int, code);
    QFETCH(QString, reply);
    QFETCH(QString, life);
    QFETCH(QString, since_service);
    QFETCH(bool, parsed);
    TraceCapture trace;
    host_->Queue("SERVICEINFO", code, reply.toStdString());
    Page_Service page("ServiceMenu", host_.get());
    page.show();
    QCOMPARE(host_->commands, std::vector<std::string>{"SERVICEINFO"});
    QCOMPARE(page.LifeDeals()->text(), life);
    QCOMPARE(page.ServiceDeals()->text(), since_service);
    QCOMPARE(trace.Contains('D', "Service info OK\n"), parsed);
    QCOMPARE(trace.Contains('W', "Service info parse fail \n"), code == 0 && !parsed);
  }

  void serviceAsksAtEveryShow() {
    host_->Queue("SERVICEINFO", 0, "5,1200,40,-1,0,7");
    host_->Queue("SERVICEINFO", 0, "6,1201,41,-1,0,7");
    host_->Queue("SERVICEINFO", 91, "");
    Page_Service page("ServiceMenu", host_.get());
    page.show();
    QCOMPARE(page.LifeDeals()->text(), QString("1200"));
    page.hide();
    page.show();
    QCOMPARE(page.LifeDeals()->text(), QString("1201"));
    QCOMPARE(page.ServiceDeals()->text(), QString("41"));
    page.hide();
    page.show();
    QCOMPARE(page.LifeDeals()->text(), QString("--"));
    QCOMPARE(page.ServiceDeals()->text(), QString("--"));
    QCOMPARE(host_->Count("SERVICEINFO"), 3);
  }

  void maintenanceButtons() {
    qclock::FakeClock clock(5000);
    qclock::ScopedClock scoped(&clock);
    Page_Service page("ServiceMenu", host_.get());
    page.show();
    host_->TakeCommands();
    host_->Always("FEEDFEEDER", 91, "");
    host_->Always("EXERCISE ON", 25, "jam");
    page.findChild<QPushButton*>("turnRoller")->click();
    page.findChild<QPushButton*>("exerciseArms")->click();
    QCOMPARE(host_->TakeCommands(),
             (std::vector<std::string>{"FEEDFEEDER", "EXERCISE ON", "EXERCISE OFF"}));
    const size_t n = host_->command_ticks.size();
    QCOMPARE(host_->command_ticks[n - 1] - host_->command_ticks[n - 2], 3000u);
    QCOMPARE(page.LifeDeals()->text(), QString("--"));  // nothing shown for the actions
  }

  void aboutShowsBothVersions() {
    host_->Queue("FIRMWARE", 0, "V 2.04 12-11-2012");
    host_->Queue("FIRMWARE", 91, "");
    Page_About page("About", host_.get());
    page.show();
    QCOMPARE(page.Firmware()->text(), QString("V 2.04 12-11-2012"));
    QCOMPARE(page.ProgramVersion()->text(), QString::fromLatin1(GetVersionText()));
    QVERIFY(page.Firmware()->isReadOnly());
    page.hide();
    page.show();
    QCOMPARE(page.Firmware()->text(), QString("--"));
    QCOMPARE(host_->commands, (std::vector<std::string>{"FIRMWARE", "FIRMWARE"}));
  }

 private:
  std::unique_ptr<ScratchEnvironment> scratch_;
  std::unique_ptr<ScriptedHost> host_;
};

QTEST_MAIN(ServicePagesTest)
#include "tst_servicepages.moc"
