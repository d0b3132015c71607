// The emulator link end to end, the cases every system shares: real slots, the real clock, a
// scripted machine on a thread (EmulatorFixture.h).
#include <cstring>

#include "EmulatorFixture.h"
#include "MachineList.h"

namespace {

using qplatform::EmulatorLink;

TEST_F(EmulatorLinkTest, AConnectedMachineIsFoundAndAnswers) {
  EXPECT_EQ(Find(), nullptr);  // creates the slots
  const auto machine = Plug(3);
  UsbInterface* device = Find();
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->Id(), 45u);
  EXPECT_FALSE(device->IsBulk());
  EXPECT_TRUE(trace_.Contains('T', "Found EMU device(s)\n"));
  EXPECT_TRUE(trace_.Contains('T', "Init on a Interrupt device\n"));

  for (const char* command : {"FIRMWARE", "SERVICEINFO", "STAT"}) {
    char reply[256];
    uint32_t got = 0;
    ASSERT_EQ(device->SendCommand(command, 1000, reply, sizeof reply, &got), 1) << command;
    EXPECT_EQ(std::string(reply, got), std::string("00 ") + command);
  }
  EXPECT_TRUE(trace_.Contains('T', "Got userstatus\n"));
  EXPECT_EQ(device->CheckAlive(), 1);
}

TEST_F(EmulatorLinkTest, AMachineThatHangsUpIsDroppedAndItsSlotServesAgain) {
  EXPECT_EQ(Find(), nullptr);
  auto machine = Plug(0);
  UsbInterface* device = Find();
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->Id(), 42u);
  machine.reset();  // hangs up
  EXPECT_EQ(device->CheckAlive(), 0);
  EXPECT_TRUE(trace_.Contains('W', "Error sending command\n"));
  Destroy(device);

  EXPECT_EQ(Find(), nullptr);
  EXPECT_TRUE(trace_.Contains('T', "Peek 0 fail\n"));
  machine = Plug(0);
  device = Find();
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->Id(), 42u);
  char reply[64];
  uint32_t got = 0;
  EXPECT_EQ(device->SendCommand("STAT", 1000, reply, sizeof reply, &got), 1);
}

TEST_F(EmulatorLinkTest, AMessageThatIsNotARecordStopsTheLink) {
  EXPECT_EQ(Find(), nullptr);
  const auto machine = Plug(1);
  UsbInterface* device = Find();
  ASSERT_NE(device, nullptr);
  const char stray[30] = "not a packet record";
  machine->SendRaw(stray, sizeof stray);
  PacketRecord packet;
  EXPECT_EQ(device->Receive(&packet, 1, 200, -1), 0);
  EXPECT_TRUE(trace_.Contains('W', "RXDONE BytesTransfered was 30 expected 65\n"));
  EXPECT_FALSE(device->ReadPending());
}

// Another program serving the same slots (quadrelle-cmd -emulator while the dialog holds a
// machine) sees them held: it never connects, so it never blocks on a full queue and leaves no
// connection that would later pose as a machine.
TEST_F(EmulatorLinkTest, ASecondProgramSeesHeldSlotsWithoutConnecting) {
  EXPECT_EQ(Find(), nullptr);
  auto machine = Plug(0);
  UsbInterface* device = Find();
  ASSERT_NE(device, nullptr);
  auto other_program_looks = [&] {
    EmulatorLink other(dir_);
    for (int slot : {0, 1}) {
      qsys::SysError error;
      EXPECT_EQ(other.Listen(slot, &error), EmulatorLink::ListenResult::kOpenFailed);
      EXPECT_EQ(error.fault, HeldSlotError().fault);
      EXPECT_EQ(error.number, HeldSlotError().number);
    }
  };
  other_program_looks();
  // The machine goes; the slot takes the next client, and there is none: the other program's
  // look left nothing behind.
  machine.reset();
  EXPECT_EQ(device->CheckAlive(), 0);
  ExpectTraceLine('W', "Error sending command\n");
  Destroy(device);
  ASSERT_EQ(Find(), nullptr);
  ASSERT_EQ(Find(), nullptr);
  EXPECT_TRUE(trace_.Contains('T', "Peek 0 fail\n"));
  // However often it looks, it never waits on a queue that nobody empties.
  for (int run = 0; run < 3; ++run) other_program_looks();

  // An ended program's slots are free again.
  emulator_.reset();
  EmulatorLink after(dir_);
  qsys::SysError error;
  EXPECT_EQ(after.Listen(0, &error), EmulatorLink::ListenResult::kListening);
}

// Two copies on one computer: each bound copy serves only its own slot, and no copy takes a
// slot another one already serves.
TEST_F(EmulatorLinkTest, BoundCopiesShareTheSlotsOnePerMachine) {
  EmulatorLink other_copy(dir_);
  EXPECT_EQ(FindDevice(0, MachineFilter("45")), nullptr);
  for (int slot = 0; slot < EmulatorLink::kSlots; ++slot) {
    EXPECT_EQ(emulator_->Listening(slot), slot == 3) << slot;
  }
  qsys::SysError error;
  EXPECT_EQ(other_copy.Listen(0, &error), EmulatorLink::ListenResult::kListening);

  const auto ours = Plug(3);
  SlotMachine theirs(other_copy.SlotPath(0), EchoReplies);
  ASSERT_TRUE(theirs.WaitConnected());
  UsbInterface* device = FindDevice(0, MachineFilter("45"));
  ASSERT_NE(device, nullptr);
  owned_.push_back(device);
  EXPECT_EQ(device->Id(), 45u);
  // A copy without a machine of its own serves the rest but never the other copy's slot.
  EXPECT_EQ(FindDevice(0), nullptr);
  EXPECT_FALSE(emulator_->Listening(0));
  EXPECT_TRUE(emulator_->Listening(9));
  EXPECT_TRUE(other_copy.Peek(0, &error));
}

// The list shows a slot another copy serves as held, without connecting to it, and a machine
// waiting on a free slot as free; the slot is given up again afterwards.
TEST_F(EmulatorLinkTest, TheListShowsServedSlotsHeldAndWaitingMachinesFree) {
  EmulatorLink other_copy(dir_);
  qsys::SysError error;
  ASSERT_EQ(other_copy.Listen(0, &error), EmulatorLink::ListenResult::kListening);
  EXPECT_TRUE(SocketListened(other_copy.SlotPath(0)));
  EXPECT_FALSE(SocketListened(other_copy.SlotPath(1)));
  ASSERT_EQ(emulator_->Listen(2, &error), EmulatorLink::ListenResult::kListening);
  const auto waiting = Plug(2);

  std::vector<std::string> lines;
  for (const MachineListing& machine : ListMachines(100)) lines.push_back(ListingLine(machine));
  EXPECT_EQ(lines,
            (std::vector<std::string>{"42\temulator\t" + emulator_->SlotPath(0) + "\t-\theld",
                                      "44\temulator\t" + emulator_->SlotPath(2) + "\t-\tfree"}));
  EXPECT_FALSE(other_copy.Peek(0, &error));  // never probed
  EXPECT_FALSE(emulator_->InUse(2));
  EXPECT_TRUE(ConnectionList().empty());
}

}  // namespace
