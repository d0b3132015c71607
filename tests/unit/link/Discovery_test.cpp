// Device search, connection list, hardware lock.
#include "LinkFixture.h"

namespace {

using qplatform::FakeDevice;

TEST_F(LinkTest, NoMachineOpensNothingAndSaysFail) {
  EXPECT_EQ(FindDevice(0), nullptr);
  EXPECT_TRUE(trace_.Contains('T', "Fail 0\n"));
  EXPECT_TRUE(ConnectionList().empty());
}

TEST_F(LinkTest, TwoHidMachinesAreHandedOutOnePerSearch) {
  AddHid("/dev/hidraw1", L"00000011");
  AddHid("/dev/hidraw2", L"00000022");
  UsbInterface* first = FindDevice(0);
  ASSERT_NE(first, nullptr);
  Own(first);
  EXPECT_EQ(first->Id(), 0x11u);
  // One search opened both; the second waits in the list, free.
  ASSERT_EQ(ConnectionList().size(), 2u);
  EXPECT_EQ(ConnectionList().back().free, 1u);
  EXPECT_EQ(Count('I', "HID opened\n"), 2);
  EXPECT_EQ(Count('T', "Found interrupt device(s)\n"), 2);
  EXPECT_EQ(Count('T', "Found device in list\n"), 1);
  // The machine this process holds is not opened a second time.
  EXPECT_TRUE(trace_.Contains('T', "Createfile failed 0\n"));

  UsbInterface* second = FindDevice(0);
  ASSERT_NE(second, nullptr);
  Own(second);
  EXPECT_EQ(second->Id(), 0x22u);
  EXPECT_EQ(FindDevice(0), nullptr);
  EXPECT_EQ(hid_.devices[0]->opens, 1);
  EXPECT_EQ(hid_.devices[1]->opens, 1);
}

TEST_F(LinkTest, SearchByIdTakesThatMachine) {
  AddHid("/dev/hidraw1", L"00000011");
  AddHid("/dev/hidraw2", L"00000022");
  UsbInterface* device = FindDevice(0x22);
  ASSERT_NE(device, nullptr);
  Own(device);
  EXPECT_EQ(device->Id(), 0x22u);
  Own(ConnectionList().front().device);
}

TEST_F(LinkTest, HidMachineOpensWithTheTraceOfItsIdentity) {
  auto d = AddHid("/dev/hidraw3", L"1234abcd");
  d->attributes.version_number = 0x0102;
  UsbInterface* device = Open();
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->Id(), 0x1234ABCDu);
  EXPECT_STREQ(device->Product(), "Card dealer");
  EXPECT_FALSE(device->IsBulk());
  EXPECT_TRUE(device->IsClientInitialised());
  EXPECT_TRUE(device->ReadPending());
  EXPECT_EQ(d->input_buffers, 200u);
  EXPECT_EQ(trace_.Texts('T'), (std::vector<std::string>{
                                   "TestConnect\n",
                                   "** Device path is /dev/hidraw3\n",
                                   "Buffers allocated 32 \n",
                                   "Buffers allocated 200 \n",
                                   "Init on a Interrupt device\n",
                                   "Found interrupt device(s)\n",
                                   "TestConnect\n",
                                   "Createfile failed 0\n",
                                   "Fail 1\n",
                                   "Found device in list\n",
                               }));
  EXPECT_EQ(trace_.Texts('D'),
            (std::vector<std::string>{"Vendor  ID : 6017\n", "Product ID : 12624\n",
                                      "Version #  : 258\n"}));
  EXPECT_EQ(trace_.Texts('I'),
            (std::vector<std::string>{"Product ID : Card dealer\n", "Manf : Dealer maker\n",
                                      "Serial num : 1234abcd\n", "HID opened\n", "ClientInit\n"}));
}

TEST_F(LinkTest, HidChecksRefuseWhatIsNotOurMachine) {
  struct Case {
    const char* name;
    void (*setup)(FakeDevice&);
    const char* level_and_line;  // expected extra line, "" for none
  } cases[] = {
      {"serial not hexadecimal", [](FakeDevice& d) { d.serial = L"XYZ"; }, "WIlligal ID XYZ\n"},
      {"serial unreadable", [](FakeDevice& d) { d.serial_fails = true; },
       "WError getting serial number\n"},
      {"attributes unreadable", [](FakeDevice& d) { d.attributes_fail = true; },
       "WError getting attributes\n"},
      {"other product", [](FakeDevice& d) { d.attributes.product_id = 12626; }, ""},
      {"other vendor", [](FakeDevice& d) { d.attributes.vendor_id = 1234; }, ""},
      {"product unreadable", [](FakeDevice& d) { d.product_fails = true; }, ""},
      {"manufacturer unreadable", [](FakeDevice& d) { d.manufacturer_fails = true; }, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    hid_.devices.clear();
    auto d = AddHid("/dev/hidraw0");
    c.setup(*d);
    trace_.lines.clear();
    TraceCapture& capture = trace_;
    EXPECT_EQ(FindDevice(0), nullptr);
    EXPECT_FALSE(d->held);  // closed again
    EXPECT_TRUE(capture.Contains('T', "Fail 1\n"));
    if (*c.level_and_line != '\0') {
      EXPECT_TRUE(capture.Contains(c.level_and_line[0], c.level_and_line + 1));
    }
    if (std::string(c.name) == "other product") {
      // Closed without a line beyond its path and product string.
      EXPECT_EQ(capture.Texts('T'),
                (std::vector<std::string>{"TestConnect\n", "** Device path is /dev/hidraw0\n",
                                          "Fail 1\n"}));
      EXPECT_EQ(capture.Texts('I'), (std::vector<std::string>{"Product ID : Card dealer\n"}));
      EXPECT_TRUE(capture.Texts('D').empty());
      EXPECT_TRUE(capture.Texts('W').empty());
    }
  }
}

TEST_F(LinkTest, HidListingFailuresSkipMembers) {
  hid_.extra_entries = {{31, false, ""}, {0, true, ""}};
  AddHid("/dev/hidraw5");
  UsbInterface* device = Open();
  ASSERT_NE(device, nullptr);
  EXPECT_TRUE(trace_.Contains('W', "Could not find the system name for this Device\n"));

  hid_.list_fails = true;
  trace_.lines.clear();
  EXPECT_EQ(FindDevice(0), nullptr);
  EXPECT_TRUE(trace_.Contains('W', "Could not attach to PnP node"));
}

TEST_F(LinkTest, BulkMachineIsFoundByItsPath) {
  const std::string path =
      "\\\\?\\usb#vid_1781&pid_0c9f#00AB12#{101f9e3f-8435-4872-bc21-07b27e2baadd}";
  auto d = bulk_.AddDevice(path);
  UsbInterface* device = Open();
  ASSERT_NE(device, nullptr);
  EXPECT_TRUE(device->IsBulk());
  EXPECT_EQ(device->Id(), 0xAB12u);
  EXPECT_STREQ(ConnectionList().front().path, path.c_str());
  EXPECT_TRUE(d->read_held);
  EXPECT_TRUE(d->write_held);
  EXPECT_TRUE(trace_.Contains('T', "Bulk pipes opened\n"));
  EXPECT_TRUE(trace_.Contains('T', "Found bulk device\n"));
  EXPECT_TRUE(trace_.Contains('T', "Init on a Bulkdevice\n"));
  // Already listed: the next search does not open it again.
  EXPECT_EQ(FindDevice(0), nullptr);
  EXPECT_EQ(d->opens, 2);
}

TEST_F(LinkTest, BulkEnumerationSkipsWhatItCannotUse) {
  bulk_.extra_entries = {{87, false, ""}};
  bulk_.AddDevice("\\\\?\\usb#vid_1781&pid_0c9f#{101f9e3f}");  // no instance part
  bulk_.AddDevice("\\\\?\\usb#vid_1781&pid_0c9f#0001#{x}")->probe_error =
      LinkError::kAccessDenied;  // probe fails
  std::vector<ConnectionRecord> list;
  EXPECT_EQ(EnumerateBulkDevices(&list), 1);
  EXPECT_TRUE(list.empty());
  EXPECT_TRUE(trace_.Contains('W', "Some other error 87\n"));
  EXPECT_TRUE(
      trace_.Contains('W', "Found an unmatching device \\\\?\\usb#vid_1781&pid_0c9f#{101f9e3f}\n"));
  EXPECT_TRUE(trace_.Contains('D', "FAILED to open \\\\?\\usb#vid_1781&pid_0c9f#0001#{x}\n"));

  bulk_.list_fails = true;
  EXPECT_EQ(EnumerateBulkDevices(&list), 0);
  EXPECT_TRUE(trace_.Contains('W', "SetupDiGetClassDevs failed with 13\n"));
}

TEST_F(LinkTest, BulkPipeFailuresCloseWhatWasOpened) {
  auto d = bulk_.AddDevice("\\\\?\\usb#vid_1781&pid_0c9f#0001#{x}");
  d->open_error = LinkError::kSharingViolation;
  EXPECT_EQ(FindDevice(0), nullptr);
  EXPECT_TRUE(
      trace_.Contains('T', "Err opening:_\\\\?\\usb#vid_1781&pid_0c9f#0001#{x}\\PIPE01_\n"));
  EXPECT_TRUE(trace_.Contains('I', "Error opening write pipe 32\n"));

  d->open_error = LinkError::kSuccess;
  d->read_held = true;  // someone else holds the read pipe
  EXPECT_EQ(FindDevice(0), nullptr);
  EXPECT_TRUE(trace_.Contains('W', "Error opening read pipe 32\n"));
  EXPECT_FALSE(d->write_held);
}

TEST_F(LinkTest, CloseDeviceLeavesTheListAndTheDeviceFree) {
  auto d = AddHid("/dev/hidraw1");
  UsbInterface* device = Open();
  ASSERT_NE(device, nullptr);
  Destroy(device);
  EXPECT_TRUE(ConnectionList().empty());
  EXPECT_FALSE(d->held);
  EXPECT_TRUE(trace_.Contains('T', "UsbInterface::~destructor \n"));
  EXPECT_TRUE(trace_.Contains('T', "UsbInterface::CloseDevice \n"));
  // The cancelled read ran quietly: the handle was already closed.
  EXPECT_TRUE(trace_.Texts('W').empty());
  // Found again by the next search.
  UsbInterface* again = Open();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(d->opens, 2);
}

// Two machines with the same id: closing one leaves the other's record, so its hardware lock
// still finds it.
TEST_F(LinkTest, ClosingOneOfTwoMachinesWithTheSameIdKeepsTheOther) {
  qplatform::FakeFirmware firmware;
  AddHid("/dev/hidraw1", L"0000002A");
  firmware.Attach(*AddHid("/dev/hidraw2", L"0000002A"));
  UsbInterface* first = Open();
  UsbInterface* second = Open();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  Destroy(first);
  ASSERT_EQ(ConnectionList().size(), 1u);
  EXPECT_EQ(ConnectionList().front().device, second);
  char reply[64];
  uint32_t length = 0;
  EXPECT_EQ(second->SendCommand("STAT", 1000, reply, sizeof reply, &length), 1);
  EXPECT_EQ(std::string(reply, length), "00 OK");
  EXPECT_FALSE(trace_.Contains('C', "HardwareLock timeout\n"));
}

// A machine that is there but cannot be opened says why once per plug-in, and the text stays
// available for tools.
TEST_F(LinkTest, AMachineThatCannotBeOpenedSaysWhyOncePerPlugIn) {
  struct Case {
    const char* name;
    bool bulk;
    LinkError error;
    std::string text;
  } cases[] = {
      {"HID, no permission", false, LinkError::kAccessDenied,
       "No permission to open /dev/hidraw7: install the udev rule 70-quadrelle.rules, then "
       "unplug the machine and plug it in again"},
      {"HID, held by another program", false, LinkError::kLockViolation,
       "The machine at /dev/hidraw7 is in use by another program"},
      {"bulk, no permission", true, LinkError::kAccessDenied,
       "No permission to open \\\\?\\usb#vid_1781&pid_0c9f#0007#{x}: install the udev rule "
       "70-quadrelle.rules, then unplug the machine and plug it in again"},
      {"bulk, held by another program", true, LinkError::kSharingViolation,
       "The machine at \\\\?\\usb#vid_1781&pid_0c9f#0007#{x} is in use by another program"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    hid_.devices.clear();
    bulk_.devices.clear();
    auto d =
        c.bulk ? bulk_.AddDevice("\\\\?\\usb#vid_1781&pid_0c9f#0007#{x}") : AddHid("/dev/hidraw7");
    // No permission shows on the bulk machine's probe, another program on its pipe.
    (c.bulk && c.error == LinkError::kAccessDenied ? d->probe_error : d->open_error) = c.error;
    TraceCapture trace;
    for (int search = 0; search < 3; ++search) EXPECT_EQ(FindDevice(0), nullptr);
    // (A capture keeps the first 127 characters of a line.)
    EXPECT_EQ(trace.Texts('W'), std::vector<std::string>{(c.text + "\n").substr(0, 127)});
    EXPECT_EQ(machine_notices::Current(), std::vector<std::string>{c.text});
    // Unplugged: the notice goes; plugged in again: it is said again.
    d->unplugged = true;
    EXPECT_EQ(FindDevice(0), nullptr);
    EXPECT_TRUE(machine_notices::Current().empty());
    d->unplugged = false;
    EXPECT_EQ(FindDevice(0), nullptr);
    EXPECT_EQ(trace.Texts('W').size(), 2u);
    // Opened at last: nothing stands any more.
    d->open_error = LinkError::kSuccess;
    d->probe_error = LinkError::kSuccess;
    UsbInterface* device = Open();
    ASSERT_NE(device, nullptr);
    EXPECT_TRUE(machine_notices::Current().empty());
    Destroy(device);
  }
}

// A device of the vendor that is not a machine is never probed, with a D line saying why.
TEST_F(LinkTest, ADeviceThatIsNotAMachineIsNotProbed) {
  bulk_.extra_entries = {{0, false, "\\\\?\\usb#vid_1781&pid_0c9f#0105#{x}", "interface class 8"}};
  std::vector<ConnectionRecord> list;
  EXPECT_EQ(EnumerateBulkDevices(&list), 1);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(trace_.Texts('D'),
            std::vector<std::string>{"Not a machine: \\\\?\\usb#vid_1781&pid_0c9f#0105#{x} "
                                     "(interface class 8)\n"});
}

TEST_F(LinkTest, ConnectionMutexCreatedLateWarns) {
  ResetConnectionMutexForTests();
  EXPECT_EQ(LockConnectionMutex(), 1);
  ReleaseConnectionMutex();
  EXPECT_EQ(Count('W', "ConnectionList mutex was init'ed\n"), 1);
  ReleaseConnectionMutex();  // not held
  EXPECT_TRUE(trace_.Contains('C', "Connection mutex release error\n"));
}

TEST_F(LinkTest, EleventhHardwareLockFailsAfter120Seconds) {
  AddHid("/dev/hidraw1");
  UsbInterface* device = Open();
  ASSERT_NE(device, nullptr);
  for (int i = 1; i <= 10; ++i) {
    ASSERT_EQ(device->HardwareLock(), 1) << i;
    EXPECT_EQ(ConnectionList().front().ticket, static_cast<uint32_t>(i));
  }
  const uint32_t start = Now();
  EXPECT_EQ(device->HardwareLock(), 0);
  EXPECT_EQ(Now() - start, 120000u);
  EXPECT_TRUE(trace_.Contains('C', "HardwareLock timeout\n"));
  // Each release moves every ticket up; the last one clears it.
  for (int i = 0; i < 11; ++i) device->ReleaseHardwareLock();
  EXPECT_EQ(ConnectionList().front().ticket, 0u);
  EXPECT_EQ(device->HardwareLock(), 1);
}

TEST_F(LinkTest, ReleaseOfAnUnknownMachineSaysNotFound) {
  ReleaseHardwareLock(0x77);
  EXPECT_TRUE(trace_.Contains('W', "NOT found\n"));
}

TEST_F(LinkTest, HardwareLockTicketsAreSharedByAllMachines) {
  AddHid("/dev/hidraw1", L"00000001");
  AddHid("/dev/hidraw2", L"00000002");
  UsbInterface* a = Open();
  UsbInterface* b = Open();
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(a->HardwareLock(), 1);
  EXPECT_EQ(b->HardwareLock(), 1);
  EXPECT_EQ(ConnectionList().front().ticket, 1u);
  EXPECT_EQ(ConnectionList().back().ticket, 2u);
  a->ReleaseHardwareLock();
  EXPECT_EQ(ConnectionList().front().ticket, 0u);
  EXPECT_EQ(ConnectionList().back().ticket, 1u);
}

}  // namespace
