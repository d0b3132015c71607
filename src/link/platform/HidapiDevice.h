// The HID machine through hidapi, the part that is the same on every system: the listing (the
// machine's vendor and its two products only; each node's identity taken from it, so no
// per-device query is needed once a node is open), reads (every waiting report that fits, each
// with report id 0 put in front, so records stay 65 bytes), the identity queries, and the
// thread that makes a handle's writes. What differs is the system folder's: how a machine is
// held by one program (posix: an advisory lock on the node; Windows: a named mutex), and the
// node a write goes to (posix: the node's descriptor; Windows: a handle of our own on the path).
// hidapi hides its descriptor, so the reactor looks at a pending read every millisecond.
#pragma once

#include <hidapi.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "DeviceHandle.h"

namespace qplatform {

// What the listing says about one node.
struct HidIdentity {
  HidAttributes attributes;
  std::wstring product;
  std::wstring manufacturer;
  std::wstring serial;
};

// The paths this process holds: a second open of one is refused (LinkError::kSharingViolation)
// as an unshared open is.
std::set<std::string>& HeldHidPaths();

// Where one handle's reports are written: blocks until the device took the report or the
// system gave up on it. Called on the writer's thread only; destroyed on whichever thread lets
// it go last (the handle, or the writer once a write it was closed under came back).
class ReportSink {
 public:
  virtual ~ReportSink() = default;
  // Returns the bytes written, or -1 with *error: LinkError::kSemTimeout (the device did not
  // take the report; it is still there) or LinkError::kDeviceNotConnected.
  virtual long Write(const uint8_t* data, size_t size, LinkError* error) = 0;
  // The handle is closing: the machine is free for the next open at once, even while a write
  // still blocks. Called on the link's thread.
  virtual void Release() {}
};

// The thread that makes one handle's writes, so the link's thread never waits on one.
class ReportWriter {
 public:
  explicit ReportWriter(std::unique_ptr<ReportSink> sink);
  ~ReportWriter();
  ReportWriter(const ReportWriter&) = delete;
  ReportWriter& operator=(const ReportWriter&) = delete;

  // Starts the write when none is under way; true with the outcome once it finished.
  bool Try(const uint8_t* buffer, uint32_t size, long* result, LinkError* error);
  // The write under way (if any) is no longer wanted: its outcome is dropped.
  void Abandon();

 private:
  struct State;
  static void Run(State& state);
  std::shared_ptr<State> state_;
};

// One open machine: hidapi's device for reads, the writer for writes.
class HidapiDevice : public HidDevice {
 public:
  // `input_buffers`: the count GetNumInputBuffers reports before a set (the driver's start).
  HidapiDevice(hid_device* device, std::unique_ptr<ReportSink> sink, std::string path,
               HidIdentity identity, uint32_t input_buffers);
  ~HidapiDevice() override;

  bool AcceptTransfer(bool write, LinkError* error) override;
  bool CancelIo(LinkError* error) override;
  // As many waiting reports as fit, each with report id 0 in front; at least one.
  bool TryRead(uint8_t* buffer, uint32_t size, LinkError* error, uint32_t* bytes) override;
  // The writer thread makes the write; the routine runs in an alertable sleep once it is done.
  bool TryWrite(const uint8_t* buffer, uint32_t size, LinkError* error, uint32_t* bytes) override;

  bool GetAttributes(HidAttributes* attributes) override;
  bool GetProductString(std::wstring* text) override;
  bool GetManufacturerString(std::wstring* text) override;
  bool GetSerialNumberString(std::wstring* text) override;
  // There is no driver count to ask on either system (hidapi reads through its own handle):
  // the count is our own, a set accepts 2 to 512 as the platform's driver does.
  bool GetNumInputBuffers(uint32_t* count) override;
  bool SetNumInputBuffers(uint32_t count) override;

 private:
  bool Text(const std::wstring& value, std::wstring* text) const;

  hid_device* device_;
  ReportWriter writer_;
  std::string path_;
  HidIdentity identity_;
  uint32_t input_buffers_;
  bool gone_ = false;
};

// The HID backend over hidapi: the listing and the identities; opening is the system's.
class HidapiBackend : public HidBackend {
 public:
  ~HidapiBackend() override;
  bool ListInterfaces(std::vector<InterfaceEntry>* entries, LinkError* error) override;
  // Checks that hidapi runs and the path is not held by this process, then lets the system
  // open it (OpenNode).
  std::unique_ptr<HidDevice> Open(const std::string& path, LinkError* error) override;

 protected:
  // Takes the machine for this program and opens it; nullptr with *error as HidBackend::Open.
  virtual std::unique_ptr<HidDevice> OpenNode(const std::string& path, HidIdentity identity,
                                              LinkError* error) = 0;

 private:
  bool Initialise();
  // The identity the last listing gave the path; a path opened without a listing is looked up.
  HidIdentity Identity(const std::string& path);

  bool initialised_ = false;
  std::map<std::string, HidIdentity> identities_;
};

}  // namespace qplatform
