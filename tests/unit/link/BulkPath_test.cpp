// The bulk device path rule agrees with what the device search takes apart.
#include "LinkFixture.h"

namespace {

TEST_F(LinkTest, BulkPathRuleGivesTheIdTheSearchReads) {
  const uint8_t ports[5] = {1, 2, 3, 4, 0x0A};
  struct Case {
    std::string serial;
    int depth;
    std::string instance;
    uint32_t id;
  } cases[] = {
      {"00AB12", 2, "00AB12", 0xAB12}, {"c0ffee", 2, "c0ffee", 0xC0FFEE},
      {"SN-77", 2, "030102", 0x30102},  // not hexadecimal: bus and ports
      {"123456789", 1, "0301", 0x301},  // too long for an id
      {"", 5, "0303040A", 0x303040A},   // only the last three ports
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.serial);
    const std::string instance = qplatform::BulkInstance(c.serial, 3, ports, c.depth);
    EXPECT_EQ(instance, c.instance);
    const std::string path = qplatform::BulkDevicePath(6017, 0x0c9f, instance);
    EXPECT_EQ(path, "\\\\?\\usb#vid_1781&pid_0c9f#" + c.instance +
                        "#{101f9e3f-8435-4872-bc21-07b27e2baadd}");
    bulk_.devices.clear();
    bulk_.AddDevice(path);
    UsbInterface* device = Open();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->Id(), c.id);
    Destroy(device);
  }
}

}  // namespace
