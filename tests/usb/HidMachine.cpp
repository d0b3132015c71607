#include "HidMachine.h"

#include <linux/hidraw.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace usbemu {
namespace {

// Vendor page, 64-byte input, output and feature reports, no report ids.
const std::vector<uint8_t> kReportDescriptor = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x09, 0x10, 0x15, 0x00,
    0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40, 0x81, 0x02, 0x09, 0x02,
    0x95, 0x40, 0x91, 0x02, 0x09, 0x03, 0x95, 0x40, 0xB1, 0x02, 0xC0};

std::vector<uint8_t> UsbDescriptors(const Identity& id) {
  const uint8_t report_size = static_cast<uint8_t>(kReportDescriptor.size());
  return {// device
          0x12, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x40, static_cast<uint8_t>(id.vendor & 0xFF),
          static_cast<uint8_t>(id.vendor >> 8), static_cast<uint8_t>(id.product & 0xFF),
          static_cast<uint8_t>(id.product >> 8), 0x00, 0x01, 0x01, 0x02, 0x03, 0x01,
          // configuration, the HID interface, its HID descriptor, interrupt IN and OUT
          0x09, 0x02, 0x29, 0x00, 0x01, 0x01, 0x00, 0x80, 0x32,         //
          0x09, 0x04, 0x00, 0x00, 0x02, 0x03, 0x00, 0x00, 0x00,         //
          0x09, 0x21, 0x11, 0x01, 0x00, 0x01, 0x22, report_size, 0x00,  //
          0x07, 0x05, 0x81, 0x03, 0x40, 0x00, 0x01,                     //
          0x07, 0x05, 0x01, 0x03, 0x40, 0x00, 0x01};
}

}  // namespace

HidMachine::HidMachine(Testbed& bed, Identity identity, int index, qsim::MachineOptions options)
    : EmulatedMachine(bed, std::move(identity), std::move(options)), index_(index) {
  g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(OnIoctl), this);
  g_signal_connect(handler_, "handle-read", G_CALLBACK(OnRead), this);
  g_signal_connect(handler_, "handle-write", G_CALLBACK(OnWrite), this);
}

HidMachine::~HidMachine() {
  Locked([this] {
    for (UMockdevIoctlClient* client : held_) {
      umockdev_ioctl_client_complete(client, -1, ETIMEDOUT);
      g_object_unref(client);
    }
    held_.clear();
  });
}

std::string HidMachine::Node() const {
  return "/dev/hidraw" + std::to_string(index_);
}

std::string HidMachine::InterfacePath() const {
  return UsbSysfsPath() + "/1-" + std::to_string(identity().port) + ":1.0";
}

std::string HidMachine::HidPath() const {
  char name[32];
  std::snprintf(name, sizeof name, "/0003:%04X:%04X.%04d", identity().vendor, identity().product,
                index_ + 1);
  return InterfacePath() + name;
}

std::vector<std::string> HidMachine::SysfsPaths() const {
  return {HidPath() + "/hidraw/hidraw" + std::to_string(index_), HidPath(), InterfacePath(),
          UsbSysfsPath()};
}

std::string HidMachine::Record() const {
  const Identity& id = identity();
  char vid[8], pid[8], hid_id[64], product[32], devnum[16];
  std::snprintf(vid, sizeof vid, "%04x", id.vendor);
  std::snprintf(pid, sizeof pid, "%04x", id.product);
  std::snprintf(hid_id, sizeof hid_id, "0003:%08X:%08X", id.vendor, id.product);
  std::snprintf(product, sizeof product, "%x/%x/100", id.vendor, id.product);
  std::snprintf(devnum, sizeof devnum, "%03d", id.port + 1);
  const std::string port = std::to_string(id.port);
  const std::string usb = UsbSysfsPath();
  const std::string interface = InterfacePath();
  const std::string hid = HidPath();
  const std::string hid_name = hid.substr(hid.rfind('/') + 1);
  std::string r;
  r += "P: " + usb + "\n";
  r += std::string("N: bus/usb/001/") + devnum + "\n";
  r += std::string("E: DEVNAME=/dev/bus/usb/001/") + devnum + "\n";
  r += "E: DEVTYPE=usb_device\nE: DRIVER=usb\n";
  r += std::string("E: PRODUCT=") + product + "\nE: TYPE=0/0/0\nE: BUSNUM=001\n";
  r += std::string("E: DEVNUM=") + devnum + "\nE: MAJOR=189\n";
  r += "E: MINOR=" + std::to_string(id.port) + "\nE: SUBSYSTEM=usb\n";
  r += std::string("A: idVendor=") + vid + "\nA: idProduct=" + pid + "\n";
  r += "A: manufacturer=" + id.manufacturer + "\nA: product=" + id.name + "\n";
  r += "A: serial=" + id.serial + "\nA: busnum=1\nA: devnum=" + std::to_string(id.port + 1) + "\n";
  r += "A: bcdDevice=0100\nA: speed=12\nA: bConfigurationValue=1\n";
  r += "A: dev=189:" + std::to_string(id.port) + "\n";
  r += "H: descriptors=" + Hex(UsbDescriptors(id)) + "\n\n";
  r += "P: " + interface + "\n";
  r += "E: DEVTYPE=usb_interface\nE: DRIVER=usbhid\n";
  r += std::string("E: PRODUCT=") + product + "\nE: INTERFACE=3/0/0\nE: SUBSYSTEM=usb\n";
  r += "A: bInterfaceNumber=00\nA: bInterfaceClass=03\n\n";
  r += "P: " + hid + "\n";
  r += "E: DRIVER=hid-generic\n";
  r += std::string("E: HID_ID=") + hid_id + "\n";
  r += "E: HID_NAME=" + id.manufacturer + " " + id.name + "\n";
  r += "E: HID_PHYS=usb-0000:00:14.0-" + port + "/input0\n";
  r += "E: HID_UNIQ=" + id.serial + "\nE: SUBSYSTEM=hid\n";
  r += "H: report_descriptor=" + Hex(kReportDescriptor) + "\n\n";
  r += "P: " + hid + "/hidraw/hidraw" + std::to_string(index_) + "\n";
  // A regular file behind the node (not umockdev's default pty), so that poll() reports it
  // readable and hidapi goes on to read(), which the handler answers.
  r += "N: hidraw" + std::to_string(index_) + "=00\n";
  r += "L: device=../../../" + hid_name + "\n";
  r += "E: DEVNAME=" + Node() + "\nE: MAJOR=241\nE: MINOR=" + std::to_string(index_) + "\n";
  r += "E: SUBSYSTEM=hidraw\nA: dev=241:" + std::to_string(index_) + "\n";
  return r;
}

void HidMachine::RefuseWrites(bool refuse, uint32_t kernel_ms) {
  Locked([&] {
    refuse_writes_ = refuse;
    kernel_ms_ = kernel_ms;
  });
}

void HidMachine::ShortStatus(bool on) {
  Locked([&] { short_status_ = on; });
}

void HidMachine::Spread(uint32_t ms) {
  Locked([&] { spread_ms_ = ms; });
}

int HidMachine::HeldWrites() {
  int n = 0;
  Locked([&] { n = static_cast<int>(held_.size()); });
  return n;
}

gboolean HidMachine::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data) {
  auto* self = static_cast<HidMachine*>(data);
  std::lock_guard<std::recursive_mutex> lock(self->mutex_);
  const gulong request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  if (self->gone_) {
    umockdev_ioctl_client_complete(client, -1, ENODEV);
    return TRUE;
  }
  if (request == HIDIOCGRDESCSIZE) {
    UMockdevIoctlData* size = umockdev_ioctl_data_resolve(arg, 0, sizeof(int), nullptr);
    const int value = static_cast<int>(kReportDescriptor.size());
    std::memcpy(size->data, &value, sizeof value);
    g_object_unref(size);
    umockdev_ioctl_client_complete(client, 0, 0);
    return TRUE;
  }
  if (request == HIDIOCGRDESC) {
    UMockdevIoctlData* desc =
        umockdev_ioctl_data_resolve(arg, 0, sizeof(hidraw_report_descriptor), nullptr);
    auto* out = reinterpret_cast<hidraw_report_descriptor*>(desc->data);
    out->size = static_cast<uint32_t>(kReportDescriptor.size());
    std::memcpy(out->value, kReportDescriptor.data(), kReportDescriptor.size());
    g_object_unref(desc);
    umockdev_ioctl_client_complete(client, 0, 0);
    return TRUE;
  }
  umockdev_ioctl_client_complete(client, -1, ENOTTY);
  return TRUE;
}

gboolean HidMachine::OnRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data) {
  auto* self = static_cast<HidMachine*>(data);
  std::lock_guard<std::recursive_mutex> lock(self->mutex_);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  self->Pump();
  if (!self->gone_ && self->HasDue() && self->to_host_.front().hang_up) self->HangUp();
  if (self->gone_) {
    umockdev_ioctl_client_complete(client, -1, EIO);  // hidraw: the device has left
    return TRUE;
  }
  if (!self->HasDue()) {
    umockdev_ioctl_client_complete(client, -1, EAGAIN);
    return TRUE;
  }
  std::vector<uint8_t> report = std::move(self->to_host_.front().bytes);
  self->to_host_.pop_front();
  if (self->short_status_ && report.size() >= 2 && (report[0] | report[1] << 8) == PACKET_STATUS) {
    report.resize(8);
  }
  const size_t n = std::min<size_t>(report.size(), static_cast<size_t>(arg->data_len));
  umockdev_ioctl_data_update(arg, 0, report.data(), static_cast<gint>(n));
  umockdev_ioctl_client_complete(client, static_cast<glong>(n), 0);
  return TRUE;
}

gboolean HidMachine::OnWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data) {
  auto* self = static_cast<HidMachine*>(data);
  std::lock_guard<std::recursive_mutex> lock(self->mutex_);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  if (self->gone_) {
    umockdev_ioctl_client_complete(client, -1, ENODEV);
    return TRUE;
  }
  if (self->refuse_writes_) {
    // The interrupt OUT transfer is never taken; the kernel gives up after its time-out.
    self->held_.push_back(static_cast<UMockdevIoctlClient*>(g_object_ref(client)));
    std::weak_ptr<bool> alive = self->Alive();
    self->bed_.After(self->kernel_ms_, [self, alive, client] {
      if (!alive.expired()) self->ReleaseHeld(client);
    });
    self->Stalled();
    return TRUE;
  }
  // Report id 0 first, then the 64 bytes of the packet.
  PacketRecord record;
  const size_t n = std::min<size_t>(static_cast<size_t>(arg->data_len), kPacketRecordSize);
  std::memcpy(record.bytes, arg->data, n);
  self->FromHost(record);
  umockdev_ioctl_client_complete(client, arg->data_len, 0);
  return TRUE;
}

void HidMachine::ReleaseHeld(UMockdevIoctlClient* client) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = std::find(held_.begin(), held_.end(), client);
  if (it == held_.end()) return;
  held_.erase(it);
  if (umockdev_ioctl_client_get_connected(client)) {
    umockdev_ioctl_client_complete(client, -1, ETIMEDOUT);
  }
  g_object_unref(client);
}

ForeignHid::ForeignHid(Testbed& bed, int index, int port)
    : HidMachine(bed, Identity{0x046d, 0xc31c, "", "Logitech", "Keyboard", port}, index) {}

}  // namespace usbemu
