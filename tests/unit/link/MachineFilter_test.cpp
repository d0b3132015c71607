// A copy bound to one machine: which machines the filter takes, and a search that opens only
// those, so the others stay free for the copies bound to them.
#include "MachineFilter.h"

#include "LinkFixture.h"
#include "MachineConnection.h"

namespace {

struct FilterCase {
  const char* which;
  uint32_t id;
  const char* serial;
  bool matches;
};

TEST(MachineFilterTest, TakesTheDecimalIdOrTheSerialNumber) {
  const FilterCase cases[] = {
      {"", 7, "", true},                       // no filter: any machine
      {"42", 42, "", true},                    // an emulator slot's id
      {" 43 ", 43, "", true},                  // blanks around it do not count
      {"42", 43, "", false},                   //
      {"0000ABCD", 0xABCD, "0000ABCD", true},  // a HID serial number
      {"0000abcd", 0xABCD, "0000ABCD", true},  // in either case
      {"43981", 0xABCD, "0000ABCD", true},     // the same machine by its id
      {"ABCD", 0xABCD, "0000ABCD", false},     // a serial is given whole
      {"00AB12", 0xAB12, "00AB12", true},      // a bulk machine's instance
      {"42", 0x42, "", false},                 // a number is never read as hexadecimal
      {"4294967296", 0, "", false},            // too large to be an id
      {"x", 0, "", false},                     // a serial never matches a machine without one
  };
  for (const FilterCase& c : cases) {
    EXPECT_EQ(MachineFilter(c.which).Matches(c.id, c.serial), c.matches)
        << "'" << c.which << "' against " << c.id << " / " << c.serial;
  }
}

TEST(MachineFilterTest, OnlyNamesThatFitAFileNameAreValid) {
  const std::pair<std::string, bool> cases[] = {
      {"42", true},
      {"0000ABCD", true},
      {"room-2.table_1", true},
      {"", false},
      {"a/b", false},
      {"a b", false},
      {"..\\x", false},
      {std::string(63, '1'), true},
      {std::string(64, '1'), false},
  };
  for (const auto& [which, valid] : cases) {
    EXPECT_EQ(MachineFilter(which).Valid(), valid) << which;
  }
  EXPECT_TRUE(MachineFilter("  ").Any());
  EXPECT_EQ(MachineFilter(" 42\n").Text(), "42");
}

TEST_F(LinkTest, ABoundSearchOpensOnlyItsMachine) {
  const std::string bulk_path =
      "\\\\?\\usb#vid_1781&pid_0c9f#00AB12#{101f9e3f-8435-4872-bc21-07b27e2baadd}";
  struct Case {
    const char* which;
    uint32_t id;  // 0: none of them
  };
  const Case cases[] = {{"00000022", 0x22}, {"17", 0x11}, {"00ab12", 0xAB12}, {"99", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.which);
    qplatform::FakeHidBackend hid;
    qplatform::FakeBulkBackend bulk;
    qplatform::ScopedBackends scoped({&hid, &bulk, nullptr});
    auto first = hid.AddDevice("/dev/hidraw1");
    first->serial = L"00000011";
    auto second = hid.AddDevice("/dev/hidraw2");
    second->serial = L"00000022";
    auto bulk_machine = bulk.AddDevice(bulk_path);

    UsbInterface* device = FindDevice(0, MachineFilter(c.which));
    if (c.id == 0) {
      EXPECT_EQ(device, nullptr);
      EXPECT_TRUE(ConnectionList().empty());
    } else {
      ASSERT_NE(device, nullptr);
      EXPECT_EQ(device->Id(), c.id);
      // Nothing else stays open: the other machines are free for the other copies.
      EXPECT_EQ(ConnectionList().size(), 1u);
      EXPECT_EQ(first->held, c.id == 0x11);
      EXPECT_EQ(second->held, c.id == 0x22);
      EXPECT_EQ(bulk_machine->read_held, c.id == 0xAB12);
      // A second search for the same machine hands out nothing.
      EXPECT_EQ(FindDevice(0, MachineFilter(c.which)), nullptr);
      delete device;
    }
    EXPECT_TRUE(ConnectionList().empty());
  }
}

TEST_F(LinkTest, ABoundConnectionWaitsForItsMachineAndComesBackToIt) {
  AddHid("/dev/hidraw1", L"00000011");
  MachineConnection connection{MachineFilter("00000022")};
  EXPECT_EQ(connection.Poll(), MachineConnection::Step::kNone);
  EXPECT_EQ(connection.WaitForMachine(1000), nullptr);
  EXPECT_EQ(connection.LastFailure().text, MachineConnection::kNoMachineFound);

  auto wanted = AddHid("/dev/hidraw2", L"00000022");
  clock_.Advance(MachineConnection::kPollIntervalMs);
  EXPECT_EQ(connection.Poll(), MachineConnection::Step::kFound);
  ASSERT_NE(connection.Link(), nullptr);
  EXPECT_EQ(connection.Link()->Id(), 0x22u);

  // Unplugged: dropped; plugged in again: found again, and the other machine never taken.
  wanted->unplugged = true;
  clock_.Advance(MachineConnection::kPollIntervalMs);
  EXPECT_EQ(connection.Poll(), MachineConnection::Step::kGone);
  wanted->unplugged = false;
  clock_.Advance(MachineConnection::kPollIntervalMs);
  EXPECT_EQ(connection.Poll(), MachineConnection::Step::kFound);
  EXPECT_EQ(connection.Link()->Id(), 0x22u);
  EXPECT_EQ(hid_.devices[0]->held, false);
}

}  // namespace
