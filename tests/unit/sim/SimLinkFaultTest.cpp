#include <vector>

#include "SimLinkFixture.h"

namespace qsim {
namespace {

// Each injected fault takes the link down its failure path. Packets of a spoiled reply that
// the link did not read stay in its input, and the next exchange meets them first (a stale
// DATA packet makes it flush); so some faults cost the exchanges after them too, and then the
// link works again. An unplugged machine fails its alive check, is dropped, and is found
// again once it is plugged back in.
TEST_F(SimLinkTest, EachLinkFaultFailsTheExchangeAndTheLinkRecovers) {
  ASSERT_NE(link_, nullptr);
  const struct {
    const char* fault;
    char level;
    const char* trace;  // the failure's trace line, as far as it does not depend on numbers
    // The failure lines of the exchanges after the fault that meet its leftovers.
    std::vector<const char*> spoiled;
  } cases[] = {
      {"wrong-tn", 'W', "Wrong transmission number was ", {"Unexpected DATA packet #0\n"}},
      {"seq-gap", 'I', "Sequence error\n", {}},
      {"length", 'W', "Size was 89 packets 1\n", {"Unexpected DATA packet #0\n"}},
      {"type", 'I', "Expected a STATUS packet got a Q\n", {}},
      {"late",
       'W',
       "Error getting reply \n",
       {"Wrong transmission number was ", "Unexpected DATA packet #0\n"}},
      {"unplug-before", 'W', "Error in RXDone: 1167\n", {}},
      {"unplug-mid", 'I', "Error receiving\n", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    ASSERT_TRUE(RunControlLine(*state_, std::string("fault ") + c.fault, 0).ok);
    trace_.lines.clear();
    std::string text;
    EXPECT_EQ(Call("FIRMWARE", &text), 90);
    EXPECT_TRUE(TraceHas(c.level, c.trace));
    EXPECT_EQ(log_.back().substr(0, 9 + std::strlen(c.fault)), std::string("!! fault ") + c.fault);

    if (wire_->HungUp()) {
      machine_->Unplug();
      EXPECT_EQ(link_->CheckAlive(), 0);
      DropMachine();
      EXPECT_EQ(Open(), nullptr);  // gone from the device list while unplugged
      clock_.Advance(state_->link.replug_ms);
      wire_->Replug();
      link_ = Open();
      ASSERT_NE(link_, nullptr);
    }
    for (const char* failure : c.spoiled) {
      trace_.lines.clear();
      EXPECT_EQ(Call("FIRMWARE", &text), 90);
      EXPECT_TRUE(TraceHas('W', failure)) << failure;
    }
    for (const char* command : {"FIRMWARE", "STAT"}) {
      text.clear();
      EXPECT_EQ(Call(command, &text), 0) << command;
      EXPECT_EQ(text, std::string(command) == "STAT" ? "OK" : "QSIM 2.04 simulated dealer");
    }
    EXPECT_EQ(link_->CheckAlive(), 1);
  }
}

// A split command spoiled on the way is no acceptance: the program sees 90 either way, so the
// failure shows only in the link's trace and in the machine not splitting.
TEST_F(SimLinkTest, UnexpectedPacketInPlaceOfALoneStatus) {
  ASSERT_NE(link_, nullptr);
  ASSERT_TRUE(RunControlLine(*state_, "fault type", 0).ok);
  EXPECT_EQ(Call("SPLIT 13"), 90);
  EXPECT_TRUE(TraceHas('W', "Unexpected packet type : Q"));
  std::string text;
  EXPECT_EQ(Call("STAT", &text), 1);  // the machine did take it
}

TEST_F(SimLinkTest, UnpluggedMachineStaysAwayForAWhile) {
  ASSERT_NE(link_, nullptr);
  state_->link.replug_ms = 5000;
  ASSERT_TRUE(RunControlLine(*state_, "fault unplug-before", 0).ok);
  EXPECT_EQ(Call("STAT"), 90);
  machine_->Unplug();
  EXPECT_EQ(link_->CheckAlive(), 0);
  DropMachine();
  EXPECT_EQ(Call("STAT"), 91);
  EXPECT_TRUE(server_->HeldAway(clock_.TickCount()));
  clock_.Advance(state_->link.replug_ms);
  EXPECT_FALSE(server_->HeldAway(clock_.TickCount()));
  wire_->Replug();
  link_ = Open();
  ASSERT_NE(link_, nullptr);
  EXPECT_EQ(Call("STAT"), 0);
  EXPECT_EQ(link_->TransmissionNumber(), 1u);
}

}  // namespace
}  // namespace qsim
