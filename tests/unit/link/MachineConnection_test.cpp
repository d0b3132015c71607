// The connection cycle (search, client init, alive check, drop) and the link's last failure.
#include "MachineConnection.h"

#include <cstring>
#include <functional>

#include "LinkFixture.h"

namespace {

using qplatform::FakeDevice;
using Step = MachineConnection::Step;

// Writes down what the owner is told, and what the link looked like at that moment.
class Recorder : public MachineConnection::Observer {
 public:
  explicit Recorder(const MachineConnection& connection) : connection_(connection) {}
  void OnSearching() override { calls += "search "; }
  void OnFound() override {
    // Told before the reading is armed, so the owner's line stands before "ClientInit".
    calls += connection_.Link()->IsClientInitialised() ? "found(armed) " : "found ";
  }
  void OnAlive() override { calls += "alive "; }
  void OnGone() override {
    // Told while the machine is still open, so the owner's line stands before the close.
    calls += ConnectionList().empty() ? "gone(closed) " : "gone ";
  }
  void OnHeldChanged(bool held) override { calls += held ? "held " : "none "; }
  std::string calls;

 private:
  const MachineConnection& connection_;
};

class Connection : public LinkTest {
 protected:
  // The machine answers every COMMAND with exactly these packets.
  void AnswerWith(FakeDevice& machine, std::function<std::vector<PacketRecord>(uint32_t)> reply) {
    machine.on_write = [this, reply](FakeDevice& d, const uint8_t* bytes, uint32_t size) {
      PacketRecord p;
      std::memcpy(p.bytes, bytes, std::min<size_t>(size, kPacketRecordSize));
      if (PacketTypeOf(p) == PACKET_HEADER) transmission_ = HeaderTransmission(p);
      if (PacketTypeOf(p) == PACKET_COMMAND) d.SendPackets(reply(transmission_), 2);
    };
  }

  int Send(UsbInterface* link) {
    char reply[128];
    uint32_t length = 0;
    return link->SendCommand("STAT", 1000, reply, sizeof reply, &length);
  }

  uint32_t transmission_ = 0;
};

TEST_F(Connection, TheCycleTellsTheOwnerEachChangeOnceAtItsPace) {
  struct Turn {
    const char* what;
    std::function<void()> before;
    uint32_t advance;  // ms after the previous poll ended
    Step step;
    const char* calls;
    bool held;
  };
  std::shared_ptr<FakeDevice> machine;
  const Turn turns[] = {
      {"first poll, no machine", [] {}, 0, Step::kNone, "search none ", false},
      {"too early", [] {}, MachineConnection::kPollIntervalMs - 1, Step::kNotDue, "", false},
      {"due again, still none", [] {}, 1, Step::kNone, "search ", false},
      {"machine plugged", [&] { machine = AddHid("/dev/hidraw1"); }, 200, Step::kFound,
       "search found held ", true},
      {"too early with a machine", [] {}, 199, Step::kNotDue, "", true},
      {"alive", [] {}, 1, Step::kAlive, "alive ", true},
      {"alive again", [] {}, 500, Step::kAlive, "alive ", true},
      {"unplugged", [&] { machine->Unplug(); }, 200, Step::kGone, "gone none ", false},
      {"no machine after the drop", [] {}, 200, Step::kNone, "search ", false},
      {"plugged in again", [&] { machine = AddHid("/dev/hidraw2"); }, 200, Step::kFound,
       "search found held ", true},
  };
  ResetConnectionMutexForTests();  // the object creates it before its first search
  MachineConnection connection;
  Recorder recorder(connection);
  for (const Turn& turn : turns) {
    SCOPED_TRACE(turn.what);
    turn.before();
    clock_.Advance(turn.advance);
    recorder.calls.clear();
    EXPECT_EQ(connection.Poll(&recorder), turn.step);
    EXPECT_EQ(recorder.calls, turn.calls);
    EXPECT_EQ(connection.Link() != nullptr, turn.held);
    if (turn.held) {
      EXPECT_TRUE(connection.Link()->IsClientInitialised());
      EXPECT_EQ(ConnectionList().size(), 1u);
    } else {
      EXPECT_TRUE(ConnectionList().empty());
    }
  }
  EXPECT_EQ(Count('W', "ConnectionList mutex was init'ed\n"), 0);
  EXPECT_EQ(hid_.devices[0]->held, false);  // the dropped machine was closed
}

TEST_F(Connection, DestroyingTheConnectionClosesItsMachine) {
  auto machine = AddHid("/dev/hidraw1");
  {
    MachineConnection connection;
    EXPECT_EQ(connection.Poll(), Step::kFound);
    EXPECT_TRUE(machine->held);
  }
  EXPECT_FALSE(machine->held);
  EXPECT_TRUE(ConnectionList().empty());
}

TEST_F(Connection, WaitingSearchesAtThePaceUntilTheTimeIsUp) {
  struct Case {
    uint32_t wait_ms;
    bool machine;
    int searches;
  } cases[] = {
      {0, false, 1},
      // A search takes the HID scan's 1 ms sleep: searches at 0, 201 and 402 ms.
      {300, false, 3},
      {1000, false, 6},
      {1000, true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.wait_ms);
    hid_.devices.clear();
    if (c.machine) AddHid("/dev/hidraw1");
    trace_.lines.clear();
    const uint32_t start = Now();
    {
      MachineConnection connection;
      EXPECT_EQ(connection.WaitForMachine(c.wait_ms) != nullptr, c.machine);
      // Each search ends with the HID pass that opens nothing.
      const auto lines = trace_.Texts('T');
      EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                              [](const std::string& t) { return t.rfind("Fail ", 0) == 0; }),
                c.searches);
      if (!c.machine) {
        EXPECT_GE(Now() - start, c.wait_ms);
        EXPECT_LT(Now() - start, c.wait_ms + MachineConnection::kPollIntervalMs + 10);
      }
    }
  }
}

TEST_F(Connection, LastFailureSaysWhyTheLastCallFailed) {
  auto machine = AddHid("/dev/hidraw1");
  MachineConnection connection;
  ASSERT_EQ(connection.Poll(), Step::kFound);
  UsbInterface* link = connection.Link();
  using Packets = std::vector<PacketRecord>;
  struct Case {
    const char* what;
    std::function<Packets(uint32_t)> reply;
    int result;
    LinkError error;
    std::string failure;
  } cases[] = {
      {"the machine's error status", [](uint32_t) { return Packets{MakeStatus(3, "Jam")}; }, 0,
       LinkError::kMachineRefused, "Command response was (3) \"Jam\""},
      {"a reply for another exchange",
       [](uint32_t t) { return Packets{MakeReplyHeader(0, t + 1, 0)}; }, 0, LinkError::kInvalidData,
       "Wrong transmission number was 3 should have been 2"},
      // Only information lines: the earlier call's failure must not be reported.
      {"sequence error",
       [](uint32_t t) {
         return Packets{MakeReplyHeader(1, t, 5), MakeData(1, "a", 1), MakeStatus(0, "")};
       },
       0, LinkError::kGenFailure, MachineConnection::kExchangeFailed},
      {"success", [](uint32_t t) { return MakeReply(t, "00 OK", 5); }, 1, LinkError::kSuccess, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    AnswerWith(*machine, c.reply);
    EXPECT_EQ(Send(link), c.result);
    const LinkFailure failure = c.result == 0 ? connection.LastFailure() : LastFailure();
    EXPECT_EQ(failure.error, c.error);
    EXPECT_EQ(failure.text, c.failure);
  }

  // A dropped machine still tells why it was dropped, and the outer line keeps the cause the
  // refused write gave; the close does not forget it.
  machine->Unplug();
  clock_.Advance(MachineConnection::kPollIntervalMs);
  ASSERT_EQ(connection.Poll(), Step::kGone);
  EXPECT_EQ(connection.LastFailure().text, "Error sending command");
  EXPECT_EQ(connection.LastFailure().error, LinkError::kDeviceNotConnected);
}

TEST_F(Connection, LastFailureWhenNoMachineIsFound) {
  struct Case {
    const char* what;
    bool hid_listing_fails;
    std::string failure;
  } cases[] = {
      {"nothing attached", false, MachineConnection::kNoMachineFound},
      {"HID listing refused", true, "Could not attach to PnP node"},
      // The next search starts clean again.
      {"nothing attached again", false, MachineConnection::kNoMachineFound},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    hid_.list_fails = c.hid_listing_fails;
    MachineConnection connection;
    EXPECT_EQ(connection.WaitForMachine(0), nullptr);
    EXPECT_EQ(connection.LastFailure().text, c.failure);
  }
}

}  // namespace
