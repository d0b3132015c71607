// quadrelle-cmd --list: every machine on the computer with who holds it, none taken.
#include "MachineList.h"

#include "LinkFixture.h"

namespace {

using qplatform::FakeDevice;

TEST_F(LinkTest, TheListShowsEveryMachineAndWhoHoldsItWithoutTakingOne) {
  AddHid("/dev/hidraw1", L"00000011");
  auto held_by_other = AddHid("/dev/hidraw2", L"00000022");
  auto refused = AddHid("/dev/hidraw3", L"00000033");
  refused->open_error = LinkError::kAccessDenied;
  auto keyboard = AddHid("/dev/hidraw4", L"00000044");
  keyboard->attributes.vendor_id = 1;
  const std::string bulk_path =
      "\\\\?\\usb#vid_1781&pid_0c9f#00AB12#{101f9e3f-8435-4872-bc21-07b27e2baadd}";
  bulk_.AddDevice(bulk_path);
  auto busy_bulk =
      bulk_.AddDevice("\\\\?\\usb#vid_1781&pid_0c9f#00AB13#{101f9e3f-8435-4872-bc21-07b27e2baadd}");
  busy_bulk->open_error = LinkError::kBusy;
  auto ours = AddHid("/dev/hidraw5", L"00000055");
  UsbInterface* mine = FindDevice(0x55, MachineFilter("00000055"));
  ASSERT_NE(mine, nullptr);
  Own(mine);

  const auto others = [](const std::string& path) { return path == "/dev/hidraw2"; };
  const auto no_slots = [](const std::string&) { return false; };
  std::vector<std::string> lines;
  for (const MachineListing& machine : ListMachines(0, others, no_slots)) {
    lines.push_back(ListingLine(machine));
  }
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "43794\tbulk\t" + bulk_path + "\t00AB12\tfree",
                       "43795\tbulk\t" + busy_bulk->path + "\t00AB13\theld",
                       "17\tHID\t/dev/hidraw1\t00000011\tfree",
                       "34\tHID\t/dev/hidraw2\t00000022\theld",
                       "0\tHID\t/dev/hidraw3\t-\theld",
                   }));
  // Nothing was taken: every machine is closed again and only ours is in the list.
  for (const auto& device : hid_.devices) EXPECT_EQ(device->held, device == ours) << device->path;
  for (const auto& device : bulk_.devices) EXPECT_FALSE(device->write_held) << device->path;
  EXPECT_EQ(ConnectionList().size(), 1u);
}

}  // namespace
