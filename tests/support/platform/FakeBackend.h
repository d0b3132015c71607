// An in-memory backend for tests: scripted machines that record what the host wrote, send what
// the script says at the tick it says, fail on request and can be unplugged. Time is the
// installed clock's, so a fake clock runs minutes of machine time in microseconds.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "PacketFormat.h"
#include "platform/DeviceHandle.h"

namespace qplatform {

class FakeDevice : public std::enable_shared_from_this<FakeDevice> {
 public:
  enum class Kind { kHid, kBulk };
  FakeDevice(Kind kind, std::string path) : kind(kind), path(std::move(path)) {}

  const Kind kind;
  const std::string path;  // HID: the device path; bulk: the path without pipe suffix

  // Identity, as the HID queries return it.
  HidAttributes attributes{6017, 12624, 0x0100};
  std::wstring product = L"Card dealer";
  std::wstring manufacturer = L"Dealer maker";
  std::wstring serial = L"0000ABCD";
  uint32_t input_buffers = 32;
  // Failures of the identity queries and of opening.
  bool product_fails = false;
  bool attributes_fail = false;
  bool manufacturer_fails = false;
  bool serial_fails = false;
  LinkError open_error = LinkError::kSuccess;   // else: every exclusive open fails with it
  LinkError probe_error = LinkError::kSuccess;  // else: a probe open fails with it

  // --- What the host wrote: every transfer's bytes, in order. ---------------------------------
  std::vector<std::vector<uint8_t>> writes;
  // The written bytes as packet records (HID: each 65-byte write; bulk: each 64-byte unit with
  // the report id put back).
  std::vector<PacketRecord> WrittenPackets() const;

  // --- What the device sends. ------------------------------------------------------------------
  // Raw bytes that one read completion delivers (HID), or that join the byte stream (bulk),
  // from `tick` on.
  void SendAt(uint32_t tick, std::vector<uint8_t> bytes);
  // A packet record `delay` ms from now: 65 bytes on HID, its 64 wire bytes on bulk.
  void SendPacket(const PacketRecord& packet, uint32_t delay = 0);
  void SendPackets(const std::vector<PacketRecord>& packets, uint32_t delay = 0);
  // The next read finishes with this error at `tick` (HID).
  void FailReadAt(uint32_t tick, LinkError error);
  // Called after each host write is recorded: the firmware's reaction.
  std::function<void(FakeDevice&, const uint8_t*, uint32_t)> on_write;

  // Write behaviour: writes finish at once with the full count unless one of these says
  // otherwise.
  LinkError write_error = LinkError::kSuccess;  // the write finishes with this error
  int64_t write_bytes = -1;                     // the write reports this many bytes
  bool writes_stall = false;                    // the write never finishes
  bool refuse_write_start = false;              // the write cannot be started at all
  uint32_t write_latency = 0;                   // bulk: the write is pending this many ms

  // Unplugging: pending and later transfers fail with LinkError::kDeviceNotConnected, the device is
  // no longer listed and cannot be opened.
  void Unplug();
  bool unplugged = false;

  // --- Handle side (used by the fake handles). ------------------------------------------------
  struct Chunk {
    uint32_t tick;
    std::vector<uint8_t> bytes;
    LinkError error;
  };
  std::deque<Chunk> incoming;
  bool held = false;        // HID: opened exclusively
  bool read_held = false;   // bulk "\PIPE00"
  bool write_held = false;  // bulk "\PIPE01"
  int opens = 0;            // exclusive opens so far
};

// A scripted machine for the command protocol: answers each COMMAND with the reply the test
// set for it (HEADER with the transmission number of the HEADER before it, DATA, STATUS).
struct FakeFirmware {
  // Returns the reply text and status for a command; the default echoes "00 OK".
  std::function<std::string(const std::string& command)> answer;
  uint8_t status = 0;
  uint32_t reply_delay = 1;
  uint32_t last_transmission = 0;
  std::vector<std::string> commands;
  int alive_count = 0;

  void Attach(FakeDevice& device);
};

// What the two fake backends share: the scripted devices of one kind and their listing.
class FakeDevices {
 public:
  explicit FakeDevices(FakeDevice::Kind kind) : kind_(kind) {}

  std::shared_ptr<FakeDevice> AddDevice(const std::string& path);
  // Members that fail when listed, in front of the devices.
  std::vector<InterfaceEntry> extra_entries;
  bool list_fails = false;
  LinkError list_error = LinkError::kInvalidData;
  std::vector<std::shared_ptr<FakeDevice>> devices;

 protected:
  ~FakeDevices() = default;
  bool List(std::vector<InterfaceEntry>* entries, LinkError* error) const;
  // The device still plugged in at `path`, or nullptr with *error LinkError::kFileNotFound.
  std::shared_ptr<FakeDevice> Find(const std::string& path, LinkError* error) const;

 private:
  FakeDevice::Kind kind_;
};

// HID machines: each exclusive open is one HidDevice, one record per read completion.
class FakeHidBackend : public HidBackend, public FakeDevices {
 public:
  FakeHidBackend() : FakeDevices(FakeDevice::Kind::kHid) {}

  bool ListInterfaces(std::vector<InterfaceEntry>* entries, LinkError* error) override {
    return List(entries, error);
  }
  std::unique_ptr<HidDevice> Open(const std::string& path, LinkError* error) override;
};

// Bulk machines: "\PIPE00" and "\PIPE01" opened apart, and the bare path probed.
class FakeBulkBackend : public BulkBackend, public FakeDevices {
 public:
  FakeBulkBackend() : FakeDevices(FakeDevice::Kind::kBulk) {}

  bool ListInterfaces(std::vector<InterfaceEntry>* entries, LinkError* error) override {
    return List(entries, error);
  }
  std::unique_ptr<PipeDevice> Open(const std::string& path, LinkError* error) override;
  bool Probe(const std::string& path, LinkError* error) override;
};

}  // namespace qplatform
