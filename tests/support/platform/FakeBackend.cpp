#include "FakeBackend.h"

#include <algorithm>
#include <cstring>

#include "clock.h"

namespace qplatform {
namespace {

bool Due(uint32_t tick) {
  return static_cast<int32_t>(qclock::GetTickCount() - tick) >= 0;
}

void SleepUntil(uint32_t tick) {
  const uint32_t now = qclock::GetTickCount();
  if (static_cast<int32_t>(tick - now) > 0) qclock::Sleep(tick - now);
}

const std::string kReadPipe = "\\PIPE00";
const std::string kWritePipe = "\\PIPE01";

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// A HID device: one record per completion.
class FakeHidHandle : public HidDevice {
 public:
  explicit FakeHidHandle(std::shared_ptr<FakeDevice> device) : device_(std::move(device)) {
    device_->held = true;
  }
  ~FakeHidHandle() override { device_->held = false; }

  bool AcceptTransfer(bool write, LinkError* error) override {
    if (device_->unplugged) {
      *error = LinkError::kDeviceNotConnected;
      return false;
    }
    if (write && device_->refuse_write_start) {
      *error = LinkError::kGenFailure;
      return false;
    }
    return true;
  }

  bool TryRead(uint8_t* buffer, uint32_t size, LinkError* error, uint32_t* bytes) override {
    *bytes = 0;
    *error = LinkError::kSuccess;
    if (device_->unplugged) {
      *error = LinkError::kDeviceNotConnected;
      return true;
    }
    auto& in = device_->incoming;
    if (in.empty() || !Due(in.front().tick)) return false;
    FakeDevice::Chunk& chunk = in.front();
    if (chunk.error != LinkError::kSuccess) {
      *error = chunk.error;
      in.pop_front();
      return true;
    }
    const size_t n = std::min<size_t>(size, chunk.bytes.size());
    std::memcpy(buffer, chunk.bytes.data(), n);
    *bytes = static_cast<uint32_t>(n);
    chunk.bytes.erase(chunk.bytes.begin(), chunk.bytes.begin() + static_cast<std::ptrdiff_t>(n));
    if (chunk.bytes.empty()) in.pop_front();
    return true;
  }

  bool TryWrite(const uint8_t* buffer, uint32_t size, LinkError* error, uint32_t* bytes) override {
    *bytes = 0;
    *error = LinkError::kSuccess;
    if (device_->unplugged) {
      *error = LinkError::kDeviceNotConnected;
      return true;
    }
    if (device_->writes_stall) return false;
    device_->writes.emplace_back(buffer, buffer + size);
    if (device_->on_write) device_->on_write(*device_, buffer, size);
    *error = device_->write_error;
    *bytes = device_->write_bytes >= 0 ? static_cast<uint32_t>(device_->write_bytes) : size;
    return true;
  }

  bool NextEventTick(bool write, uint32_t* tick) override {
    if (write || device_->incoming.empty()) return false;
    *tick = device_->incoming.front().tick;
    return true;
  }

  bool GetAttributes(HidAttributes* attributes) override {
    if (device_->attributes_fail) return false;
    *attributes = device_->attributes;
    return true;
  }
  bool GetProductString(std::wstring* text) override {
    if (device_->product_fails) return false;
    *text = device_->product;
    return true;
  }
  bool GetManufacturerString(std::wstring* text) override {
    if (device_->manufacturer_fails) return false;
    *text = device_->manufacturer;
    return true;
  }
  bool GetSerialNumberString(std::wstring* text) override {
    if (device_->serial_fails) return false;
    *text = device_->serial;
    return true;
  }
  bool GetNumInputBuffers(uint32_t* count) override {
    *count = device_->input_buffers;
    return true;
  }
  bool SetNumInputBuffers(uint32_t count) override {
    device_->input_buffers = count;
    return true;
  }

 private:
  std::shared_ptr<FakeDevice> device_;
};

// A bulk pipe: one transfer at a time, waited for on its event.
class FakePipeHandle : public PipeDevice {
 public:
  FakePipeHandle(std::shared_ptr<FakeDevice> device, bool reading)
      : device_(std::move(device)), reading_(reading) {
    (reading_ ? device_->read_held : device_->write_held) = true;
  }
  ~FakePipeHandle() override { (reading_ ? device_->read_held : device_->write_held) = false; }

  IoStart Read(uint8_t* buffer, uint32_t size, uint32_t* bytes, LinkError* error) override {
    *bytes = 0;
    *error = LinkError::kSuccess;
    if (!reading_) return Fail(LinkError::kAccessDenied, error);
    if (device_->unplugged) return Fail(LinkError::kDeviceNotConnected, error);
    if (pending_) return Fail(LinkError::kBusy, error);
    buffer_ = buffer;
    size_ = size;
    if (ReadReady()) {
      *error = TakeRead(bytes) ? LinkError::kSuccess : last_error_;
      return *error == LinkError::kSuccess ? IoStart::kCompleted : IoStart::kFailed;
    }
    pending_ = true;
    *error = LinkError::kIoPending;
    return IoStart::kPending;
  }

  IoStart Write(const uint8_t* buffer, uint32_t size, uint32_t* bytes, LinkError* error) override {
    *bytes = 0;
    *error = LinkError::kSuccess;
    if (reading_) return Fail(LinkError::kAccessDenied, error);
    if (device_->unplugged) return Fail(LinkError::kDeviceNotConnected, error);
    if (pending_) return Fail(LinkError::kBusy, error);
    if (device_->refuse_write_start || device_->write_error != LinkError::kSuccess) {
      return Fail(device_->write_error != LinkError::kSuccess ? device_->write_error
                                                              : LinkError::kGenFailure,
                  error);
    }
    device_->writes.emplace_back(buffer, buffer + size);
    if (device_->on_write) device_->on_write(*device_, buffer, size);
    size_ = size;
    if (!device_->writes_stall && device_->write_latency == 0) {
      *bytes = WrittenCount();
      return IoStart::kCompleted;
    }
    pending_ = true;
    write_done_tick_ = qclock::GetTickCount() + device_->write_latency;
    *error = LinkError::kIoPending;
    return IoStart::kPending;
  }

  WaitResult WaitPending(uint32_t ms) override {
    if (!pending_) return WaitResult::kFailed;
    const uint32_t limit = qclock::GetTickCount() + ms;
    uint32_t ready = 0;
    bool known = false;
    if (device_->unplugged) {
      ready = qclock::GetTickCount();
      known = true;
    } else if (reading_) {
      known = ReadReadyTick(&ready);
    } else if (!device_->writes_stall) {
      ready = write_done_tick_;
      known = true;
    }
    if (known && static_cast<int32_t>(limit - ready) >= 0) {
      SleepUntil(ready);
      return WaitResult::kSignaled;
    }
    qclock::Sleep(ms);
    return WaitResult::kTimeout;
  }

  bool PendingResult(uint32_t* bytes, LinkError* error) override {
    *bytes = 0;
    *error = LinkError::kSuccess;
    if (!pending_) {
      *error = LinkError::kOperationAborted;
      return false;
    }
    pending_ = false;
    if (device_->unplugged) {
      *error = LinkError::kDeviceNotConnected;
      return false;
    }
    if (!reading_) {
      *bytes = WrittenCount();
      return true;
    }
    if (!TakeRead(bytes)) {
      *error = last_error_;
      return false;
    }
    return true;
  }

  bool CancelIo(LinkError* error) override {
    pending_ = false;
    if (error != nullptr) *error = LinkError::kSuccess;
    return true;
  }

  bool ResetEvent(LinkError* error) override {
    if (error != nullptr) *error = LinkError::kSuccess;
    return true;
  }

 private:
  IoStart Fail(LinkError code, LinkError* error) {
    *error = code;
    return IoStart::kFailed;
  }

  uint32_t WrittenCount() const {
    return device_->write_bytes >= 0 ? static_cast<uint32_t>(device_->write_bytes) : size_;
  }

  // The tick at which the stream holds `size_` bytes (or an error reaches the front).
  bool ReadReadyTick(uint32_t* tick) const {
    size_t have = 0;
    for (const FakeDevice::Chunk& c : device_->incoming) {
      if (c.error != LinkError::kSuccess || have + c.bytes.size() >= size_) {
        *tick = c.tick;
        return true;
      }
      have += c.bytes.size();
    }
    return false;
  }

  bool ReadReady() const {
    uint32_t tick = 0;
    return ReadReadyTick(&tick) && Due(tick);
  }

  // Takes `size_` bytes off the stream, or the error that stands in the way.
  bool TakeRead(uint32_t* bytes) {
    auto& in = device_->incoming;
    size_t have = 0;
    while (have < size_ && !in.empty()) {
      FakeDevice::Chunk& c = in.front();
      if (c.error != LinkError::kSuccess) {
        last_error_ = c.error;
        in.pop_front();
        *bytes = static_cast<uint32_t>(have);
        return false;
      }
      const size_t n = std::min(size_ - have, c.bytes.size());
      std::memcpy(buffer_ + have, c.bytes.data(), n);
      have += n;
      c.bytes.erase(c.bytes.begin(), c.bytes.begin() + static_cast<std::ptrdiff_t>(n));
      if (c.bytes.empty()) in.pop_front();
    }
    *bytes = static_cast<uint32_t>(have);
    return true;
  }

  std::shared_ptr<FakeDevice> device_;
  const bool reading_;
  bool pending_ = false;
  uint8_t* buffer_ = nullptr;
  size_t size_ = 0;
  uint32_t write_done_tick_ = 0;
  LinkError last_error_ = LinkError::kSuccess;
};

}  // namespace

std::vector<PacketRecord> FakeDevice::WrittenPackets() const {
  std::vector<PacketRecord> out;
  for (const auto& w : writes) {
    if (kind == Kind::kHid) {
      PacketRecord r;
      std::memcpy(r.bytes, w.data(), std::min(w.size(), kPacketRecordSize));
      out.push_back(r);
      continue;
    }
    for (size_t off = 0; off + kPacketSize <= w.size(); off += kPacketSize) {
      PacketRecord r;
      std::memcpy(r.bytes + 1, w.data() + off, kPacketSize);
      out.push_back(r);
    }
  }
  return out;
}

void FakeDevice::SendAt(uint32_t tick, std::vector<uint8_t> bytes) {
  incoming.push_back({tick, std::move(bytes), LinkError::kSuccess});
}

void FakeDevice::SendPacket(const PacketRecord& packet, uint32_t delay) {
  const uint32_t tick = qclock::GetTickCount() + delay;
  if (kind == Kind::kHid) {
    SendAt(tick, std::vector<uint8_t>(packet.bytes, packet.bytes + kPacketRecordSize));
  } else {
    SendAt(tick, std::vector<uint8_t>(packet.bytes + 1, packet.bytes + kPacketRecordSize));
  }
}

void FakeDevice::SendPackets(const std::vector<PacketRecord>& packets, uint32_t delay) {
  for (const PacketRecord& p : packets) SendPacket(p, delay);
}

void FakeDevice::FailReadAt(uint32_t tick, LinkError error) {
  incoming.push_back({tick, {}, error});
}

void FakeDevice::Unplug() {
  unplugged = true;
}

void FakeFirmware::Attach(FakeDevice& device) {
  device.on_write = [this](FakeDevice& d, const uint8_t* bytes, uint32_t size) {
    const size_t unit = d.kind == FakeDevice::Kind::kHid ? kPacketRecordSize : kPacketSize;
    const size_t skip = d.kind == FakeDevice::Kind::kHid ? 0 : 1;
    for (size_t off = 0; off + unit <= size; off += unit) {
      PacketRecord p;
      std::memcpy(p.bytes + skip, bytes + off, unit);
      switch (PacketTypeOf(p)) {
        case PACKET_HEADER:
          last_transmission = HeaderTransmission(p);
          break;
        case PACKET_ALIVE:
          ++alive_count;
          break;
        case PACKET_COMMAND: {
          const std::string command = CommandText(p);
          commands.push_back(command);
          const std::string reply = answer ? answer(command) : "00 OK";
          d.SendPackets(MakeReply(last_transmission, reply.data(), reply.size(), status, ""),
                        reply_delay);
          break;
        }
        default:
          break;
      }
    }
  };
}

std::shared_ptr<FakeDevice> FakeDevices::AddDevice(const std::string& path) {
  devices.push_back(std::make_shared<FakeDevice>(kind_, path));
  return devices.back();
}

bool FakeDevices::List(std::vector<InterfaceEntry>* entries, LinkError* error) const {
  entries->clear();
  if (list_fails) {
    *error = list_error;
    return false;
  }
  *entries = extra_entries;
  for (const auto& d : devices) {
    if (!d->unplugged) entries->push_back({0, false, d->path});
  }
  *error = LinkError::kSuccess;
  return true;
}

std::shared_ptr<FakeDevice> FakeDevices::Find(const std::string& path, LinkError* error) const {
  auto it = std::find_if(devices.begin(), devices.end(),
                         [&](const auto& d) { return d->path == path && !d->unplugged; });
  if (it == devices.end()) {
    *error = LinkError::kFileNotFound;
    return nullptr;
  }
  return *it;
}

std::unique_ptr<HidDevice> FakeHidBackend::Open(const std::string& path, LinkError* error) {
  std::shared_ptr<FakeDevice> d = Find(path, error);
  if (!d) return nullptr;
  if (d->open_error != LinkError::kSuccess) {
    *error = d->open_error;
    return nullptr;
  }
  if (d->held) {
    *error = LinkError::kSharingViolation;
    return nullptr;
  }
  ++d->opens;
  *error = LinkError::kSuccess;
  return std::make_unique<FakeHidHandle>(d);
}

std::unique_ptr<PipeDevice> FakeBulkBackend::Open(const std::string& path, LinkError* error) {
  const bool read_pipe = EndsWith(path, kReadPipe);
  if (!read_pipe && !EndsWith(path, kWritePipe)) {
    *error = LinkError::kFileNotFound;
    return nullptr;
  }
  std::shared_ptr<FakeDevice> d = Find(path.substr(0, path.size() - kReadPipe.size()), error);
  if (!d) return nullptr;
  if (d->open_error != LinkError::kSuccess) {
    *error = d->open_error;
    return nullptr;
  }
  if (read_pipe ? d->read_held : d->write_held) {
    *error = LinkError::kSharingViolation;
    return nullptr;
  }
  ++d->opens;
  *error = LinkError::kSuccess;
  return std::make_unique<FakePipeHandle>(d, read_pipe);
}

bool FakeBulkBackend::Probe(const std::string& path, LinkError* error) {
  std::shared_ptr<FakeDevice> d = Find(path, error);
  if (!d) return false;
  *error = d->probe_error;
  return d->probe_error == LinkError::kSuccess;
}

}  // namespace qplatform
