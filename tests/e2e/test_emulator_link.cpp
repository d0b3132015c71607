// The same run over a real emulator slot: the program's link listens, the simulator's slot
// server plugs in from a thread of its own, and both run on the real clock with the page's
// own 20 ms timer, as the program and quadrelle-sim do.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "DealFiles.h"
#include "MessageBox.h"
#include "Page_DealMenu.h"
#include "ScratchFolder.h"
#include "Settings.h"
#include "SlotThread.h"
#include "USBinterface.h"
#include "log.h"
#include "maindlg.h"
#include "platform/Backends.h"
#include "platform/EmuBackend.h"
#include "platform/FakeBackend.h"
#include "platform/Reactor.h"

namespace {

class EmulatorSlot : public ::testing::Test {
 protected:
  static constexpr int kSlot = 3;

  EmulatorSlot() {
    root_ = scratch_.path();
    TraceResetForTests();
    TraceSetStandardOutput(nullptr);
    qplatform::Reactor::Instance().Install();
    ConnectionList().clear();
    emulator_ = std::make_unique<qplatform::EmulatorLink>(root_);
    backends_ = std::make_unique<qplatform::ScopedBackends>(
        qplatform::Backends{&hid_, &bulk_, emulator_.get()});
    qsim::MachineOptions options;
    options.card_ms = 1;
    options.deck.shuffled = true;
    machine_ = std::make_unique<qsim::SlotThread>(options, emulator_->SlotPath(kSlot));
  }
  ~EmulatorSlot() override {
    dialog_.reset();
    machine_.reset();
    ConnectionList().clear();
    backends_.reset();
    emulator_.reset();
  }

  template <class Done>
  bool RunUntil(Done done, int seconds = 5) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done() && std::chrono::steady_clock::now() < limit) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return done();
  }

  ScratchFolder scratch_{"quadrelle-e2e"};
  std::string root_;
  qplatform::FakeHidBackend hid_;
  qplatform::FakeBulkBackend bulk_;
  std::unique_ptr<qplatform::EmulatorLink> emulator_;
  std::unique_ptr<qplatform::ScopedBackends> backends_;
  std::unique_ptr<qsim::SlotThread> machine_;
  MessageBoxCapture boxes_;
  std::unique_ptr<CMainDlg> dialog_;
};

// DealOrder "D1,D2,D3", SortOrder "SWEN", deals 3 to 6 of 8, two copies, each board started by
// the machine's button.
TEST_F(EmulatorSlot, ARunStartedByTheMachinesButton) {
  ASSERT_TRUE(WriteBriFile("slot.bri", MakeDeals(8)));
  WriteSettingString("CardDistribution", "Filename", "slot.bri");
  WriteSettingInt("CardDistribution", "StartDeal", 3);
  WriteSettingInt("CardDistribution", "NumberOfDeal", 4);
  WriteSettingString("DealMenu", "LastFile", "slot.bri");
  WriteSettingString("DealMenu", "NumberOfCopies", "2");
  WriteSettingInt("Parameters", "DealOrder", 1);
  WriteSettingInt("Parameters", "SortOrder", 2);
  WriteSettingInt("Parameters", "buttonstart", 1);

  dialog_ = std::make_unique<CMainDlg>();
  dialog_->show();
  ASSERT_TRUE(RunUntil([&] { return dialog_->MachineLink() != nullptr; }));
  dialog_->ShowPage(3);
  auto* page = static_cast<Page_DealMenu*>(dialog_->Page(3));
  ASSERT_TRUE(page->TimerRunning());

  // SWEN: pockets 1 to 4 take North, East, West, South.
  constexpr int kPocketHand[4] = {kNorth, kEast, kWest, kSouth};
  const DealSet& deals = page->Deals();
  std::vector<int> sent;
  for (int board = 0; board < 8; ++board) {
    machine_->WithState(
        [](qsim::SimState& state) { state.machine.PressButton(qsim::SlotThread::Now()); });
    ASSERT_TRUE(RunUntil([&] { return page->State() == Page_DealMenu::RunState::Sorting; }));
    ASSERT_TRUE(RunUntil([&] { return page->State() == Page_DealMenu::RunState::Idle; }));
    int found = -1;
    machine_->WithState([&](qsim::SimState& state) {
      for (size_t i = 0; i < deals.size(); ++i) {
        bool all = true;
        for (int pocket = 1; pocket <= 4 && all; ++pocket) {
          std::vector<int> in_pocket = state.machine.Pocket(pocket);
          const uint8_t* hand = deals[i].HandCards(kPocketHand[pocket - 1]);
          std::vector<int> expected(hand, hand + kCardsInHand);
          std::sort(in_pocket.begin(), in_pocket.end());
          std::sort(expected.begin(), expected.end());
          all = in_pocket == expected;
        }
        if (all) found = static_cast<int>(i);
      }
    });
    sent.push_back(found);
  }
  EXPECT_EQ(sent, (std::vector<int>{2, 3, 4, 5, 2, 3, 4, 5}));
  EXPECT_EQ(page->ColumnLabel(0)->text(), QString("S"));
  ASSERT_FALSE(boxes_.requests.empty());
  EXPECT_EQ(boxes_.requests.back().text, "Done dealing deals");
}

}  // namespace
