// Pins what the operator's log shows for each page: each line's level and exact text, in order.
// For the two job pages every line of a scenario is pinned, so that moving work out of a page
// cannot drop, add or reorder a line unnoticed, whichever file comes to write it. The about
// page writes no line of its own.
#include <QTest>
#include <functional>
#include <memory>

#include "DealFiles.h"
#include "GuiSupport.h"
#include "MessageBox.h"
#include "PageTestSupport.h"
#include "Page_CardDistribution.h"
#include "Page_DealMenu.h"
#include "Page_Parameters.h"
#include "Page_Service.h"
#include "Page_Split.h"
#include "Page_Start.h"
#include "RadioListBox.h"
#include "ScriptedHost.h"
#include "Settings.h"
#include "clock.h"
#include "log.h"

namespace {

// What a scenario drives the pages with; lines are recorded from the last Record() on.
struct Rig {
  ScratchEnvironment scratch;
  qclock::FakeClock clock{10000};
  qclock::ScopedClock scoped_clock{&clock};
  ScriptedHost host;
  MessageBoxCapture boxes;
  std::string deal_file;
  std::unique_ptr<TraceCapture> capture = std::make_unique<TraceCapture>();
  std::vector<std::unique_ptr<QWidget>> pages;

  void Record() {
    capture.reset();
    capture = std::make_unique<TraceCapture>();
  }
  template <typename Page, typename... Args>
  Page& Show(Args&&... args) {
    auto page = std::make_unique<Page>(std::forward<Args>(args)...);
    Page& shown = *page;
    pages.push_back(std::move(page));
    shown.show();
    return shown;
  }
  // Deals 1..8, deal 5 with North the spades, East the hearts, South the diamonds, West the
  // clubs; the range 5..7 in two copies, dealt D1,D1,D1 and sorted NESW.
  void DealSettings() {
    deal_file = StoreDealMenuRun(scratch.Path());
    QVERIFY(!deal_file.empty());
  }
  Page_DealMenu& DealMenu() {
    DealSettings();
    return Show<Page_DealMenu>("DealMenu", &host);
  }
  Page_Split& Split() {
    host.Always("SPLIT", 90, "");  // acknowledged with a bare status packet
    return Show<Page_Split>("Split", &host);
  }
  // One tick a poll interval later.
  template <typename Page>
  void Later(Page& page) {
    clock.Advance(Page::kPollMs);
    page.OnTimer();
  }
};

const std::string kPockets =
    std::string(13, '4') + std::string(13, '3') + std::string(13, '2') + std::string(13, '1');

struct Scenario {
  const char* name;
  // true: `lines` are all the lines of the scenario, in this order, but for the deal viewer's
  // and the deal reader's own (see OfTheViewerOrReader); false: they appear in this order among
  // others.
  bool all;
  std::function<void(Rig&)> run;
  std::vector<std::string> lines;  // level letter, a blank, the text
};

const std::vector<Scenario>& Scenarios() {
  static const std::vector<Scenario> scenarios = {
      {"start page init",
       false,
       [](Rig& rig) { rig.Show<Page_Start>("Start"); },
       {"T #0 on init\n"}},
      {"parameters page init",
       false,
       [](Rig& rig) { rig.Show<Page_Parameters>("Parameters"); },
       {"D #1 on init\n"}},
      {"card distribution shown",
       false,
       [](Rig& rig) {
         rig.DealSettings();
         rig.Show<Page_CardDistribution>("CardDistribution");
       },
       {"D Loading last filename\n"}},
      {"service page shown",
       false,
       [](Rig& rig) {
         rig.host.Queue("SERVICEINFO", 0, "5,1200,40,-1,0,7");
         rig.Show<Page_Service>("ServiceMenu", &rig.host);
       },
       {"D Service info OK\n"}},
      {"deal viewer of the deal menu",
       false,
       [](Rig& rig) { rig.DealMenu(); },
       {"D DealViewer on init\n"}},

      {"deal menu shown and hidden",
       true,
       [](Rig& rig) {
         rig.host.Queue("TRAYSTART OFF", 91, "");
         rig.DealMenu().hide();
       },
       {"D XXXX Page_DealMenu 1\n", "W Error sending command\n", "D Lastfile == currentfile\n",
        "D DealCounter 1\n", "D D1,D1...\n", "D DealCounter 1\n", "D D1,D1...\n",
        "D XXXX Page_DealMenu 0\n", "D Saving Dealmenu choices\n"}},
      {"deal menu without a file",
       true,
       [](Rig& rig) {
         WriteSettingString("CardDistribution", "Filename", "gone.bri");
         rig.Show<Page_DealMenu>("DealMenu", &rig.host);
       },
       {"D XXXX Page_DealMenu 1\n", "D No current file gone.bri\n", "D DealCounter 1\n"}},
      {"deal menu: one deal sent, busy, done",
       true,
       [](Rig& rig) {
         Page_DealMenu& page = rig.DealMenu();
         rig.Record();
         page.OnStartNext();
         page.OnTimer();
         rig.host.Queue("STAT", 1, "sorting card 7");
         rig.Later(page);
         rig.Later(page);
       },
       {"T Deal menu Timer\n", "I Starting sort\n", "D Sending deal 4 to machine\n",
        "D SORTING NESW\n", "D " + kPockets + "\n", "D DealCounter 1\n", "D D1,D1...\n",
        "T Deal menu Timer\n", "D sorting card 7\n", "T Deal menu Timer\n", "D DealCounter 2\n",
        "D D1,D1...\n"}},
      {"deal menu: card read twice",
       true,
       [](Rig& rig) {
         Page_DealMenu& page = rig.DealMenu();
         page.OnStartNext();
         page.OnTimer();
         rig.Record();
         rig.host.Queue("STAT", 14, "HD already read in pocket 3");
         rig.Later(page);
       },
       {"T Deal menu Timer\n", "D HD already read in pocket 3\n", "D DealCounter 1\n",
        "D D1,D1...\n"}},
      {"deal menu: sort refused, nested tick",
       true,
       [](Rig& rig) {
         Page_DealMenu& page = rig.DealMenu();
         rig.Record();
         rig.host.Queue("SORT", 20, "bad parameter");
         MessageBoxResponder previous = SetMessageBoxResponder([&](const MessageBoxRequest&) {
           rig.Later(page);
           return BoxAnswer::Ok;
         });
         page.OnStartNext();
         page.OnTimer();
         SetMessageBoxResponder(previous);
       },
       {"T Deal menu Timer\n", "I Starting sort\n", "D Sending deal 4 to machine\n",
        "D SORTING NESW\n", "D " + kPockets + "\n", "D DealCounter 1\n", "D D1,D1...\n",
        "T Inservice call\n"}},
      {"deal menu: start triggers fail",
       true,
       [](Rig& rig) {
         WriteSettingInt("Parameters", "traystart", 1);
         WriteSettingInt("Parameters", "buttonstart", 1);
         Page_DealMenu& page = rig.DealMenu();
         rig.Record();
         rig.host.Queue("TRAYSTAT", 90, "");
         page.OnTimer();
         rig.host.Queue("TRAYSTAT", 41, "NO");
         rig.host.Queue("BUTSTAT", 20, "unknown command");
         page.OnTimer();
       },
       {"T Deal menu Timer\n", "W Error sending traystat\n", "T Deal menu Timer\n",
        "W Error sending butstat\n"}},
      {"deal menu: unknown sort order",
       true,
       [](Rig& rig) {
         WriteSettingInt("Parameters", "SortOrder", 7);
         Page_DealMenu& page = rig.DealMenu();
         page.OnStartNext();
         page.OnTimer();
       },
       {"D XXXX Page_DealMenu 1\n", "W Switch default\n", "D Lastfile == currentfile\n",
        "D DealCounter 1\n", "D D1,D1...\n", "D DealCounter 1\n", "D D1,D1...\n",
        "T Deal menu Timer\n", "I Starting sort\n",
        "W Start refused: Sort order 7 is unknown: no deal is sent.\nChoose the sort order on "
        "the Parameters page.\n"}},
      {"deal menu: pocket text of a card that is no card",
       true,
       [](Rig&) {
         Deal deal = MakeDeal(0);
         deal.cards[20] = 0;
         Page_DealMenu::PocketText(deal, 0);
       },
       {"D BUG\n"}},

      {"split page shown",
       true,
       [](Rig& rig) {
         rig.host.Queue("BUTTONSTART OFF", 91, "");
         rig.Split().hide();
       },
       {"D Split menu init\n", "W Error sending command\n"}},
      {"split: tray start, removal, button continue, done, button start",
       true,
       [](Rig& rig) {
         WriteSettingInt("Parameters", "traystart", 1);
         WriteSettingInt("Parameters", "buttonstart", 1);
         Page_Split& page = rig.Split();
         rig.Record();
         rig.host.Always("TRAYSTAT", 41, "NO");
         rig.host.Always("BUTSTAT", 41, "NO");
         rig.host.Queue("TRAYSTAT", 40, "YES");
         page.OnTimer();
         rig.host.Queue("STAT", 1, "busy");
         rig.Later(page);
         rig.host.Queue("STAT", 0, "00 Remove 26 cards from 2");
         rig.Later(page);
         rig.host.Queue("BUTSTAT", 40, "YES");
         page.OnTimer();
         rig.host.Queue("STAT", 0, "Split done");
         rig.Later(page);
         rig.host.Queue("BUTSTAT", 40, "YES");
         page.OnTimer();
       },
       {"T Split menu Timer\n", "I Starting split due to tray\n", "I Starting split\n",
        "T Split menu Timer\n", "T Split menu Timer\n",
        "D response was :00 Remove 26 cards from 2\n", "I Pocket 2\n", "T Split menu Timer\n",
        "I Continuing split due to button\n", "T Split menu Timer\n",
        "D response was :Split done\n", "T Split menu Timer\n", "I Starting split due to button\n",
        "I Starting split\n"}},
      {"split: tray continues",
       true,
       [](Rig& rig) {
         WriteSettingInt("Parameters", "traystart", 1);
         Page_Split& page = rig.Split();
         rig.Record();
         rig.host.Always("TRAYSTAT", 41, "NO");
         rig.host.Queue("TRAYSTAT", 40, "YES");
         page.OnTimer();
         rig.host.Queue("STAT", 0, "00 Remove 13 cards from 4");
         rig.Later(page);
         for (int i = 0; i < 5; ++i) page.OnTimer();
         rig.host.Queue("TRAYSTAT", 40, "YES");
         page.OnTimer();
       },
       {"T Split menu Timer\n", "I Starting split due to tray\n", "I Starting split\n",
        "T Split menu Timer\n", "D response was :00 Remove 13 cards from 4\n", "I Pocket 4\n",
        "T Split menu Timer\n", "T Split menu Timer\n", "T Split menu Timer\n",
        "T Split menu Timer\n", "T Split menu Timer\n", "T Split menu Timer\n",
        "I Continuing split due to tray\n"}},
      {"split: triggers fail, no selection",
       true,
       [](Rig& rig) {
         WriteSettingInt("Parameters", "traystart", 1);
         WriteSettingInt("Parameters", "buttonstart", 1);
         Page_Split& page = rig.Split();
         rig.Record();
         rig.host.Queue("TRAYSTAT", 90, "");
         page.OnTimer();
         rig.host.Queue("TRAYSTAT", 41, "NO");
         rig.host.Queue("BUTSTAT", 91, "");
         page.OnTimer();
         rig.host.Always("TRAYSTAT", 41, "NO");
         rig.host.Always("BUTSTAT", 41, "NO");
         page.SplitCount()->SetCurSel(-1);
         page.OnStartSplit();
         page.OnTimer();
       },
       {"T Split menu Timer\n", "W Error sending traystat\n", "T Split menu Timer\n",
        "W Error sending butstat\n", "T Split menu Timer\n", "I Starting split\n",
        "W Illigal split value\n"}},
  };
  return scenarios;
}

// The lines the deal viewer and the deal reader write while a page shows or loads deals: they
// are pinned by the viewer's scenario and the reader's own tests, by their texts, wherever the
// code that writes them lives.
bool OfTheViewerOrReader(const TraceLine& line) {
  static const char* const kTexts[] = {"DealViewer on init", "Loading ",        "Not showing deals",
                                       "Bri File contains",  "This matches a ", "128\n"};
  for (const char* text : kTexts) {
    if (line.text.rfind(text, 0) == 0) return true;
  }
  return false;
}

QStringList Shown(const std::vector<std::string>& lines) {
  QStringList shown;
  for (const std::string& line : lines) shown << QString::fromStdString(line);
  return shown;
}

}  // namespace

class TraceLinesTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    TraceResetForTests();
    TraceSetStandardOutput(nullptr);
    Page_DealMenu::ResetSharedStateForTests();
    Page_Split::ResetSharedStateForTests();
  }

  void linesKeepTheirTextsAndOrder_data() {
    QTest::addColumn<int>("index");
    for (size_t i = 0; i < Scenarios().size(); ++i) {
      QTest::newRow(Scenarios()[i].name) << static_cast<int>(i);
    }
  }
  void linesKeepTheirTextsAndOrder() {
    QFETCH(int, index);
    const Scenario& scenario = Scenarios()[static_cast<size_t>(index)];
    Rig rig;
    scenario.run(rig);
    std::vector<std::string> written;
    for (const TraceLine& line : rig.capture->lines) {
      if (!scenario.all || !OfTheViewerOrReader(line))
        written.push_back(std::string(1, line.level) + " " + line.text);
    }
    if (scenario.all) {
      QCOMPARE(Shown(written), Shown(scenario.lines));
      return;
    }
    // In order among the scenario's other lines.
    auto next = written.begin();
    for (const std::string& expected : scenario.lines) {
      next = std::find(next, written.end(), expected);
      QVERIFY2(next != written.end(), ("missing: " + expected).c_str());
      ++next;
    }
  }
};

QTEST_MAIN(TraceLinesTest)
#include "tst_tracelines.moc"
