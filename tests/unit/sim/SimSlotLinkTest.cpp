// quadrelle-sim's own way onto the program: the socket server plugs into a real emulator slot
// that the link listens on. The simulator runs on a thread of its own with the real clock, as
// the separate program would; only paths without time-outs are taken here (the fake-clock
// tests cover those), so nothing waits long.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "SimServer.h"
#include "SimSlotLinkFixture.h"
#include "TraceGuard.h"

namespace qsim {
namespace {

TEST_F(SlotLinkTest, EveryCommandAndAFullSortOverARealSlot) {
  ASSERT_TRUE(WaitForMachine());
  const struct {
    const char* command;
    int code;
  } cases[] = {{"BUTTONSTART OFF", 0}, {"TRAYSTART OFF", 0}, {"STOPCARD OFF", 0},
               {"BARCODE 7BAR", 0},    {"BUTSTAT", 41},      {"TRAYSTAT", 41},
               {"SERVICEINFO", 0},     {"FEEDFEEDER", 0},    {"EXERCISE ON", 0},
               {"EXERCISE OFF", 0},    {"FIRMWARE", 0},      {"STAT", 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(Call(c.command), c.code) << c.command;
  }
  Control("button");
  EXPECT_EQ(Call("BUTSTAT"), 40);

  const std::string digits =
      std::string(13, '4') + std::string(13, '3') + std::string(13, '2') + std::string(13, '1');
  ASSERT_EQ(Call("SORT " + digits), 0);
  int code = 1;
  for (int i = 0; i < 1000 && code == 1; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    code = Call("STAT");
  }
  EXPECT_EQ(code, 0);
  EXPECT_EQ(Control("pockets"),
            "pocket 1: ...AKQJT98765432 (13 cards)\n"
            "pocket 2: ..AKQJT98765432. (13 cards)\n"
            "pocket 3: .AKQJT98765432.. (13 cards)\n"
            "pocket 4: AKQJT98765432... (13 cards)\n");
  EXPECT_EQ(Call("SPLIT 13"), 90);
}

TEST_F(SlotLinkTest, MachineComesBackWhenTheProgramRestarts) {
  ASSERT_TRUE(WaitForMachine());
  EXPECT_EQ(Call("STAT"), 0);
  RestartProgram();
  ASSERT_TRUE(WaitForMachine());
  EXPECT_EQ(Call("FIRMWARE"), 0);
  EXPECT_TRUE(LogHas("-- disconnected: the program closed the link"));
}

TEST_F(SlotLinkTest, PulledCableIsNoticedByTheAliveCheck) {
  ASSERT_TRUE(WaitForMachine());
  // The pulled cable fails what is in flight on the link; which of these come depends on timing.
  ExpectTraceLines('W', {"Error in TXDone", "TXDONE BytesTransfered", "Error in RXDone", "IO error",
                         "Error sending command"});
  Control("unplug");
  bool gone = false;
  for (int i = 0; i < 500 && !gone; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    gone = link_->CheckAlive() == 0;
  }
  ASSERT_TRUE(gone);
  DropMachine();
  Control("plug");
  ASSERT_TRUE(WaitForMachine());
  EXPECT_EQ(Call("STAT"), 0);
}

}  // namespace
}  // namespace qsim
