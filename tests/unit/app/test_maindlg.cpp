#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "FooButton.h"
#include "GuiSupport.h"
#include "MessageBox.h"
#include "PageTestSupport.h"
#include "Page_DealMenu.h"
#include "Page_Split.h"
#include "USBinterface.h"
#include "clock.h"
#include "log.h"
#include "maindlg.h"
#include "platform/Backends.h"
#include "platform/FakeBackend.h"
#include "platform/Reactor.h"

namespace {

using qplatform::FakeDevice;

class MainDlgTest : public ::testing::Test {
 protected:
  MainDlgTest() : scoped_clock_(&clock_), backends_(qplatform::Backends{&hid_, &bulk_, nullptr}) {
    TraceResetForTests();
    TraceSetStandardOutput(nullptr);
    qplatform::Reactor::Instance().Install();
    ConnectionList().clear();
  }
  ~MainDlgTest() override { ConnectionList().clear(); }

  // A machine whose firmware answers every command with `reply`.
  std::shared_ptr<FakeDevice> Plug(std::string reply) {
    auto device = hid_.AddDevice("/dev/hidraw7");
    reply_ = std::move(reply);
    firmware_.answer = [this](const std::string&) { return reply_; };
    firmware_.Attach(*device);
    return device;
  }

  void Poll() {
    clock_.Advance(CMainDlg::kPollIntervalMs);
    dialog_.OnKickIdle();
  }

  bool MachineButtonsEnabled() {
    return dialog_.MenuButton(3)->isEnabled() && dialog_.MenuButton(4)->isEnabled() &&
           dialog_.MenuButton(5)->isEnabled();
  }
  bool MachineButtonsDisabled() {
    return !dialog_.MenuButton(3)->isEnabled() && !dialog_.MenuButton(4)->isEnabled() &&
           !dialog_.MenuButton(5)->isEnabled();
  }
  int VisiblePage() {
    for (int i = 0; i <= 6; ++i) {
      if (dialog_.Page(i)->isVisible()) return i;
    }
    return -1;
  }

  ScratchEnvironment scratch_;  // the pages' settings and deal files
  qclock::FakeClock clock_{5000};
  qclock::ScopedClock scoped_clock_;
  qplatform::FakeHidBackend hid_;
  qplatform::FakeBulkBackend bulk_;
  qplatform::ScopedBackends backends_;
  qplatform::FakeFirmware firmware_;
  std::string reply_;
  TraceCapture trace_;
  CMainDlg dialog_;
};

TEST_F(MainDlgTest, WithoutAMachineTheFirstPollShowsTheCardDistributionPage) {
  dialog_.show();
  EXPECT_EQ(VisiblePage(), 0);
  Poll();
  EXPECT_EQ(VisiblePage(), 2);
  EXPECT_TRUE(MachineButtonsDisabled());
  EXPECT_TRUE(dialog_.MenuButton(2)->GetCheck());
  EXPECT_TRUE(dialog_.MenuButton(1)->isEnabled());
  EXPECT_TRUE(trace_.Contains('D', "Displaying 2\n"));
}

TEST_F(MainDlgTest, AMachineArrivingAndLeavingSwitchesTheMachineButtons) {
  dialog_.show();
  Poll();
  EXPECT_TRUE(MachineButtonsDisabled());

  auto machine = Plug("00 OK");
  Poll();
  EXPECT_TRUE(trace_.Contains('D', "Device found\n"));
  EXPECT_TRUE(MachineButtonsEnabled());
  dialog_.ShowPage(3);
  Poll();
  EXPECT_TRUE(trace_.Contains('T', "Device OK\n"));
  EXPECT_EQ(VisiblePage(), 3);

  machine->Unplug();
  Poll();
  EXPECT_TRUE(trace_.Contains('D', "Device gone\n"));
  EXPECT_TRUE(MachineButtonsDisabled());
  EXPECT_EQ(VisiblePage(), 2);
  EXPECT_EQ(dialog_.MachineLink(), nullptr);
}

// A machine that goes away while a message box is open is dropped once the box is answered,
// not under it: the page the operator answers stays where it is.
TEST_F(MainDlgTest, ThePollWaitsWhileAMessageBoxIsOpen) {
  dialog_.show();
  auto machine = Plug("00 OK");
  Poll();
  dialog_.ShowPage(3);
  machine->Unplug();
  int page_inside = -1;
  SetMessageBoxResponder([&](const MessageBoxRequest&) {
    Poll();
    Poll();
    page_inside = VisiblePage();
    return BoxAnswer::Ok;
  });
  ShowMessageBox("Really want to reset ?", "Warning", BoxButtons::OkCancel);
  SetMessageBoxResponder(nullptr);
  EXPECT_EQ(page_inside, 3);
  EXPECT_FALSE(trace_.Contains('D', "Device gone\n"));
  Poll();
  EXPECT_TRUE(trace_.Contains('D', "Device gone\n"));
  EXPECT_EQ(VisiblePage(), 2);
}

// The poll's own lines stand where they always stood among the lines the link writes during the
// search, the alive check and the drop: their level, text and order, whichever file writes them.
TEST_F(MainDlgTest, ThePollsLinesKeepTheirPlaceAmongTheLinksLines) {
  struct Line {
    char level;
    const char* text;
  };
  struct Step {
    const char* what;
    std::function<void()> before;
    std::vector<Line> lines;  // in this order, other lines may come between them
  };
  std::shared_ptr<FakeDevice> machine;
  const Step steps[] = {
      {"no machine",
       [] {},
       {{'T', "No terminal\n"},
        {'T', "TestConnect\n"},
        {'T', "Fail 0\n"},
        {'D', "Displaying 2\n"},
        {'T', "Kick idle\n"}}},
      {"machine found",
       [&] { machine = Plug("00 OK"); },
       {{'T', "No terminal\n"},
        {'I', "HID opened\n"},
        {'T', "Found device in list\n"},
        {'D', "Device found\n"},
        {'I', "ClientInit\n"},
        {'T', "Kick idle\n"}}},
      {"machine alive",
       [] {},
       {{'T', "TX Buffer empty - done\n"}, {'T', "Device OK\n"}, {'T', "Kick idle\n"}}},
      {"machine gone",
       [&] { machine->Unplug(); },
       {{'W', "Error sending command\n"},
        {'D', "Device gone\n"},
        {'T', "UsbInterface::CloseDevice \n"},
        {'T', "UsbInterface::~destructor \n"},
        {'D', "Displaying 2\n"},
        {'T', "Kick idle\n"}}},
  };
  dialog_.show();
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.before();
    trace_.lines.clear();
    Poll();
    size_t next = 0;
    for (const TraceLine& line : trace_.lines) {
      if (next == step.lines.size()) break;
      const Line& want = step.lines[next];
      if (line.level == want.level && line.text == want.text) ++next;
    }
    EXPECT_EQ(next, step.lines.size())
        << "missing or out of order: " << step.lines[std::min(next, step.lines.size() - 1)].text;
  }
}

TEST_F(MainDlgTest, ThePollKeepsItsPace) {
  dialog_.show();
  Poll();
  const size_t polls = trace_.Texts('T').size();
  clock_.Advance(100);
  dialog_.OnKickIdle();  // too early: nothing happens
  EXPECT_EQ(trace_.Texts('T').size(), polls);
}

TEST_F(MainDlgTest, CommandCallParsesTheReply) {
  struct Case {
    std::string reply;
    int code;
    std::string text;
    const char* warning;
  } cases[] = {
      {"00 OK", 0, "OK", nullptr},
      {"14 HD already read in pocket 3", 14, "HD already read in pocket 3", nullptr},
      {"08\tbusy", 8, "busy", nullptr},
      {"09 x", 9, "x", nullptr},
      {"1 OK", 90, "1 OK", "Unparsable reply\n"},
      {"OK 00", 90, "OK 00", "Unparsable reply\n"},
      {"00", 90, "00", "Unparsable reply\n"},
      // Five data packets do not fit 280 bytes: the exchange itself refuses the reply.
      {std::string(280, '7'), 90, "Test return", "Error sending command STAT\n"},
  };
  Plug("");
  dialog_.show();
  Poll();
  ASSERT_NE(dialog_.MachineLink(), nullptr);
  for (const Case& c : cases) {
    reply_ = c.reply;
    char buffer[280];
    trace_.lines.clear();
    EXPECT_EQ(dialog_.SendMachineCommand("STAT", buffer, sizeof buffer), c.code) << c.reply;
    EXPECT_EQ(std::string(buffer), c.text) << c.reply;
    if (c.warning != nullptr) {
      EXPECT_TRUE(trace_.Contains('W', c.warning)) << c.reply;
    }
  }
  EXPECT_EQ(firmware_.commands.back(), "STAT");

  // The refused reply's packets are still on their way: the next exchange meets them, fails
  // and flushes them, and the one after is clean again.
  reply_ = "00 OK";
  char buffer[280];
  EXPECT_EQ(dialog_.SendMachineCommand("STAT", buffer, sizeof buffer), 90);
  EXPECT_TRUE(trace_.Contains('W', "Unexpected DATA packet #0\n"));
  EXPECT_EQ(dialog_.SendMachineCommand("STAT", buffer, sizeof buffer), 0);

  // A reply that fills the caller's buffer leaves no room for its end.
  reply_ = std::string(240, '7');
  char small[240];
  EXPECT_EQ(dialog_.SendMachineCommand("STAT", small, sizeof small), 90);
  EXPECT_TRUE(trace_.Contains('W', "Buffer too small\n"));
}

TEST_F(MainDlgTest, WithoutAMachineEveryCommandIs91AndTheBufferSaysTestReturn) {
  dialog_.show();
  Poll();
  char buffer[280] = "untouched";
  EXPECT_EQ(dialog_.SendMachineCommand("FIRMWARE", buffer, sizeof buffer), 91);
  EXPECT_STREQ(buffer, "Test return");
  EXPECT_TRUE(trace_.Contains('W', "No terminal\n"));
}

TEST_F(MainDlgTest, StatusCodeTexts) {
  std::string text = "as it was";
  dialog_.StatusCodeText(2, text);
  EXPECT_EQ(text, "as it was");
  dialog_.StatusCodeText(13, text);
  EXPECT_EQ(text, "missing joker)");
  dialog_.StatusCodeText(90, text);
  EXPECT_EQ(text, "internal USB error");
  dialog_.StatusCodeText(91, text);
  EXPECT_EQ(text, "No device or device disconneted");
}

TEST_F(MainDlgTest, SetMenuBusyFollowsTheMachine) {
  dialog_.show();
  Poll();
  dialog_.SetMenuBusy(true);
  for (int page = 1; page <= 6; ++page) EXPECT_FALSE(dialog_.MenuButton(page)->isEnabled());
  dialog_.SetMenuBusy(false);
  EXPECT_TRUE(dialog_.MenuButton(1)->isEnabled());
  EXPECT_TRUE(dialog_.MenuButton(6)->isEnabled());
  EXPECT_TRUE(MachineButtonsDisabled());
}

TEST_F(MainDlgTest, PagesAndClosing) {
  dialog_.show();
  // Controls made while the dialog initialises on its first showing are shown with it.
  for (int page = 1; page <= 6; ++page) EXPECT_TRUE(dialog_.MenuButton(page)->isVisible());
  ASSERT_NE(dialog_.StatusBar(), nullptr);
  EXPECT_TRUE(dialog_.StatusBar()->isVisible());
  EXPECT_EQ(dialog_.windowTitle().left(9), "Quadrelle");
  EXPECT_TRUE(dialog_.windowTitle().endsWith(" rel") || dialog_.windowTitle().contains(" tst "));
  dialog_.MenuButton(6)->click();
  EXPECT_EQ(VisiblePage(), 6);
  dialog_.ShowPage(CMainDlg::kHideAllPages);
  EXPECT_EQ(VisiblePage(), -1);
  dialog_.ShowPage(4);
  dialog_.close();
  EXPECT_FALSE(dialog_.Page(4)->isVisible());
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
}

// While the machine holds a deck or a split job, nothing but STAT reaches it, whatever the
// operator clicks or presses: every menu button (pressed with the focus on it, then Enter), every
// page shown even past the menu, every action of every page. The pages that send nothing stay
// reachable, and the machine is free again once its job is done or has run past its limit.
TEST_F(MainDlgTest, NothingButStatReachesAMachineThatHoldsAJob) {
  struct Row {
    const char* name;
    int job_page;
    MachineJob::Kind job;
    bool finishes;          // else it stays busy past its limit
    std::vector<int> open;  // menu buttons enabled while the job is in the machine
  };
  const Row rows[] = {
      {"a deck", 3, MachineJob::Kind::kSorting, true, {1, 2, 3, 6}},
      {"a deck past its limit", 3, MachineJob::Kind::kSorting, false, {1, 2, 3, 6}},
      {"a split", 4, MachineJob::Kind::kSplitting, true, {1, 2, 4, 6}},
  };
  const std::string path = StoreDealMenuRun(scratch_.Path());
  ASSERT_FALSE(path.empty());
  MessageBoxCapture boxes;
  bool busy = false;
  auto machine = Plug("");
  firmware_.answer = [&busy](const std::string& command) -> std::string {
    if (command.rfind("SORT ", 0) == 0) return busy = true, "00 OK";
    if (command.rfind("SPLIT", 0) == 0) return busy = true, "";  // a bare status packet
    if (command == "STAT") return busy ? "01 busy" : "00 OK";
    if (command == "BUTSTAT" || command == "TRAYSTAT") return "41 NO";
    return "00 1,2,3,4,5,6";
  };
  dialog_.show();
  Poll();
  ASSERT_NE(dialog_.MachineLink(), nullptr);
  auto* deal_menu = static_cast<Page_DealMenu*>(dialog_.Page(3));
  auto* split = static_cast<Page_Split*>(dialog_.Page(4));
  const auto tick = [&] {
    clock_.Advance(Page_DealMenu::kTickMs);
    dialog_.OnKickIdle();
    if (deal_menu->isVisible()) deal_menu->OnTimer();
    if (split->isVisible()) split->OnTimer();
  };
  const auto try_the_page = [&](int page) {
    if (page == 3) {
      deal_menu->OnStartNext();
      deal_menu->OnReset();
      deal_menu->OnNextDeal();
      deal_menu->OnPreviousDeal();
    } else if (page == 4) {
      split->OnStartSplit();
      split->OnContinue();
    } else if (page == 5) {
      for (const char* name : {"turnRoller", "exerciseArms"}) {
        dialog_.Page(5)->findChild<QAbstractButton*>(name)->click();
      }
    }
    for (int i = 0; i < 10; ++i) tick();
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    dialog_.MenuButton(row.job_page)->click();
    if (row.job_page == 3) deal_menu->OnStartNext();
    if (row.job_page == 4) split->OnStartSplit();
    tick();
    ASSERT_EQ(dialog_.MachineJobKind(), row.job);
    firmware_.commands.clear();

    for (int page = 1; page <= 6; ++page) {
      FooButton* button = dialog_.MenuButton(page);
      const bool open = std::count(row.open.begin(), row.open.end(), page) > 0;
      EXPECT_EQ(button->isEnabled(), open) << "menu button " << page;
      button->setFocus();
      button->click();
      EXPECT_NE(dialog_.focusWidget(), button) << "the focus stayed on menu button " << page;
      QTest::keyClick(&dialog_, Qt::Key_Return);
      try_the_page(page);
    }
    for (int page = 0; page <= 6; ++page) {  // past the menu
      dialog_.ShowPage(page);
      try_the_page(page);
    }
    EXPECT_FALSE(firmware_.commands.empty());
    for (const std::string& command : firmware_.commands) EXPECT_EQ(command, "STAT");

    // Done, or given up: the machine is free, the operator can go everywhere again.
    dialog_.ShowPage(row.job_page);
    if (row.finishes) {
      busy = false;
    } else {
      clock_.Advance(kSplitLimitMs);
    }
    for (int i = 0; i < 10; ++i) tick();
    EXPECT_EQ(dialog_.MachineJobKind(), MachineJob::Kind::kNone);
    for (int page = 1; page <= 6; ++page) EXPECT_TRUE(dialog_.MenuButton(page)->isEnabled());
    if (!row.finishes) {
      EXPECT_EQ(boxes.requests.back().text, "Sort failed");
    }
    busy = false;
  }
}

}  // namespace
