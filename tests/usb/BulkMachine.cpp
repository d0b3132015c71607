#include "BulkMachine.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace usbemu {
namespace {

constexpr uint8_t kInEndpoint = 0x81;
constexpr uint8_t kOutEndpoint = 0x02;

usbdevfs_urb* UrbOf(UMockdevIoctlData* data) {
  return reinterpret_cast<usbdevfs_urb*>(data->data);
}

void Endpoint(std::vector<uint8_t>& d, uint8_t address, uint8_t type, uint16_t max_packet) {
  const uint8_t interval = type == 3 ? 1 : 0;
  d.insert(d.end(), {0x07, 0x05, address, type, static_cast<uint8_t>(max_packet & 0xFF),
                     static_cast<uint8_t>(max_packet >> 8), interval});
}

std::vector<uint8_t> DeviceDescriptor(const Identity& id) {
  return {0x12,
          0x01,
          0x00,
          0x02,
          0x00,
          0x00,
          0x00,
          0x40,
          static_cast<uint8_t>(id.vendor & 0xFF),
          static_cast<uint8_t>(id.vendor >> 8),
          static_cast<uint8_t>(id.product & 0xFF),
          static_cast<uint8_t>(id.product >> 8),
          0x00,
          0x01,
          0x01,
          0x02,
          0x03,
          0x01};
}

std::vector<uint8_t> ConfigDescriptor(BulkShape shape, uint16_t max_packet) {
  std::vector<uint8_t> endpoints;
  switch (shape) {
    case BulkShape::kMachine:
    case BulkShape::kMassStorage:
      Endpoint(endpoints, kInEndpoint, 2, max_packet);
      Endpoint(endpoints, kOutEndpoint, 2, max_packet);
      break;
    case BulkShape::kNoBulkPair:
      Endpoint(endpoints, kInEndpoint, 3, 64);
      Endpoint(endpoints, kOutEndpoint, 3, 64);
      break;
    case BulkShape::kTwoBulkPairs:
      Endpoint(endpoints, kInEndpoint, 2, max_packet);
      Endpoint(endpoints, kOutEndpoint, 2, max_packet);
      Endpoint(endpoints, 0x83, 2, max_packet);
      Endpoint(endpoints, 0x04, 2, max_packet);
      break;
  }
  const uint8_t interface_class = shape == BulkShape::kMassStorage ? 0x08 : 0xFF;
  const size_t total = 9 + 9 + endpoints.size();
  std::vector<uint8_t> d = {0x09,
                            0x02,
                            static_cast<uint8_t>(total),
                            0x00,
                            0x01,
                            0x01,
                            0x00,
                            0x80,
                            0x32,
                            0x09,
                            0x04,
                            0x00,
                            0x00,
                            static_cast<uint8_t>(endpoints.size() / 7),
                            interface_class,
                            0x00,
                            0x00,
                            0x00};
  // One byte at a time: GCC 12 takes a range insert into this small vector for an overflow.
  for (uint8_t b : endpoints) d.push_back(b);
  return d;
}

}  // namespace

BulkMachine::BulkMachine(Testbed& bed, Identity identity, bool high_speed, BulkShape shape,
                         qsim::MachineOptions options)
    : EmulatedMachine(bed, std::move(identity), std::move(options)),
      high_speed_(high_speed),
      shape_(shape) {
  g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(OnIoctl), this);
  g_signal_connect(handler_, "client-vanished", G_CALLBACK(OnVanished), this);
}

void BulkMachine::OnVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data) {
  // The file was closed: the kernel drops its URBs.
  auto* self = static_cast<BulkMachine*>(data);
  std::lock_guard<std::recursive_mutex> lock(self->mutex_);
  for (std::deque<Urb>* list : {&self->in_, &self->out_, &self->done_}) {
    std::erase_if(*list, [&](const Urb& urb) {
      if (urb.client != client) return false;
      g_object_unref(urb.data);
      return true;
    });
  }
}

BulkMachine::~BulkMachine() {
  bed_.Run([this] {
    for (std::deque<Urb>* list : {&in_, &out_, &done_}) {
      for (Urb& urb : *list) g_object_unref(urb.data);
      list->clear();
    }
  });
}

std::string BulkMachine::Node() const {
  char node[32];
  std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03d", identity().port + 1);
  return node;
}

std::vector<std::string> BulkMachine::SysfsPaths() const {
  return {UsbSysfsPath() + "/1-" + std::to_string(identity().port) + ":1.0", UsbSysfsPath()};
}

std::string BulkMachine::Record() const {
  const Identity& id = identity();
  char vid[8], pid[8], product[32];
  std::snprintf(vid, sizeof vid, "%04x", id.vendor);
  std::snprintf(pid, sizeof pid, "%04x", id.product);
  std::snprintf(product, sizeof product, "%x/%x/100", id.vendor, id.product);
  const std::string devnum = std::to_string(id.port + 1);
  const std::string port = std::to_string(id.port);
  std::vector<uint8_t> descriptors = DeviceDescriptor(id);
  const std::vector<uint8_t> config = ConfigDescriptor(shape_, MaxPacket());
  descriptors.insert(descriptors.end(), config.begin(), config.end());
  const int interface_class = shape_ == BulkShape::kMassStorage ? 8 : 255;
  std::string r;
  r += "P: " + UsbSysfsPath() + "\n";
  r += "N: " + Node().substr(5) + "\n";
  r += "E: DEVNAME=" + Node() + "\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n";
  r += std::string("E: PRODUCT=") + product + "\nE: TYPE=0/0/0\nE: BUSNUM=001\n";
  r += "E: DEVNUM=" + Node().substr(Node().size() - 3) + "\nE: MAJOR=189\n";
  r += "E: MINOR=" + port + "\nE: SUBSYSTEM=usb\n";
  r += std::string("A: idVendor=") + vid + "\nA: idProduct=" + pid + "\n";
  r += "A: manufacturer=" + id.manufacturer + "\nA: product=" + id.name + "\n";
  if (!id.serial.empty()) r += "A: serial=" + id.serial + "\n";
  r += "A: busnum=1\nA: devnum=" + devnum + "\nA: bcdDevice=0100\n";
  r += std::string("A: speed=") + (high_speed_ ? "480" : "12") + "\nA: bConfigurationValue=1\n";
  r += "A: dev=189:" + port + "\n";
  r += "H: descriptors=" + Hex(descriptors) + "\n\n";
  r += "P: " + UsbSysfsPath() + "/1-" + port + ":1.0\n";
  r += "E: DEVTYPE=usb_interface\n";
  r += std::string("E: PRODUCT=") + product + "\n";
  r += "E: INTERFACE=" + std::to_string(interface_class) + "/0/0\nE: SUBSYSTEM=usb\n";
  r += "A: bInterfaceNumber=00\n";
  return r;
}

void BulkMachine::RefuseWrites(bool refuse) {
  Locked([&] { refuse_writes_ = refuse; });
}

void BulkMachine::ShortTransfers(bool on) {
  Locked([&] { short_transfers_ = on; });
}

void BulkMachine::Spread(uint32_t ms) {
  Locked([&] { spread_ms_ = ms; });
}

void BulkMachine::CompleteOnDiscard(bool on) {
  Locked([&] { complete_on_discard_ = on; });
}

void BulkMachine::HoldStatus(bool on) {
  Locked([&] {
    hold_status_ = on;
    Deliver();
  });
}

int BulkMachine::InUrbsInFlight() {
  int n = 0;
  Locked([&] { n = static_cast<int>(in_.size()); });
  return n;
}

int BulkMachine::OutUrbsInFlight() {
  int n = 0;
  Locked([&] { n = static_cast<int>(out_.size()); });
  return n;
}

int BulkMachine::Discards() {
  int n = 0;
  Locked([&] { n = discards_; });
  return n;
}

int BulkMachine::InCompletions() {
  int n = 0;
  Locked([&] { n = in_completions_; });
  return n;
}

gboolean BulkMachine::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data) {
  auto* self = static_cast<BulkMachine*>(data);
  std::lock_guard<std::recursive_mutex> lock(self->mutex_);
  const gulong request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(uint32_t), nullptr);
      const uint32_t value = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                             USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
      std::memcpy(caps->data, &value, sizeof value);
      g_object_unref(caps);
      umockdev_ioctl_client_complete(client, 0, 0);
      return TRUE;
    }
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_DISCONNECT_CLAIM:
      umockdev_ioctl_client_complete(client, self->gone_ ? -1 : 0, self->gone_ ? ENODEV : 0);
      return TRUE;
    case USBDEVFS_RELEASEINTERFACE:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
      umockdev_ioctl_client_complete(client, 0, 0);
      return TRUE;
    case USBDEVFS_GETDRIVER:
      umockdev_ioctl_client_complete(client, -1, ENODATA);  // no kernel driver bound
      return TRUE;
    case USBDEVFS_SUBMITURB:
      self->Submit(client);
      return TRUE;
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
      self->Reap(client);
      return TRUE;
    case USBDEVFS_DISCARDURB:
      self->Discard(client);
      return TRUE;
    default:
      umockdev_ioctl_client_complete(client, -1, ENOTTY);
      return TRUE;
  }
}

void BulkMachine::Submit(UMockdevIoctlClient* client) {
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  if (gone_) {
    umockdev_ioctl_client_complete(client, -1, ENODEV);
    return;
  }
  Urb urb{client, umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr)};
  usbdevfs_urb* u = UrbOf(urb.data);
  if (u->buffer_length > 0) {
    UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(
        urb.data, offsetof(usbdevfs_urb, buffer), static_cast<gsize>(u->buffer_length), nullptr);
    if (buffer != nullptr) g_object_unref(buffer);  // the URB keeps it
  }
  u->actual_length = 0;
  u->status = 0;
  if (u->type == USBDEVFS_URB_TYPE_CONTROL) {
    const bool ok = Control(urb);
    umockdev_ioctl_client_complete(client, 0, 0);
    Finish(urb, ok ? 0 : -EPIPE);
    return;
  }
  if (u->type != USBDEVFS_URB_TYPE_BULK ||
      (u->endpoint != kInEndpoint && u->endpoint != kOutEndpoint)) {
    g_object_unref(urb.data);
    umockdev_ioctl_client_complete(client, -1, EINVAL);
    return;
  }
  umockdev_ioctl_client_complete(client, 0, 0);
  if (u->endpoint == kInEndpoint) {
    in_.push_back(urb);
    Deliver();
    return;
  }
  if (refuse_writes_) {
    out_.push_back(urb);
    Stalled();
    return;
  }
  const auto* bytes = static_cast<const uint8_t*>(u->buffer);
  for (int at = 0; at + static_cast<int>(kPacketSize) <= u->buffer_length;
       at += static_cast<int>(kPacketSize)) {
    PacketRecord record;
    std::memcpy(record.bytes + 1, bytes + at, kPacketSize);
    FromHost(record);
  }
  u->actual_length = u->buffer_length;
  Finish(urb, 0);
  Deliver();
}

bool BulkMachine::Control(Urb& urb) {
  usbdevfs_urb* u = UrbOf(urb.data);
  if (u->buffer_length < 8) return false;
  auto* setup = static_cast<uint8_t*>(u->buffer);
  const uint8_t request_type = setup[0];
  const uint8_t request = setup[1];
  const uint16_t value = static_cast<uint16_t>(setup[2] | setup[3] << 8);
  const uint16_t length = static_cast<uint16_t>(setup[6] | setup[7] << 8);
  if (request_type != 0x80 || request != 6) return false;  // GET_DESCRIPTOR only
  const Identity& id = identity();
  std::vector<uint8_t> answer;
  switch (value >> 8) {
    case 1:
      answer = DeviceDescriptor(id);
      break;
    case 3:
      switch (value & 0xFF) {
        case 0:
          answer = {0x04, 0x03, 0x09, 0x04};  // English (United States)
          break;
        case 1:
          answer = StringDescriptor(id.manufacturer);
          break;
        case 2:
          answer = StringDescriptor(id.name);
          break;
        case 3:
          if (id.serial.empty()) return false;
          answer = StringDescriptor(id.serial);
          break;
        default:
          return false;
      }
      break;
    default:
      return false;
  }
  const size_t n =
      std::min<size_t>({answer.size(), length, static_cast<size_t>(u->buffer_length - 8)});
  std::memcpy(setup + 8, answer.data(), n);
  u->actual_length = static_cast<int>(n);
  return true;
}

void BulkMachine::Finish(Urb urb, int status) {
  usbdevfs_urb* u = UrbOf(urb.data);
  u->status = status;
  if (u->type == USBDEVFS_URB_TYPE_BULK && u->endpoint == kInEndpoint) {
    u->actual_length = urb.filled;
    ++in_completions_;
  }
  done_.push_back(urb);
}

void BulkMachine::Reap(UMockdevIoctlClient* client) {
  auto it = std::find_if(done_.begin(), done_.end(),
                         [&](const Urb& urb) { return urb.client == client; });
  if (it == done_.end()) {
    umockdev_ioctl_client_complete(client, -1, gone_ ? ENODEV : EAGAIN);
    return;
  }
  Urb urb = *it;
  done_.erase(it);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
  umockdev_ioctl_data_set_ptr(slot, 0, urb.data);
  g_object_unref(slot);
  g_object_unref(urb.data);
  umockdev_ioctl_client_complete(client, 0, 0);
}

void BulkMachine::Discard(UMockdevIoctlClient* client) {
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  gulong address = 0;
  std::memcpy(&address, arg->data, sizeof address);
  for (std::deque<Urb>* list : {&in_, &out_}) {
    for (auto it = list->begin(); it != list->end(); ++it) {
      if (it->client != client || it->data->client_addr != address) continue;
      Urb urb = *it;
      list->erase(it);
      ++discards_;
      if (complete_on_discard_ && list == &in_ && urb.filled > 0) {
        // The data came in as the host gave up: the URB completed and is no longer there
        // to discard.
        Finish(urb, 0);
        umockdev_ioctl_client_complete(client, -1, EINVAL);
      } else {
        Finish(urb, -ENOENT);
        umockdev_ioctl_client_complete(client, 0, 0);
      }
      return;
    }
  }
  umockdev_ioctl_client_complete(client, -1, EINVAL);
}

bool BulkMachine::NextUsbPacket(std::vector<uint8_t>* packet) {
  packet->clear();
  if (zero_length_due_) {
    zero_length_due_ = false;
    return true;
  }
  while (HasDue() && packet->size() + kPacketSize <= MaxPacket()) {
    const ToHost& next = to_host_.front();
    if (next.hang_up) break;
    if (hold_status_ && next.bytes.size() >= 2 &&
        (next.bytes[0] | next.bytes[1] << 8) == PACKET_STATUS) {
      Stalled();
      break;
    }
    packet->insert(packet->end(), next.bytes.begin(), next.bytes.end());
    to_host_.pop_front();
    if (short_transfers_) break;
  }
  if (packet->empty()) return false;
  if (short_transfers_) zero_length_due_ = true;
  return true;
}

void BulkMachine::Deliver() {
  std::vector<uint8_t> packet;
  for (;;) {
    // A hang-up takes effect as soon as everything before it went out.
    if (!gone_ && HasDue() && to_host_.front().hang_up) HangUp();
    if (gone_) {
      // Unplugged: the kernel gives every URB back with -ESHUTDOWN.
      for (std::deque<Urb>* list : {&in_, &out_}) {
        while (!list->empty()) {
          Urb urb = list->front();
          list->pop_front();
          Finish(urb, -ESHUTDOWN);
        }
      }
      return;
    }
    if (in_.empty() || !NextUsbPacket(&packet)) return;
    Urb& urb = in_.front();
    usbdevfs_urb* u = UrbOf(urb.data);
    auto* buffer = static_cast<uint8_t*>(u->buffer);
    const size_t room = static_cast<size_t>(u->buffer_length - urb.filled);
    if (packet.size() > room) {
      // Babble: the device sent more than the URB holds; the rest of the packet is lost.
      std::memcpy(buffer + urb.filled, packet.data(), room);
      urb.filled += static_cast<int>(room);
      Urb full = urb;
      in_.pop_front();
      Finish(full, -EOVERFLOW);
      continue;
    }
    if (!packet.empty()) std::memcpy(buffer + urb.filled, packet.data(), packet.size());
    urb.filled += static_cast<int>(packet.size());
    if (packet.size() < MaxPacket() || urb.filled == u->buffer_length) {
      Urb complete = urb;
      in_.pop_front();
      Finish(complete, 0);
    }
  }
}

}  // namespace usbemu
