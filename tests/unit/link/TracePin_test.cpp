// The operator's log shows the link's lines in the order the link writes them; these cases pin
// that, so that moving code between files cannot change the log unnoticed.
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

// Each case pins the lines the operator's log shows (levels D, I, W and C), their texts and
// their order; moving code between files may change only the file a line names.
struct Pin {
  const char* what;
  std::vector<std::string> lines;  // level, blank, text
  void (*provoke)(TracePin& test);
};

const std::vector<std::string> kHidOpened = {"I Product ID : Card dealer\n",
                                             "D Vendor  ID : 6017\n",
                                             "D Product ID : 12624\n",
                                             "D Version #  : 256\n",
                                             "I Manf : Dealer maker\n",
                                             "I Serial num : 0000ABCD\n",
                                             "I HID opened\n",
                                             "I ClientInit\n"};

std::vector<std::string> Then(std::vector<std::string> lines, std::vector<std::string> more) {
  lines.insert(lines.end(), more.begin(), more.end());
  return lines;
}

const Pin kPins[] = {
    {"client init", kHidOpened, [](TracePin& t) { EXPECT_NE(t.OpenHid(), nullptr); }},
    {"HID listing refused",
     {"W Could not attach to PnP node"},
     [](TracePin& t) {
       t.RefuseListing(true, false);
       EXPECT_EQ(FindDevice(0), nullptr);
     }},
    {"bulk pipes", {}, [](TracePin& t) { EXPECT_NE(t.OpenBulk(), nullptr); }},
    {"bulk listing refused",
     {"W SetupDiGetClassDevs failed with 13\n"},
     [](TracePin& t) {
       t.RefuseListing(false, true);
       EXPECT_EQ(FindDevice(0), nullptr);
     }},
    // A critical line dumps the log's history after it.
    {"hardware lock time-out",
     Then(kHidOpened,
          {"C HardwareLock timeout\n", "I Dumping tracelog\n", "I Dumping tracelog done\n",
           "I Dumping lowlevel tracelog\n", "I Dumping lowlevel tracelog done\n"}),
     [](TracePin& t) {
       UsbInterface* device = t.OpenHid();
       ASSERT_NE(device, nullptr);
       for (int i = 0; i < 10; ++i) device->HardwareLock();
       EXPECT_EQ(device->HardwareLock(), 0);
     }},
    {"release of an unknown machine",
     {"W NOT found\n"},
     [](TracePin&) { ReleaseHardwareLock(0x77); }},
};

TEST_F(TracePin, EachPartOfTheLinkWritesItsLinesInTheirOrder) {
  for (const Pin& pin : kPins) {
    SCOPED_TRACE(pin.what);
    Forget();
    trace_.lines.clear();
    pin.provoke(*this);
    std::vector<std::string> shown;
    for (const TraceLine& line : trace_.lines) {
      if (line.level != 'T') shown.push_back(std::string(1, line.level) + " " + line.text);
    }
    EXPECT_EQ(shown, pin.lines);
  }
}

}  // namespace
