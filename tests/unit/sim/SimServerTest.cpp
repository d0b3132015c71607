#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PacketFormat.h"
#include "SimServer.h"

namespace qsim {
namespace {

// The program's end of a connected pair of slot channels, speaking the packet format directly.
class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto [host, machine] = SlotChannel::Pair();
    ASSERT_NE(host, nullptr);
    host_ = std::move(host);
    server_.Attach(std::move(machine));
  }

  void Send(const PacketRecord& record) {
    std::string why;
    ASSERT_EQ(host_->Send(record.bytes, sizeof record.bytes, &why), SlotChannel::Io::kDone) << why;
  }

  // Everything that has arrived; `closed` tells whether the machine went away.
  std::vector<PacketRecord> Drain(bool* closed = nullptr) {
    std::vector<PacketRecord> packets;
    for (;;) {
      PacketRecord record;
      size_t got = 0;
      std::string why;
      const SlotChannel::Io io = host_->Receive(record.bytes, sizeof record.bytes, &got, &why);
      if (io == SlotChannel::Io::kDone && got == kPacketRecordSize) {
        packets.push_back(record);
        continue;
      }
      if (closed != nullptr) {
        *closed = io == SlotChannel::Io::kClosed;
      }
      return packets;
    }
  }

  std::vector<PacketRecord> Command(const char* text, uint32_t transmission, uint32_t now) {
    Send(MakeHostHeader("operator", transmission));
    Send(MakeCommand(text));
    server_.Pump(now);
    return Drain();
  }

  static std::string Types(const std::vector<PacketRecord>& packets) {
    std::string names;
    for (const PacketRecord& p : packets) {
      if (!names.empty()) {
        names += ' ';
      }
      names += PacketTypeName(p);
    }
    return names;
  }

  static std::string ReplyText(const std::vector<PacketRecord>& packets) {
    std::string text;
    for (const PacketRecord& p : packets) {
      if (PacketTypeOf(p) == PACKET_DATA) {
        text.append(reinterpret_cast<const char*>(DataText(p)), kDataBytesPerPacket);
      }
    }
    return text.substr(0, HeaderReplyLength(packets.front()));
  }

  MachineOptions Options() {
    MachineOptions options;
    options.firmware = "QSIM 2.04 simulated dealer, four pockets, long enough for two packets";
    return options;
  }

  SimState state_{Options()};
  std::vector<std::string> log_;
  SimServer server_{state_, [this](const std::string& line) { log_.push_back(line); }};
  std::unique_ptr<SlotChannel> host_;
};

TEST_F(ServerTest, AliveIsTakenSilently) {
  Send(MakeAlive("operator"));
  server_.Pump(0);
  EXPECT_TRUE(Drain().empty());
  EXPECT_TRUE(log_.empty());
  EXPECT_TRUE(server_.Connected());
}

TEST_F(ServerTest, TextReplyIsHeaderDataAndStatus) {
  const std::vector<PacketRecord> reply = Command("STAT", 7, 0);
  ASSERT_EQ(Types(reply), "H D#00 S");
  EXPECT_EQ(HeaderPacketCount(reply[0]), 1u);
  EXPECT_EQ(HeaderTransmission(reply[0]), 7u);
  EXPECT_EQ(HeaderReplyLength(reply[0]), 5u);
  EXPECT_EQ(ReplyText(reply), "00 OK");
  EXPECT_EQ(StatusCode(reply[2]), 0);
  EXPECT_EQ(log_, (std::vector<std::string>{"<- #7 STAT", "-> #7 00 OK"}));
}

TEST_F(ServerTest, LongReplySpreadsOverNumberedDataPackets) {
  const std::vector<PacketRecord> reply = Command("FIRMWARE", 8, 0);
  ASSERT_EQ(Types(reply), "H D#00 D#01 S");
  EXPECT_EQ(HeaderPacketCount(reply[0]), 2u);
  EXPECT_EQ(ReplyText(reply), "00 " + Options().firmware);
}

TEST_F(ServerTest, SplitIsAnsweredWithAStatusAlone) {
  const std::vector<PacketRecord> reply = Command("SPLIT 13", 9, 0);
  ASSERT_EQ(Types(reply), "S");
  EXPECT_EQ(StatusCode(reply[0]), 0);
  // A refused split carries its reason as text.
  EXPECT_EQ(ReplyText(Command("SPLIT 26", 10, 0)), "01 busy");
}

TEST_F(ServerTest, MalformedReplyFaultsBendOnlyTheNextReply) {
  const struct {
    LinkFault fault;
    const char* command;
    const char* types;
    bool (*check)(const std::vector<PacketRecord>&);
  } cases[] = {
      {LinkFault::kWrongTransmission, "STAT", "H D#00 S",
       [](const std::vector<PacketRecord>& r) { return HeaderTransmission(r[0]) == 19u; }},
      {LinkFault::kSequenceGap, "FIRMWARE", "H D#00 D#02 S",
       [](const std::vector<PacketRecord>&) { return true; }},
      {LinkFault::kSequenceGap, "STAT", "H D#01 S",
       [](const std::vector<PacketRecord>&) { return true; }},
      {LinkFault::kLengthMismatch, "STAT", "H D#00 S",
       [](const std::vector<PacketRecord>& r) {
         return HeaderPacketCount(r[0]) == 1u && HeaderReplyLength(r[0]) == 65u;
       }},
      {LinkFault::kUnexpectedType, "STAT", "H D#00 Q",
       [](const std::vector<PacketRecord>&) { return true; }},
      {LinkFault::kUnexpectedType, "SPLIT 26", "Q",
       [](const std::vector<PacketRecord>&) { return true; }},
  };
  for (const auto& c : cases) {
    state_.link.pending.push_back(c.fault);
    const std::vector<PacketRecord> bent = Command(c.command, 20, 0);
    EXPECT_EQ(Types(bent), c.types) << LinkFaultName(c.fault);
    EXPECT_TRUE(c.check(bent)) << LinkFaultName(c.fault);
    const std::vector<PacketRecord> plain = Command("STAT", 21, 0);
    EXPECT_EQ(Types(plain), "H D#00 S") << LinkFaultName(c.fault);
    EXPECT_EQ(HeaderTransmission(plain[0]), 21u);
  }
}

TEST_F(ServerTest, LateReplyWaitsBeyondTheProgramsPatience) {
  state_.link.pending.push_back(LinkFault::kLateReply);
  state_.link.late_ms = 1500;
  EXPECT_TRUE(Command("STAT", 3, 1000).empty());
  EXPECT_EQ(server_.NextWakeMs(1000), 1500);
  server_.Pump(2499);
  EXPECT_TRUE(Drain().empty());
  server_.Pump(2500);
  EXPECT_EQ(Types(Drain()), "H D#00 S");
}

TEST_F(ServerTest, UnpluggingFaultsCloseTheLinkAndPlugInAgainLater) {
  const struct {
    LinkFault fault;
    const char* types;
  } cases[] = {{LinkFault::kUnplugBeforeReply, ""}, {LinkFault::kUnplugMidReply, "H D#00"}};
  for (const auto& c : cases) {
    host_.reset();
    SetUp();
    state_.link.pending.push_back(c.fault);
    state_.link.replug_ms = 800;
    Send(MakeHostHeader("operator", 4));
    Send(MakeCommand("FIRMWARE"));
    server_.Pump(100);
    bool closed = false;
    EXPECT_EQ(Types(Drain(&closed)), c.types) << LinkFaultName(c.fault);
    EXPECT_TRUE(closed) << LinkFaultName(c.fault);
    EXPECT_FALSE(server_.Connected());
    EXPECT_FALSE(server_.WantsConnection(899));
    EXPECT_EQ(server_.NextWakeMs(500), 400);
    server_.Pump(900);
    EXPECT_TRUE(server_.WantsConnection(900));
  }
}

TEST_F(ServerTest, OperatorUnplugHoldsTheMachineAwayUntilPluggedIn) {
  ASSERT_TRUE(RunControlLine(state_, "unplug", 0).ok);
  server_.Pump(0);
  bool closed = false;
  Drain(&closed);
  EXPECT_TRUE(closed);
  EXPECT_FALSE(server_.WantsConnection(100000));
  ASSERT_TRUE(RunControlLine(state_, "plug", 0).ok);
  EXPECT_TRUE(server_.WantsConnection(0));
}

TEST_F(ServerTest, ProgramGoingAwayDisconnects) {
  host_.reset();
  server_.Pump(0);
  EXPECT_FALSE(server_.Connected());
  EXPECT_TRUE(server_.WantsConnection(0));
  EXPECT_EQ(log_.back(), "-- disconnected: the program closed the link");
}

TEST_F(ServerTest, StrayPacketsComeBetweenTheReplysPackets) {
  state_.link.log_every = 1;
  state_.link.userstatus_every = 2;
  EXPECT_EQ(Types(Command("STAT", 1, 0)), "H L D#00 S");
  EXPECT_EQ(Types(Command("STAT", 2, 0)), "H L U D#00 S");
  EXPECT_EQ(Types(Command("SPLIT 13", 3, 0)), "L S");
}

TEST_F(ServerTest, CommandWithoutHeaderIsIgnored) {
  Send(MakeCommand("STAT"));
  Send(MakePacket(PACKET_F));
  server_.Pump(0);
  EXPECT_TRUE(Drain().empty());
  EXPECT_EQ(log_.size(), 2u);
}

}  // namespace
}  // namespace qsim
