// The command exchange and the alive check against scripted machines.
#include <cstring>

#include "LinkFixture.h"

namespace {

using qplatform::FakeDevice;
using qplatform::FakeFirmware;

class Exchange : public LinkTest {
 protected:
  void SetUp() override {
    machine_ = AddHid("/dev/hidraw0");
    firmware_.Attach(*machine_);
    device_ = Open();
    ASSERT_NE(device_, nullptr);
    trace_.lines.clear();
  }

  // The machine answers the next COMMAND with exactly these packets (built from the
  // transmission number of the HEADER before it).
  void AnswerWith(std::function<std::vector<PacketRecord>(uint32_t transmission)> reply) {
    machine_->on_write = [this, reply](FakeDevice& d, const uint8_t* bytes, uint32_t size) {
      PacketRecord p;
      std::memcpy(p.bytes, bytes, std::min<size_t>(size, kPacketRecordSize));
      if (PacketTypeOf(p) == PACKET_HEADER) transmission_ = HeaderTransmission(p);
      if (PacketTypeOf(p) == PACKET_COMMAND) d.SendPackets(reply(transmission_), 2);
    };
  }

  // Lets whatever a failed exchange left on its way arrive, and drops it.
  void Drain() {
    PacketRecord drop[16];
    device_->Receive(drop, 16, 50, -1);
  }

  int Send(const char* command, uint32_t* length) {
    return device_->SendCommand(command, 1000, reply_, sizeof reply_, length);
  }

  std::shared_ptr<FakeDevice> machine_;
  FakeFirmware firmware_;
  UsbInterface* device_ = nullptr;
  uint32_t transmission_ = 0;
  char reply_[128] = {};
};

TEST_F(Exchange, RepliesOfZeroSixtyAndSixtyOneBytes) {
  for (size_t length : {0u, 60u, 61u}) {
    SCOPED_TRACE(length);
    std::string text(length, 'r');
    if (length > 0) text.back() = 'z';
    firmware_.answer = [&](const std::string&) { return text; };
    std::memset(reply_, '#', sizeof reply_);
    uint32_t got = 99;
    EXPECT_EQ(Send("STAT", &got), 1);
    EXPECT_EQ(got, length);
    EXPECT_EQ(std::string(reply_, got), text);
  }
  EXPECT_EQ(firmware_.commands, (std::vector<std::string>{"STAT", "STAT", "STAT"}));
  EXPECT_TRUE(trace_.Contains('T', "Expecting 1 packets 0 bytes\n"));
  EXPECT_TRUE(trace_.Contains('T', "Expecting 3 packets 61 bytes\n"));
  EXPECT_TRUE(trace_.Contains('T', "ALL OK now extracting 2 packets\n"));
  EXPECT_EQ(ConnectionList().front().ticket, 0u);
}

TEST_F(Exchange, HostPacketsCarryTheTransmissionNumberAndTheCutCommand) {
  const std::string seventy(70, 'c');
  uint32_t got = 0;
  EXPECT_EQ(Send(seventy.c_str(), &got), 1);
  EXPECT_EQ(Send("FIRMWARE", &got), 1);
  const auto written = machine_->WrittenPackets();
  ASSERT_EQ(written.size(), 4u);
  EXPECT_EQ(written[0], MakeHostHeader(LoginName(), 1));
  EXPECT_EQ(CommandText(written[1]), std::string(61, 'c'));
  EXPECT_EQ(HeaderTransmission(written[2]), 2u);
  EXPECT_EQ(CommandText(written[3]), "FIRMWARE");
  EXPECT_EQ(HeaderLoginName(written[0]), std::string(LoginName()).substr(0, 15));
  EXPECT_TRUE(trace_.Contains('T', "Sendcommand FIRMWARE with to = 1000, #2\n"));
}

TEST_F(Exchange, ALoneStatusAnswersTheCommand) {
  AnswerWith([](uint32_t) { return std::vector<PacketRecord>{MakeStatus(0, "")}; });
  uint32_t got = 5;
  EXPECT_EQ(Send("BUTTONSTART OFF", &got), 1);
  EXPECT_EQ(got, 0u);

  AnswerWith([](uint32_t) { return std::vector<PacketRecord>{MakeStatus(3, "Jam")}; });
  EXPECT_EQ(Send("SORT 1", &got), 0);
  EXPECT_TRUE(trace_.Contains('W', "Command response was (3) \"Jam\" \n"));
}

// Replies that must fail, each with its trace line.
TEST_F(Exchange, MalformedRepliesFailWithTheirLine) {
  using Packets = std::vector<PacketRecord>;
  struct Case {
    const char* name;
    std::function<Packets(uint32_t)> reply;
    char level;
    const char* line;
  } cases[] = {
      {"previous transmission number",
       [](uint32_t t) {
         return Packets{MakeReplyHeader(0, t - 1, 0), MakeStatus(0, "")};
       },
       'W', "Wrong transmission number was %X should have been %X\n"},
      {"61 bytes announced in one packet",
       [](uint32_t t) {
         return Packets{MakeReplyHeader(1, t, 61), MakeData(0, "x", 1), MakeStatus(0, "")};
       },
       'W', "Size was 61 packets 1\n"},
      {"status where data belongs",
       [](uint32_t t) {
         return Packets{MakeReplyHeader(1, t, 5), MakeStatus(0, ""), MakeStatus(0, "")};
       },
       'W', "Expected a DATA packet got a S\n"},
      {"data where the status belongs",
       [](uint32_t t) {
         return Packets{MakeReplyHeader(1, t, 5), MakeData(0, "x", 1), MakeData(1, "y", 1)};
       },
       'I', "Expected a STATUS packet got a D#01\n"},
      {"unknown packet type", [](uint32_t) { return Packets{MakePacket(0x1234)}; }, 'W',
       "Unexpected packet type : X(1234)\n"},
      {"buffer too small", [](uint32_t t) { return Packets{MakeReplyHeader(3, t, 150)}; }, 'W',
       "Call buffer too small 128 180\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AnswerWith(c.reply);
    trace_.lines.clear();
    uint32_t got = 77;
    EXPECT_EQ(Send("STAT", &got), 0);
    EXPECT_EQ(got, 0u);
    char expected[128];
    const uint32_t t = device_->TransmissionNumber();
    std::snprintf(expected, sizeof expected, c.line, t - 1, t);
    EXPECT_TRUE(trace_.Contains(c.level, expected)) << expected;
    EXPECT_EQ(ConnectionList().front().ticket, 0u);
    Drain();
  }
}

TEST_F(Exchange, SequenceErrorListsEveryPacket) {
  AnswerWith([](uint32_t t) {
    return std::vector<PacketRecord>{MakeReplyHeader(2, t, 100), MakeData(1, "a", 1),
                                     MakeData(2, "b", 1), MakeStatus(0, "")};
  });
  uint32_t got = 0;
  EXPECT_EQ(Send("STAT", &got), 0);
  EXPECT_TRUE(trace_.Contains('I', "Sequence error\n"));
  const auto info = trace_.Texts('I');
  const auto first = std::find(info.begin(), info.end(), "Sequence error\n");
  ASSERT_NE(first, info.end());
  EXPECT_EQ(std::vector<std::string>(first + 1, info.end()),
            (std::vector<std::string>{"D#01 1\n", "D#02 2\n"}));
}

// A HEADER whose count wraps a 32-bit n x 60 to a small number must not pass the buffer check.
TEST_F(Exchange, HugeCountsAreRefusedBeforeAllocating) {
  struct Case {
    uint32_t n;
    uint32_t length;
    const char* line;
  } cases[] = {
      {71582789u, 0xFFFFFFFFu, "Call buffer too small 128 4294967295\n"},  // 32-bit n*60 = 44
      {0xFFFFFFFFu, 0xFFFFFFFFu, "Call buffer too small 128 4294967295\n"},
  };
  for (const Case& c : cases) {
    AnswerWith(
        [&](uint32_t t) { return std::vector<PacketRecord>{MakeReplyHeader(c.n, t, c.length)}; });
    trace_.lines.clear();
    uint32_t got = 0;
    EXPECT_EQ(Send("STAT", &got), 0);
    EXPECT_TRUE(trace_.Contains('W', c.line));
    EXPECT_FALSE(trace_.Contains('W', "Error allocating temp storage\n"));
  }
  // No buffer at all: only a reply of no DATA packets fits.
  AnswerWith([](uint32_t t) { return MakeReply(t, "01", 2); });
  uint32_t got = 0;
  EXPECT_EQ(device_->SendCommand("STAT", 1000, nullptr, 0, &got), 0);
  EXPECT_TRUE(trace_.Contains('W', "Call buffer too small 0 60\n"));
  Drain();
  AnswerWith([](uint32_t t) { return MakeReply(t, nullptr, 0); });
  EXPECT_EQ(device_->SendCommand("STAT", 1000, nullptr, 0, &got), 1);
  EXPECT_TRUE(trace_.Contains('T', "No replybuffer\n"));
}

TEST_F(Exchange, AnEarlyDataPacketFlushesTheAbandonedReply) {
  // The previous reply's tail arrives late: DATA, STATUS. The exchange meets it first.
  machine_->SendPackets({MakeData(1, "old", 3), MakeStatus(0, "")}, 1);
  uint32_t got = 0;
  EXPECT_EQ(Send("STAT", &got), 0);
  EXPECT_TRUE(trace_.Contains('W', "Unexpected DATA packet #1\n"));
  EXPECT_TRUE(trace_.Contains('I', "Flushed 256 bytes\n"));  // old STATUS + this reply
  EXPECT_TRUE(trace_.Contains('I', "Flushed SHD#00S \n"));
  // The link is in step again.
  firmware_.answer = [](const std::string&) { return std::string("00 OK"); };
  EXPECT_EQ(Send("STAT", &got), 1);
  EXPECT_EQ(std::string(reply_, got), "00 OK");
}

TEST_F(Exchange, SilentMachineTimesOutAndTheNumberMovesOn) {
  machine_->on_write = nullptr;
  uint32_t got = 0;
  const uint32_t start = Now();
  EXPECT_EQ(Send("STAT", &got), 0);
  EXPECT_GE(Now() - start, 1000u);
  EXPECT_LE(Now() - start, 1020u);
  EXPECT_TRUE(trace_.Contains('W', "Error getting reply \n"));
  EXPECT_EQ(device_->TransmissionNumber(), 1u);
  EXPECT_EQ(ConnectionList().front().ticket, 0u);
}

TEST_F(Exchange, UnpluggedMachineFailsTheSend) {
  machine_->Unplug();
  uint32_t got = 0;
  EXPECT_EQ(Send("STAT", &got), 0);
  EXPECT_TRUE(trace_.Contains('W', "Error sending command STAT\n"));
  EXPECT_EQ(device_->CheckAlive(), 0);
  EXPECT_TRUE(trace_.Contains('W', "Error sending command\n"));
  EXPECT_EQ(ConnectionList().front().ticket, 0u);
}

// Tickets belong to machines: the failed waiter's ticket is withdrawn, and (as the release
// always does) every other ticket moves up one.
TEST_F(LinkTest, BusyHardwareLockFailsAndWithdrawsTheTicket) {
  AddHid("/dev/hidraw1", L"00000001");
  AddHid("/dev/hidraw2", L"00000002");
  UsbInterface* holder = Open();
  UsbInterface* waiter = Open();
  ASSERT_NE(waiter, nullptr);
  for (int i = 0; i < 10; ++i) ASSERT_EQ(holder->HardwareLock(), 1);
  char reply[64];
  uint32_t got = 0;
  EXPECT_EQ(waiter->SendCommand("STAT", 1000, reply, sizeof reply, &got), 0);
  EXPECT_TRUE(trace_.Contains('W', "Hardware TO\n"));
  EXPECT_TRUE(hid_.devices[1]->writes.empty());
  EXPECT_EQ(ConnectionList().front().ticket, 9u);
  EXPECT_EQ(ConnectionList().back().ticket, 0u);
  holder->HardwareLock();  // back to 10 held
  EXPECT_EQ(waiter->CheckAlive(), 0);
  EXPECT_EQ(Count('W', "Hardware TO\n"), 2);
  EXPECT_EQ(ConnectionList().back().ticket, 0u);
}

TEST_F(Exchange, CheckAliveSendsTheAlivePacket) {
  trace_.lines.clear();
  EXPECT_EQ(device_->CheckAlive(), 1);
  // Only a bulk machine's input is flushed after it.
  EXPECT_FALSE(trace_.Contains('T', "Flushing receive buffer\n"));
  EXPECT_EQ(firmware_.alive_count, 1);
  const auto written = machine_->WrittenPackets();
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0], MakeAlive(LoginName()));
  EXPECT_EQ(PacketTypeName(written[0]), "X(CCDF)");
}

TEST_F(LinkTest, BulkMachineExchangesAndFlushesAfterAlive) {
  auto machine = bulk_.AddDevice("\\\\?\\usb#vid_1781&pid_0c9f#0001#{101f9e3f}");
  FakeFirmware firmware;
  firmware.answer = [](const std::string& c) { return "00 " + c; };
  firmware.Attach(*machine);
  UsbInterface* device = Open();
  ASSERT_NE(device, nullptr);
  char reply[256];
  uint32_t got = 0;
  EXPECT_EQ(device->SendCommand("SERVICEINFO", 1000, reply, sizeof reply, &got), 1);
  EXPECT_EQ(std::string(reply, got), "00 SERVICEINFO");
  machine->SendPacket(MakeUserStatus(), 1);
  trace_.lines.clear();
  EXPECT_EQ(device->CheckAlive(), 1);
  EXPECT_TRUE(trace_.Contains('T', "Flushing receive buffer\n"));
  EXPECT_TRUE(trace_.Contains('I', "Flushed 64 bytes\n"));
  EXPECT_TRUE(trace_.Contains('I', "Flushed U \n"));
}

}  // namespace
