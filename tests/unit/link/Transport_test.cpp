// Packet transport on HID and bulk machines: time-outs, completions, filtering, failures.
#include <cstring>

#include "LinkFixture.h"

namespace {

using qplatform::FakeDevice;

std::vector<uint8_t> Bytes(const std::vector<PacketRecord>& packets) {
  std::vector<uint8_t> out;
  for (const PacketRecord& p : packets) out.insert(out.end(), p.bytes, p.bytes + kPacketRecordSize);
  return out;
}

class HidTransport : public LinkTest {
 protected:
  void SetUp() override {
    machine_ = AddHid("/dev/hidraw0");
    device_ = Open();
    ASSERT_NE(device_, nullptr);
    trace_.lines.clear();
  }
  std::shared_ptr<FakeDevice> machine_;
  UsbInterface* device_ = nullptr;
};

TEST_F(LinkTest, SendBufferTimeOutFollowsTheCount) {
  const PacketRecord packets[2] = {MakeAlive("u"), MakeAlive("u")};
  for (const auto& [count, allowed] : {std::pair{2, 1006u}, std::pair{1, 1003u}}) {
    SCOPED_TRACE(count);
    AddHid("/dev/hidraw" + std::to_string(count), count == 2 ? L"00000002" : L"00000001")
        ->writes_stall = true;
    UsbInterface* device = Open();
    ASSERT_NE(device, nullptr);
    const uint32_t start = Now();
    EXPECT_EQ(device->SendBuffer(packets, count, -1, -1), 0);
    EXPECT_EQ(Now() - start, allowed);
    EXPECT_TRUE(trace_.Contains('W', "Timeout in Sendbuffer\n"));
  }
  EXPECT_TRUE(trace_.Contains('T', "SendBuffer with 2 packets and -1 timeout\n"));
}

TEST_F(HidTransport, SendBufferWritesEveryRecordInOrder) {
  const PacketRecord packets[3] = {MakeHostHeader("u", 7), MakeCommand("STAT"), MakeAlive("u")};
  EXPECT_EQ(device_->SendBuffer(packets, 3, -1, -1), 1);
  EXPECT_EQ(machine_->WrittenPackets(),
            (std::vector<PacketRecord>{packets[0], packets[1], packets[2]}));
  EXPECT_TRUE(trace_.Contains('T', "TX Buffer empty - done\n"));
}

TEST_F(HidTransport, WriteCompletionFailuresEndTheSend) {
  struct Case {
    const char* name;
    void (*setup)(FakeDevice&);
    std::vector<std::string> warnings;
  } cases[] = {
      {"error",
       [](FakeDevice& d) { d.write_error = LinkError::kDeviceNotConnected; },
       {"Error in TXDone: 1167\n", "IO error\n"}},
      {"short",
       [](FakeDevice& d) { d.write_bytes = 64; },
       {"TXDONE BytesTransfered was 64\n", "IO error\n"}},
      {"refused",
       [](FakeDevice& d) { d.refuse_write_start = true; },
       {"WriteFileEx call failed\n"}},
  };
  const PacketRecord packet = MakeAlive("u");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    machine_->write_error = LinkError::kSuccess;
    machine_->write_bytes = -1;
    machine_->refuse_write_start = false;
    c.setup(*machine_);
    trace_.lines.clear();
    EXPECT_EQ(device_->SendBuffer(&packet, 1, -1, -1), 0);
    EXPECT_EQ(trace_.Texts('W'), c.warnings);
  }
}

TEST_F(HidTransport, RecordsLeftBehindByARefusedWriteGoFirstNextTime) {
  machine_->refuse_write_start = true;
  const PacketRecord old_packets[2] = {MakeCommand("OLD1"), MakeCommand("OLD2")};
  EXPECT_EQ(device_->SendBuffer(old_packets, 2, -1, -1), 0);
  machine_->refuse_write_start = false;
  const PacketRecord fresh = MakeCommand("NEW");
  EXPECT_EQ(device_->SendBuffer(&fresh, 1, -1, -1), 1);
  EXPECT_TRUE(trace_.Contains('W', "Send buffer is not empty\n"));
  const auto written = machine_->WrittenPackets();
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(CommandText(written[0]), "OLD2");
  EXPECT_EQ(CommandText(written[1]), "NEW");
}

// The record of a write the device has not taken yet stays as it is until the write finishes;
// the next send's packets wait behind it.
TEST_F(HidTransport, ASendAfterATimedOutSendLeavesThePendingWriteItsRecord) {
  machine_->writes_stall = true;
  const PacketRecord first = MakeCommand("FIRST");
  EXPECT_EQ(device_->SendBuffer(&first, 1, -1, -1), 0);
  EXPECT_EQ(trace_.Texts('W'), (std::vector<std::string>{"Timeout in Sendbuffer\n"}));
  machine_->writes_stall = false;
  const PacketRecord second = MakeCommand("SECOND");
  EXPECT_EQ(device_->SendBuffer(&second, 1, -1, -1), 1);
  const auto written = machine_->WrittenPackets();
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(CommandText(written[0]), "FIRST");
  EXPECT_EQ(CommandText(written[1]), "SECOND");
  EXPECT_EQ(trace_.Texts('W'), (std::vector<std::string>{"Timeout in Sendbuffer\n"}));
}

// A count of no packets (or fewer) leaves the caller's array and the waiting packets alone.
TEST_F(HidTransport, ReceiveOfNoPacketsWritesNothing) {
  const PacketRecord canary = MakeCommand("CANARY");
  for (const auto& [count, result] : {std::pair{0, 1}, std::pair{-1, 0}, std::pair{-7, 0}}) {
    SCOPED_TRACE(count);
    machine_->SendPackets({MakeData(0, "a", 1), MakeData(1, "b", 1)});
    for (int i = 0; i < 10 && device_->RxQueued() < 2; ++i) qclock::SleepEx(1, true);
    ASSERT_EQ(device_->RxQueued(), 2u);
    PacketRecord records[3] = {canary, canary, canary};
    EXPECT_EQ(device_->Receive(records + 1, count, -1, -1), result);
    for (const PacketRecord& r : records) EXPECT_EQ(r, canary);
    EXPECT_EQ(device_->RxQueued(), 2u);
    device_->FlushReceive();
  }
}

TEST_F(HidTransport, ReceiveGivesUpAtItsTimeOut) {
  PacketRecord packet;
  const uint32_t start = Now();
  EXPECT_EQ(device_->Receive(&packet, 1, 1000, -1), 0);
  EXPECT_GE(Now() - start, 1000u);
  EXPECT_LE(Now() - start, 1001u);
  EXPECT_TRUE(trace_.Contains('T', "Receiving 1 packets 1000 -1\n"));
  EXPECT_TRUE(trace_.Contains('T', "Timeout got 0 of 1 packets\n"));
  EXPECT_TRUE(trace_.Contains('W', "Timeout got 0 of 1 packets\n"));
}

TEST_F(HidTransport, ReceiveWithDefaultTimeOutAllowsThreeMsAPacket) {
  PacketRecord packets[10];
  const uint32_t start = Now();
  EXPECT_EQ(device_->Receive(packets, 10, -1, -1), 0);
  EXPECT_GE(Now() - start, 1030u);
  EXPECT_LE(Now() - start, 1031u);
}

TEST_F(HidTransport, LogAndUserStatusDoNotCount) {
  machine_->SendPackets(
      {MakeData(0, "a", 1), MakeLog("firmware says hi"), MakeUserStatus(), MakeData(1, "b", 1)}, 5);
  PacketRecord packets[2];
  EXPECT_EQ(device_->Receive(packets, 2, 1000, -1), 1);
  EXPECT_EQ(DataSequence(packets[0]), 0);
  EXPECT_EQ(DataSequence(packets[1]), 1);
  EXPECT_EQ(Count('T', "Got userstatus\n"), 1);
  EXPECT_TRUE(trace_.Contains('T', "Got all packets\n"));
  EXPECT_EQ(device_->RxQueued(), 0u);
}

TEST_F(HidTransport, OneCompletionOf130BytesGivesTwoRecords) {
  machine_->SendPacket(MakeData(0, "a", 1), 1);  // the first read asks for one record
  machine_->SendAt(Now() + 2, Bytes({MakeData(1, "b", 1), MakeData(2, "c", 1)}));
  PacketRecord packets[3];
  EXPECT_EQ(device_->Receive(packets, 3, 1000, -1), 1);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(DataSequence(packets[i]), i);
  EXPECT_TRUE(device_->ReadPending());
}

TEST_F(HidTransport, ACompletionOf100BytesStopsTheLink) {
  machine_->SendPacket(MakeData(0, "a", 1), 1);
  machine_->SendAt(Now() + 2, std::vector<uint8_t>(100, 0));
  machine_->SendPacket(MakeData(1, "b", 1), 3);
  PacketRecord packets[2];
  EXPECT_EQ(device_->Receive(packets, 2, 1000, -1), 0);
  EXPECT_TRUE(trace_.Contains('W', "RXDONE BytesTransfered was 100 expected 65\n"));
  EXPECT_TRUE(trace_.Contains('W', "IO err\n"));
  EXPECT_FALSE(device_->ReadPending());
  // Nothing more arrives: no read is pending.
  EXPECT_EQ(device_->Receive(packets, 1, 100, -1), 0);
  EXPECT_EQ(device_->RxQueued(), 0u);
}

TEST_F(HidTransport, ReadErrorsAreCountedExcept317) {
  machine_->FailReadAt(Now() + 1, LinkError::kMessageNotFound);
  PacketRecord packet;
  EXPECT_EQ(device_->Receive(&packet, 1, 100, -1), 0);
  EXPECT_TRUE(trace_.Contains('W', "Error in RXDone: 317\n"));
  EXPECT_FALSE(trace_.Contains('W', "IO err\n"));
  EXPECT_FALSE(device_->ReadPending());
}

TEST_F(HidTransport, UnplugDuringReceiveFails) {
  machine_->Unplug();
  PacketRecord packet;
  EXPECT_EQ(device_->Receive(&packet, 1, 1000, -1), 0);
  EXPECT_TRUE(trace_.Contains('W', "Error in RXDone: 1167\n"));
  EXPECT_TRUE(trace_.Contains('W', "IO err\n"));
  // A write is refused at once.
  const PacketRecord alive = MakeAlive("u");
  EXPECT_EQ(device_->SendBuffer(&alive, 1, -1, -1), 0);
  EXPECT_TRUE(trace_.Contains('W', "WriteFileEx call failed\n"));
}

TEST_F(HidTransport, AReadThatFailedBeforeTheReceiveFailsItAtOnce) {
  // The reply's read fails while the command is still being sent: no next read was started,
  // so the receive must not wait out its time-out for packets that cannot come.
  machine_->FailReadAt(Now() + 1, LinkError::kDeviceNotConnected);
  qclock::SleepEx(5, true);
  PacketRecord packet;
  const uint32_t start = Now();
  EXPECT_EQ(device_->Receive(&packet, 1, 1000, -1), 0);
  EXPECT_LT(Now() - start, 20u);
  EXPECT_TRUE(trace_.Contains('W', "IO err\n"));
  EXPECT_FALSE(trace_.Contains('W', "Timeout got 0 of 1 packets\n"));
}

TEST_F(HidTransport, PacketsArrivingAtTheTimeOutAreDroppedAndNamed) {
  machine_->SendPacket(MakeData(0, "a", 1), 50);
  machine_->SendPacket(MakeData(1, "b", 1), 100);
  PacketRecord packets[2];
  EXPECT_EQ(device_->Receive(packets, 2, 100, -1), 0);
  EXPECT_TRUE(trace_.Contains('W', "Timeout got 1 of 2 packets\n"));
  EXPECT_TRUE(trace_.Contains('T', "Another packet has arrived\n"));
  EXPECT_TRUE(trace_.Contains('I', "Another packet has arrived\n"));
  EXPECT_TRUE(trace_.Contains('I', "Another packet has arrived D#01\n"));
  EXPECT_EQ(device_->RxQueued(), 0u);
}

TEST_F(HidTransport, APacketTimeOutEndsTheWaitEarly) {
  machine_->SendPacket(MakeData(0, "a", 1), 10);
  PacketRecord packets[2];
  const uint32_t start = Now();
  EXPECT_EQ(device_->Receive(packets, 2, 1000, 50), 0);
  EXPECT_TRUE(trace_.Contains('T', "Packet timeout at 1 of 2 packets\n"));
  EXPECT_TRUE(trace_.Contains('I', "Packet timeout at 1 of 2 packets\n"));
  EXPECT_LT(Now() - start, 100u);
}

class BulkTransport : public LinkTest {
 protected:
  void SetUp() override {
    machine_ = bulk_.AddDevice("\\\\?\\usb#vid_1781&pid_0c9f#0001#{101f9e3f}");
    device_ = Open();
    ASSERT_NE(device_, nullptr);
    trace_.lines.clear();
  }
  std::shared_ptr<FakeDevice> machine_;
  UsbInterface* device_ = nullptr;
};

TEST_F(BulkTransport, WritesGoInChunksOfSixteenWithoutReportIds) {
  std::vector<PacketRecord> packets;
  for (int i = 0; i < 20; ++i) packets.push_back(MakeData(static_cast<uint16_t>(i), "x", 1));
  EXPECT_EQ(device_->SendBuffer(packets.data(), 20, -1, -1), 1);
  ASSERT_EQ(machine_->writes.size(), 2u);
  EXPECT_EQ(machine_->writes[0].size(), 1024u);
  EXPECT_EQ(machine_->writes[1].size(), 256u);
  EXPECT_EQ(machine_->WrittenPackets(), packets);
  EXPECT_EQ(Count('I', "Direct write\n"), 2);
  EXPECT_TRUE(trace_.Contains('T', "W(0020):001024 bytes -- 001024 bytes written\n"));
  EXPECT_TRUE(trace_.Contains('T', "W(0020):000256 bytes -- 000256 bytes written\n"));
}

TEST_F(BulkTransport, PendingWriteIsWaitedFor) {
  machine_->write_latency = 25;
  const PacketRecord packet = MakeAlive("u");
  EXPECT_EQ(device_->SendBuffer(&packet, 1, -1, -1), 1);
  EXPECT_FALSE(trace_.Contains('I', "Direct write\n"));
}

TEST_F(BulkTransport, StalledWriteFailsOnlyAfterTheGrace) {
  machine_->writes_stall = true;
  const PacketRecord packet = MakeAlive("u");
  const uint32_t start = Now();
  EXPECT_EQ(device_->SendBuffer(&packet, 1, -1, -1), 0);
  EXPECT_GE(Now() - start, 51003u);
  EXPECT_LT(Now() - start, 51013u);
  EXPECT_TRUE(trace_.Contains('T', "Global timeout at 0 of 1 packets\n"));
}

TEST_F(BulkTransport, WriteFailuresAreReported) {
  machine_->write_error = LinkError::kGenFailure;
  const PacketRecord packet = MakeAlive("u");
  EXPECT_EQ(device_->SendBuffer(&packet, 1, -1, -1), 0);
  EXPECT_TRUE(trace_.Contains('W', "Write failed 31\n"));
  machine_->write_error = LinkError::kSuccess;
  machine_->write_bytes = 10;
  EXPECT_EQ(device_->SendBuffer(&packet, 1, -1, -1), 0);
  EXPECT_TRUE(trace_.Contains('W', "Written != WriteLen\n"));
}

TEST_F(BulkTransport, ReceiveDropsLogAndUserStatusUnits) {
  machine_->SendPackets({MakeData(0, "a", 1), MakeLog("x"), MakeUserStatus(), MakeData(1, "b", 1)},
                        5);
  PacketRecord packets[2];
  EXPECT_EQ(device_->Receive(packets, 2, -1, -1), 1);
  EXPECT_EQ(DataSequence(packets[1]), 1);
  EXPECT_EQ(packets[1][0], 0);
  EXPECT_TRUE(trace_.Contains('T', "Got userstatus -bulk \n"));
  EXPECT_TRUE(trace_.Contains('T', "Reading 128 bytes\n"));
  EXPECT_TRUE(trace_.Contains('T', "Reading 64 bytes\n"));
}

TEST_F(BulkTransport, ReceiveFailsOnlyAfterTheGrace) {
  PacketRecord packet;
  const uint32_t start = Now();
  EXPECT_EQ(device_->Receive(&packet, 1, 1000, -1), 0);
  EXPECT_GE(Now() - start, 51000u);
  EXPECT_LT(Now() - start, 51010u);
  EXPECT_TRUE(trace_.Contains('W', "Global timeout at 1 of 1 packets\n"));
  EXPECT_TRUE(trace_.Contains('W', "Fail in receive buffer\n"));
}

TEST_F(BulkTransport, ReadErrorsFailTheReceive) {
  machine_->FailReadAt(Now() + 5, LinkError::kDeviceNotConnected);
  PacketRecord packet;
  EXPECT_EQ(device_->Receive(&packet, 1, 1000, -1), 0);
  EXPECT_TRUE(trace_.Contains('W', "Read fail (1167)\n"));
  EXPECT_TRUE(trace_.Contains('W', "Fail in receive buffer\n"));
}

TEST_F(LinkTest, BulkInitFlushesStaleInput) {
  auto machine = bulk_.AddDevice("\\\\?\\usb#vid_1781&pid_0c9f#0001#{101f9e3f}");
  machine->SendPackets(MakeReply(3, "01 busy", 7));
  UsbInterface* device = Open();
  ASSERT_NE(device, nullptr);
  EXPECT_TRUE(trace_.Contains('I', "Flushed 192 bytes\n"));
  EXPECT_TRUE(trace_.Contains('I', "Flushed HD#00S \n"));
  EXPECT_TRUE(trace_.Contains('T', "Global timeout\n"));
  EXPECT_TRUE(machine->incoming.empty());
}

}  // namespace

// The open check stands once above both transports: a machine never opened, or closed, refuses
// every transfer the same way whatever its kind, and says so as the log always did.
TEST_F(LinkTest, AClosedMachineRefusesEveryTransferWhateverItsKind) {
  enum class Kind { kNeverOpened, kHid, kBulk };
  for (const Kind kind : {Kind::kNeverOpened, Kind::kHid, Kind::kBulk}) {
    SCOPED_TRACE(static_cast<int>(kind));
    if (kind == Kind::kHid) AddHid("/dev/hidraw3");
    if (kind == Kind::kBulk) bulk_.AddDevice("\\\\?\\usb#vid_1781&pid_0c9f#0003#{x}");
    UsbInterface* device =
        kind == Kind::kNeverOpened ? new UsbInterface(ConnectionRecord{}) : FindDevice(0);
    ASSERT_NE(device, nullptr);
    Own(device);
    EXPECT_EQ(device->IsBulk(), kind == Kind::kBulk);
    device->CloseDevice();
    trace_.lines.clear();
    const PacketRecord packet = MakeAlive("operator");
    PacketRecord in;
    EXPECT_EQ(device->SendBuffer(&packet, 1, -1, -1), 0);
    EXPECT_EQ(LastFailure().error, LinkError::kInvalidHandle);
    EXPECT_EQ(device->Receive(&in, 1, 100, -1), 0);
    EXPECT_EQ(trace_.Texts('W'), std::vector<std::string>{"Handle is rotten 4294967295\n"});
    EXPECT_EQ(trace_.Texts('I'), std::vector<std::string>{"Handle is rotten \n"});
    Destroy(device);
    hid_.devices.clear();
    bulk_.devices.clear();
  }
}
