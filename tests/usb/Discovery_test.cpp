// The device search through the real backends: each machine is found with the path and id the
// link gives it; what is not a machine is left alone; a machine held by another program or
// closed to the user says so.
#include <sys/stat.h>

#include "MachineNotices.h"
#include "TraceGuard.h"
#include "UsbRig.h"

namespace usbemu {
namespace {

TEST_F(UsbRig, EachMachineIsFoundWithItsIdAndPath) {
  struct Case {
    const char* name;
    Identity identity;
    int kind;  // 0 HID, 1 bulk at full speed, 2 bulk at high speed
    uint32_t id;
    std::string path;  // as the connection list records it ("" for HID)
    bool bulk;
  } cases[] = {
      {"HID 0x3150", Identity{}, 0, 0x2A, "", false},
      {"HID 0x3151", Identity{0x1781, 0x3151, "1234ABCD", "Maker", "Dealer", 2}, 0, 0x1234ABCD, "",
       false},
      {"bulk, hexadecimal serial", BulkIdentity(3, "00AB12"), 1, 0xAB12, BulkPath("00AB12"), true},
      {"bulk, other serial: bus and port", BulkIdentity(4, "SN-77"), 2, 0x104, BulkPath("0104"),
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.kind == 0) {
      AddHid(c.identity, c.identity.port - 1);
    } else {
      AddBulk(c.identity, c.kind == 2);
    }
    UsbInterface* device = Open();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->Id(), c.id);
    EXPECT_EQ(device->IsBulk(), c.bulk);
    ASSERT_EQ(ConnectionList().size(), 1u);
    EXPECT_EQ(std::string(ConnectionList().front().path), c.path);
    EXPECT_EQ(Command(device, "STAT"), "00 OK");
    Destroy(device);
    machines_.back()->Unplug();
  }
}

TEST_F(UsbRig, TwoMachinesAreHandedOutOneAfterTheOther) {
  AddHid(Identity{}, 0);
  AddBulk(BulkIdentity(), false);
  UsbInterface* first = Open();
  UsbInterface* second = Open();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  // The bulk pass comes first.
  EXPECT_TRUE(first->IsBulk());
  EXPECT_FALSE(second->IsBulk());
  EXPECT_EQ(Open(), nullptr);
  EXPECT_EQ(Command(first, "FIRMWARE"), "00 QSIM 2.04 simulated dealer");
  EXPECT_EQ(Command(second, "FIRMWARE"), "00 QSIM 2.04 simulated dealer");
}

TEST_F(UsbRig, ADeviceOfTheVendorThatIsNotTheMachineIsLeftAlone) {
  struct Case {
    BulkShape shape;
    const char* why;
  } cases[] = {
      {BulkShape::kMassStorage, "interface class 8"},
      {BulkShape::kNoBulkPair, "bulk IN 0, bulk OUT 0"},
      {BulkShape::kTwoBulkPairs, "bulk IN 2, bulk OUT 2"},
  };
  int port = 3;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    BulkMachine& other = AddBulk(BulkIdentity(port, "00AB12"), false, c.shape);
    TraceCapture trace;
    EXPECT_EQ(FindDevice(0), nullptr);
    EXPECT_EQ(FindDevice(0), nullptr);
    // Never opened, not even to read its serial number: its instance is its place on the bus.
    EXPECT_EQ(other.Opens(), 0);
    const std::string line =
        "Not a machine: " + BulkPath("010" + std::to_string(port)) + " (" + c.why + ")\n";
    const std::vector<std::string> debug = trace.Texts('D');
    EXPECT_EQ(std::count(debug.begin(), debug.end(), line), 2) << ::testing::PrintToString(debug);
    other.Unplug();
    ++port;
  }
  // The machine beside such a device is found.
  AddBulk(BulkIdentity(9, "00C0DE"), false, BulkShape::kMassStorage);
  AddBulk(BulkIdentity(10, "00AB12"), false);
  UsbInterface* device = Open();
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->Id(), 0xAB12u);
}

TEST_F(UsbRig, TheSearchOpensNoOtherHidDevice) {
  HidMachine& keyboard = *new ForeignHid(bed_, 1, 5);
  machines_.emplace_back(&keyboard);
  keyboard.Plug();
  AddHid(Identity{}, 0);
  UsbInterface* device = Open();
  ASSERT_NE(device, nullptr);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(FindDevice(0), nullptr);
  EXPECT_EQ(keyboard.Opens(), 0);
}

TEST_F(UsbRig, AMachineHeldByThisProgramIsRefusedToASecondOne) {
  EmulatedMachine& machine = AddMachine(Path::kHid);
  UsbInterface* device = Open();
  ASSERT_NE(device, nullptr);
  const CmdResult second = RunCmd({"--wait", "0", "STAT"});
  EXPECT_EQ(second.status, 2);
  EXPECT_EQ(second.output,
            "quadrelle-cmd: no machine found\n"
            "quadrelle-cmd: The machine at /dev/hidraw0 is in use by another program\n");
  // The reports were not shared: the firmware heard nothing from the second program.
  EXPECT_TRUE(machine.Commands().empty());
  EXPECT_EQ(Command(device, "STAT"), "00 OK");

  Destroy(device);
  const CmdResult after = RunCmd({"--wait", "0", "STAT"});
  EXPECT_EQ(after.output, "00 OK\n");
  EXPECT_EQ(after.status, 0);
}

TEST_F(UsbRig, AMachineTheUserMayNotOpenIsNamedWithTheUdevRule) {
  AddMachine(Path::kHid);
  // The test bed's files become visible to any user; the machine's node to none but its owner.
  ASSERT_EQ(std::system(("chmod -R a+rwX " + bed_.RealPath("")).c_str()), 0);
  ASSERT_EQ(::chmod(bed_.RealPath("/dev/hidraw0").c_str(), ::geteuid() == 0 ? 0600 : 0), 0);
  const CmdResult result = RunCmd({"--wait", "0.5", "STAT"}, true);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.output,
            "quadrelle-cmd: no machine found\n"
            "quadrelle-cmd: No permission to open /dev/hidraw0: install the udev rule "
            "70-quadrelle.rules, then unplug the machine and plug it in again\n");
}

}  // namespace
}  // namespace usbemu
