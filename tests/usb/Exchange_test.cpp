// The command exchange through each real path (HID, bulk at full speed, bulk at high speed):
// the whole command vocabulary, and a short dealing run whose pockets the firmware checks.
#include <algorithm>
#include <chrono>
#include <thread>

#include "DealFiles.h"
#include "UsbRig.h"

namespace usbemu {
namespace {

class Exchange : public OneMachineRig {
 protected:
  // Polls "STAT" as the deal menu does until the machine is no longer busy.
  std::string WaitWhileBusy() {
    std::string reply;
    for (int i = 0; i < 500; ++i) {
      reply = Command(device_, "STAT");
      if (reply.rfind("01", 0) != 0) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return reply;
  }
};

TEST_P(Exchange, TheWholeVocabularyIsCarried) {
  struct Case {
    std::string command;
    std::string reply;  // "" for the machine's bare STATUS packet
  } cases[] = {
      {"FIRMWARE", "00 QSIM 2.04 simulated dealer"},
      {"SERVICEINFO", "00 0,0,0,0,0,0"},
      {"STAT", "00 OK"},
      {"BUTSTAT", "41 NO"},
      {"TRAYSTAT", "41 NO"},
      {"BUTTONSTART ON", "00 OK"},
      {"BUTTONSTART OFF", "00 OK"},
      {"TRAYSTART OFF", "00 OK"},
      {"STOPCARD ON", "00 OK"},
      {"STOPCARD OFF", "00 OK"},
      {"BARCODE 5BAR", "00 OK"},
      {"BARCODE 7BAR", "00 OK"},
      {"FEEDFEEDER", "00 OK"},
      {"EXERCISE ON", "00 OK"},
      {"EXERCISE OFF", "00 OK"},
      {"SPLIT CONTINUE", "20 no split to continue"},
      {"SORT 1234", "20 bad parameter"},
      {"BOGUS", "20 unknown command"},
      // Cut to 61 characters on the way: the firmware sees a word it does not know.
      {std::string(70, 'X'), "20 unknown command"},
      {"SPLIT 13", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    bool ok = false;
    EXPECT_EQ(Command(device_, c.command.c_str(), &ok), c.reply);
    EXPECT_TRUE(ok);
  }
  EXPECT_EQ(machine_->Commands().back(), "SPLIT 13");
  EXPECT_EQ(machine_->Commands()[18], std::string(61, 'X'));
  EXPECT_EQ(device_->CheckAlive(), 1);
}

// Four deals, two copies each, sorted North, East, South, West into pockets 4, 3, 2, 1.
TEST_P(Exchange, ADealingRunFillsThePocketsWithTheRightHands) {
  const std::vector<Deal> deals = MakeDeals(4);
  for (const char* setting : {"BUTTONSTART OFF", "TRAYSTART OFF", "STOPCARD OFF", "BARCODE 7BAR"}) {
    ASSERT_EQ(Command(device_, setting), "00 OK") << setting;
  }
  constexpr int kPocketOf[4] = {4, 3, 2, 1};  // North, East, South, West
  int boards = 0;
  for (const Deal& deal : deals) {
    std::string digits(52, '0');
    for (int hand = kNorth; hand <= kWest; ++hand) {
      for (int k = 0; k < kCardsInHand; ++k) {
        digits[deal.HandCards(hand)[k] - 1] = static_cast<char>('0' + kPocketOf[hand]);
      }
    }
    for (int copy = 1; copy <= 2; ++copy) {
      SCOPED_TRACE(::testing::Message() << "board " << boards + 1);
      ASSERT_EQ(Command(device_, ("SORT " + digits).c_str()), "00 OK");
      ASSERT_EQ(WaitWhileBusy(), "00 OK");
      machine_->WithFirmware([&](qsim::SimState& state) {
        for (int hand = kNorth; hand <= kWest; ++hand) {
          std::vector<int> pocket = state.machine.Pocket(kPocketOf[hand]);
          std::vector<int> expected(deal.HandCards(hand), deal.HandCards(hand) + kCardsInHand);
          std::sort(pocket.begin(), pocket.end());
          std::sort(expected.begin(), expected.end());
          EXPECT_EQ(pocket, expected) << "hand " << hand;
        }
      });
      ++boards;
    }
  }
  EXPECT_EQ(boards, 8);
  EXPECT_EQ(Command(device_, "SERVICEINFO"), "00 416,8,8,0,0,0");
}

INSTANTIATE_TEST_SUITE_P(EachPath, Exchange,
                         ::testing::Values(Path::kHid, Path::kBulkFullSpeed, Path::kBulkHighSpeed),
                         [](const ::testing::TestParamInfo<Path>& info) {
                           return std::string(PathName(info.param));
                         });

}  // namespace
}  // namespace usbemu
