// Faults of the USB side through the real paths: the machine unplugged in the middle of a
// reply, a device that stops taking writes, reads that complete short, a reply spread over
// several transfers, a cancel that races a completion.
#include <chrono>
#include <map>
#include <thread>

#include "TraceGuard.h"
#include "UsbRig.h"

namespace usbemu {
namespace {

// The W and C lines a capture took, in order, as "W text".
std::vector<std::string> Warnings(const TraceCapture& trace) {
  std::vector<std::string> out;
  for (const TraceLine& line : trace.lines) {
    if (line.level == 'W' || line.level == 'C')
      out.push_back(std::string(1, line.level) + " " + line.text);
  }
  return out;
}

class Faults : public OneMachineRig {
 protected:
  bool Hid() const { return GetParam() == Path::kHid; }
  BulkMachine& Bulk() { return static_cast<BulkMachine&>(*machine_); }
  HidMachine& HidDevice() { return static_cast<HidMachine&>(*machine_); }
};

TEST_P(Faults, UnplugInTheMiddleOfAReply) {
  // The reply's HEADER and first DATA packet come, then the cable is pulled.
  machine_->WithFirmware([](qsim::SimState& state) {
    state.link.pending.push_back(qsim::LinkFault::kUnplugMidReply);
  });
  TraceCapture trace;
  bool ok = true;
  EXPECT_EQ(Command(device_, "FIRMWARE", &ok), "");
  EXPECT_FALSE(ok);
  EXPECT_EQ(device_->CheckAlive(), 0);
  if (Hid()) {
    // The read that brought the two packets could not start the next. Which wait of the link
    // sees that first (the send's, if the writer thread's completion comes late, or the
    // receive's) is the scheduler's choice: the first and last lines are not.
    const std::vector<std::string> warnings = Warnings(trace);
    ASSERT_GE(warnings.size(), 2u);
    EXPECT_EQ(warnings.front(), "W RxDone error\n");
    EXPECT_EQ(warnings.back(), "W Error sending command\n");
    // No wait was sat out for packets that could no longer come.
    for (const std::string& line : warnings) EXPECT_NE(line.rfind("W Timeout got", 0), 0u);
  } else {
    // The read failed (at high speed both packets came in one USB packet, so the next read
    // could not even start).
    const std::map<Path, std::vector<std::string>> lines = {
        {Path::kBulkFullSpeed,
         {"W Read fail (1167)\n", "W Fail in receive buffer\n", "W Write failed 1167\n",
          "W Error sending command\n"}},
        {Path::kBulkHighSpeed,
         {"W Read failed 1167\n", "W Fail in receive buffer\n", "W Write failed 1167\n",
          "W Error sending command\n"}},
    };
    EXPECT_EQ(Warnings(trace), lines.at(GetParam()));
    EXPECT_TRUE(trace.Contains('I', "Error receiving\n"));
  }

  // The dialog drops the machine; it is gone from the search until it is plugged in again.
  Destroy(device_);
  ASSERT_TRUE(machine_->WaitUntilUnplugged());
  EXPECT_EQ(FindDevice(0), nullptr);
  machine_->Plug();
  device_ = Open();
  ASSERT_NE(device_, nullptr);
  EXPECT_EQ(Command(device_, "FIRMWARE"), "00 QSIM 2.04 simulated dealer");
}

TEST_P(Faults, ADeviceThatStopsTakingWrites) {
  if (Hid()) {
    // usbhid gives a report the device does not take back after its time-out of 5 s.
    HidDevice().RefuseWrites(true);
  } else {
    Bulk().RefuseWrites(true);
  }
  JumpWhenStalled(*machine_, 60000);  // the link's time-out passes at once
  const int discards = Hid() ? 0 : Bulk().Discards();
  TraceCapture trace;
  bool ok = true;
  Command(device_, "STAT", &ok);
  EXPECT_FALSE(ok);
  if (Hid()) {
    // The send gave up on its own time-out while the device still held the report: the link's
    // thread never waited for the write itself.
    EXPECT_EQ(HidDevice().HeldWrites(), 1);
    EXPECT_EQ(Warnings(trace), (std::vector<std::string>{"W Timeout in Sendbuffer\n",
                                                         "W Error sending command STAT\n"}));
  } else {
    // The write given up on was cancelled and given back before its buffer went.
    EXPECT_EQ(Bulk().OutUrbsInFlight(), 0);
    EXPECT_EQ(Bulk().Discards() - discards, 1);
    EXPECT_EQ(Warnings(trace), (std::vector<std::string>{"W Error sending command STAT\n"}));
    EXPECT_TRUE(trace.Contains('T', "Packet timeout at 0 of 2 packets\n"));
  }

  // The device takes writes again.
  if (Hid()) {
    // The dialog drops the machine and finds it again at once: the lock went with the handle,
    // though the kernel still holds the dropped handle's report.
    Destroy(device_);
    device_ = Open();
    ASSERT_NE(device_, nullptr);
    EXPECT_EQ(HidDevice().HeldWrites(), 1);
    HidDevice().RefuseWrites(false);
  } else {
    Bulk().RefuseWrites(false);
  }
  EXPECT_EQ(Command(device_, "STAT"), "00 OK");
  EXPECT_EQ(Command(device_, "FIRMWARE"), "00 QSIM 2.04 simulated dealer");
}

TEST_P(Faults, ReadsThatCompleteShort) {
  if (Hid()) {
    HidDevice().ShortStatus(true);  // the closing STATUS as an 8-byte report
  } else {
    Bulk().ShortTransfers(true);  // a zero-length packet after every packet
  }
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Command(device_, "STAT"), "00 OK");
    EXPECT_EQ(Command(device_, "SERVICEINFO"), "00 0,0,0,0,0,0");
  }
  EXPECT_EQ(device_->CheckAlive(), 1);
}

TEST_P(Faults, AReplySpreadOverSeveralTransfers) {
  if (Hid()) {
    HidDevice().Spread(15);
  } else {
    Bulk().Spread(15);
  }
  const int before = Hid() ? 0 : Bulk().InCompletions();
  EXPECT_EQ(Command(device_, "FIRMWARE"), "00 QSIM 2.04 simulated dealer");
  EXPECT_EQ(Command(device_, "STAT"), "00 OK");
  // At high speed each packet ends its transfer (a short USB packet), so every reply took three
  // reads; at full speed a read goes on filling across packets until it has what it asked for.
  if (GetParam() == Path::kBulkHighSpeed) {
    EXPECT_EQ(Bulk().InCompletions() - before, 6);
  } else if (GetParam() == Path::kBulkFullSpeed) {
    EXPECT_EQ(Bulk().InCompletions() - before, 4);
  }
}

INSTANTIATE_TEST_SUITE_P(EachPath, Faults,
                         ::testing::Values(Path::kHid, Path::kBulkFullSpeed, Path::kBulkHighSpeed),
                         [](const ::testing::TestParamInfo<Path>& info) {
                           return std::string(PathName(info.param));
                         });

// A read that completes just as it is cancelled: the reply's STATUS is held back until the
// read's time-out, and the data already in the URB arrives as the link cancels it.
TEST_F(UsbRig, ACancelThatRacesACompletion) {
  BulkMachine& machine = AddBulk(BulkIdentity(), false);
  UsbInterface* device = Open();
  ASSERT_NE(device, nullptr);
  machine.HoldStatus(true);
  machine.CompleteOnDiscard(true);
  JumpWhenStalled(machine, 60000);
  TraceCapture trace;
  bool ok = true;
  Command(device, "FIRMWARE", &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(Warnings(trace), (std::vector<std::string>{"W Packet timeout at 2 of 2 packets\n",
                                                       "W Fail in receive buffer\n"}));
  // Nothing was submitted again into memory the link has let go of.
  EXPECT_EQ(machine.InUrbsInFlight(), 0);

  // The rest of the abandoned reply arrives; the next alive check flushes it and the machine
  // answers again.
  machine.HoldStatus(false);
  EXPECT_EQ(device->CheckAlive(), 1);
  EXPECT_TRUE(trace.Contains('I', "Flushed 128 bytes\n"));
  EXPECT_EQ(Command(device, "STAT"), "00 OK");
}

}  // namespace
}  // namespace usbemu
