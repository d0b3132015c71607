// The operator's log names the source file of every line. These lines pin the file each part of
// the link writes from, so that moving code between files cannot change the log unnoticed.
#include "LinkFixture.h"

namespace {

class TracePin : public LinkTest {
 public:
  UsbInterface* OpenHid() {
    AddHid("/dev/hidraw9");
    return Open();
  }
  UsbInterface* OpenBulk() {
    bulk_.AddDevice("\\\\?\\usb#vid_1781&pid_0c9f#0001#{x}");
    return Open();
  }
  void RefuseListing(bool hid, bool bulk) {
    hid_.list_fails = hid;
    bulk_.list_fails = bulk;
  }
  // Back to no machine at all between the rows.
  void Forget() {
    for (UsbInterface* device : owned_) delete device;
    owned_.clear();
    hid_.devices.clear();
    bulk_.devices.clear();
    RefuseListing(false, false);
    ConnectionList().clear();
  }
};

struct Pin {
  const char* what;
  char level;
  const char* file;  // as the log records it: the base name, cut to 11 characters
  const char* text;
  void (*provoke)(TracePin& test);
};

const Pin kPins[] = {
    {"client init", 'I', "USBinterfac", "ClientInit\n",
     [](TracePin& t) { EXPECT_NE(t.OpenHid(), nullptr); }},
    {"HID listing refused", 'W', "USBinterfac", "Could not attach to PnP node",
     [](TracePin& t) {
       t.RefuseListing(true, false);
       EXPECT_EQ(FindDevice(0), nullptr);
     }},
    {"bulk pipes", 'T', "RwBulk.cpp", "Bulk pipes opened\n",
     [](TracePin& t) { EXPECT_NE(t.OpenBulk(), nullptr); }},
    {"bulk listing refused", 'W', "RwBulk.cpp", "SetupDiGetClassDevs failed with 13\n",
     [](TracePin& t) {
       t.RefuseListing(false, true);
       EXPECT_EQ(FindDevice(0), nullptr);
     }},
    {"hardware lock time-out", 'C', "USBinterfac", "HardwareLock timeout\n",
     [](TracePin& t) {
       UsbInterface* device = t.OpenHid();
       ASSERT_NE(device, nullptr);
       for (int i = 0; i < 10; ++i) device->HardwareLock();
       EXPECT_EQ(device->HardwareLock(), 0);
     }},
    {"release of an unknown machine", 'W', "rwbulk.h", "NOT found\n",
     [](TracePin&) { ReleaseHardwareLock(0x77); }},
};

TEST_F(TracePin, EachLinkFileWritesItsLinesUnderItsOwnName) {
  for (const Pin& pin : kPins) {
    SCOPED_TRACE(pin.what);
    Forget();
    trace_.lines.clear();
    pin.provoke(*this);
    int seen = 0;
    for (const TraceLine& line : trace_.lines) {
      if (line.text != pin.text) continue;
      ++seen;
      EXPECT_EQ(line.level, pin.level);
      EXPECT_EQ(line.file, pin.file);
    }
    EXPECT_EQ(seen, 1);
  }
}

}  // namespace
