#include "HidapiDevice.h"

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "MachineIds.h"

namespace qplatform {
namespace {

constexpr size_t kReport = 64;
constexpr size_t kRecord = kReport + 1;

HidIdentity IdentityOf(const hid_device_info& info) {
  HidIdentity id;
  id.attributes = {info.vendor_id, info.product_id, info.release_number};
  if (info.product_string != nullptr) id.product = info.product_string;
  if (info.manufacturer_string != nullptr) id.manufacturer = info.manufacturer_string;
  if (info.serial_number != nullptr) id.serial = info.serial_number;
  return id;
}

}  // namespace

std::set<std::string>& HeldHidPaths() {
  static std::set<std::string> held;
  return held;
}

// --- ReportWriter ---------------------------------------------------------------------------

enum class WritePhase { kIdle, kBusy, kDone };

struct ReportWriter::State {
  explicit State(std::unique_ptr<ReportSink> s) : sink(std::move(s)) {}
  std::mutex mutex;
  std::condition_variable wake;
  const std::unique_ptr<ReportSink> sink;
  WritePhase phase = WritePhase::kIdle;
  bool abandoned = false;
  bool closing = false;
  std::vector<uint8_t> data;
  long result = 0;
  LinkError error = LinkError::kSuccess;
};

// The thread owns a share of the sink, so a handle closed while a write still blocks leaves the
// sink to the thread until the system gives the write back.
ReportWriter::ReportWriter(std::unique_ptr<ReportSink> sink)
    : state_(std::make_shared<State>(std::move(sink))) {
  std::thread([state = state_] { Run(*state); }).detach();
}

ReportWriter::~ReportWriter() {
  state_->sink->Release();
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->closing = true;
  state_->abandoned = state_->phase == WritePhase::kBusy;
  state_->wake.notify_all();
}

bool ReportWriter::Try(const uint8_t* buffer, uint32_t size, long* result, LinkError* error) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  switch (state_->phase) {
    case WritePhase::kIdle:
      state_->data.assign(buffer, buffer + size);
      state_->phase = WritePhase::kBusy;
      state_->wake.notify_all();
      return false;
    case WritePhase::kBusy:
      return false;
    case WritePhase::kDone:
      state_->phase = WritePhase::kIdle;
      *result = state_->result;
      *error = state_->error;
      return true;
  }
  return false;
}

void ReportWriter::Abandon() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (state_->phase == WritePhase::kBusy) state_->abandoned = true;
  if (state_->phase == WritePhase::kDone) state_->phase = WritePhase::kIdle;
}

void ReportWriter::Run(State& state) {
  std::unique_lock<std::mutex> lock(state.mutex);
  for (;;) {
    state.wake.wait(lock, [&] { return state.phase == WritePhase::kBusy || state.closing; });
    if (state.phase != WritePhase::kBusy) return;  // closing, nothing to write
    const std::vector<uint8_t> data = state.data;
    lock.unlock();
    LinkError error = LinkError::kSuccess;
    const long n = state.sink->Write(data.data(), data.size(), &error);
    lock.lock();
    if (state.abandoned) {
      state.abandoned = false;
      state.phase = WritePhase::kIdle;
    } else {
      state.phase = WritePhase::kDone;
      state.result = n;
      state.error = error;
    }
    if (state.closing) return;
  }
}

// --- HidapiDevice ---------------------------------------------------------------------------

HidapiDevice::HidapiDevice(hid_device* device, std::unique_ptr<ReportSink> sink, std::string path,
                           HidIdentity identity, uint32_t input_buffers)
    : device_(device),
      writer_(std::move(sink)),
      path_(std::move(path)),
      identity_(std::move(identity)),
      input_buffers_(input_buffers) {
  HeldHidPaths().insert(path_);
}

HidapiDevice::~HidapiDevice() {
  hid_close(device_);
  HeldHidPaths().erase(path_);
}

bool HidapiDevice::AcceptTransfer(bool, LinkError* error) {
  if (!gone_) return true;
  *error = LinkError::kDeviceNotConnected;
  return false;
}

bool HidapiDevice::CancelIo(LinkError* error) {
  writer_.Abandon();
  return PolledDevice::CancelIo(error);
}

bool HidapiDevice::TryRead(uint8_t* buffer, uint32_t size, LinkError* error, uint32_t* bytes) {
  *error = LinkError::kSuccess;
  *bytes = 0;
  uint32_t have = 0;
  while (size - have >= kRecord) {
    uint8_t report[kReport];
    const int n = hid_read_timeout(device_, report, sizeof report, 0);
    if (n == 0) break;
    if (n < 0) {
      gone_ = true;
      if (have > 0) break;
      *error = LinkError::kDeviceNotConnected;
      return true;
    }
    buffer[have] = 0;
    std::memcpy(buffer + have + 1, report, static_cast<size_t>(n));
    std::memset(buffer + have + 1 + n, 0, kReport - static_cast<size_t>(n));
    have += kRecord;
  }
  if (size < kRecord && have == 0) {
    *error = LinkError::kInvalidUserBuffer;
    return true;
  }
  if (have == 0) return false;
  *bytes = have;
  return true;
}

bool HidapiDevice::TryWrite(const uint8_t* buffer, uint32_t size, LinkError* error,
                            uint32_t* bytes) {
  long n = 0;
  LinkError write_error = LinkError::kSuccess;
  if (!writer_.Try(buffer, size, &n, &write_error)) return false;
  *bytes = n >= 0 ? static_cast<uint32_t>(n) : 0;
  *error = n >= 0 ? LinkError::kSuccess : write_error;
  if (*error == LinkError::kDeviceNotConnected) gone_ = true;
  return true;
}

bool HidapiDevice::GetAttributes(HidAttributes* attributes) {
  if (identity_.attributes.vendor_id == 0) return false;
  *attributes = identity_.attributes;
  return true;
}

bool HidapiDevice::GetProductString(std::wstring* text) {
  return Text(identity_.product, text);
}

bool HidapiDevice::GetManufacturerString(std::wstring* text) {
  return Text(identity_.manufacturer, text);
}

bool HidapiDevice::GetSerialNumberString(std::wstring* text) {
  return Text(identity_.serial, text);
}

bool HidapiDevice::GetNumInputBuffers(uint32_t* count) {
  *count = input_buffers_;
  return true;
}

bool HidapiDevice::SetNumInputBuffers(uint32_t count) {
  if (count < 2 || count > 512) return false;  // the platform's accepted range
  input_buffers_ = count;
  return true;
}

bool HidapiDevice::Text(const std::wstring& value, std::wstring* text) const {
  if (identity_.attributes.vendor_id == 0) return false;  // not listed: nothing is known
  *text = value;
  return true;
}

// --- HidapiBackend --------------------------------------------------------------------------

HidapiBackend::~HidapiBackend() {
  if (initialised_) hid_exit();
}

bool HidapiBackend::ListInterfaces(std::vector<InterfaceEntry>* entries, LinkError* error) {
  entries->clear();
  if (!Initialise()) {
    *error = LinkError::kGenFailure;
    return false;
  }
  identities_.clear();
  hid_device_info* list = hid_enumerate(machine_ids::kVendor, 0);
  for (hid_device_info* info = list; info != nullptr; info = info->next) {
    if (info->path == nullptr || !machine_ids::IsHidProduct(info->product_id)) continue;
    // One node may be listed once per top-level collection.
    if (!identities_.emplace(info->path, IdentityOf(*info)).second) continue;
    entries->push_back({0, false, info->path, {}});
  }
  hid_free_enumeration(list);
  *error = LinkError::kSuccess;
  return true;
}

std::unique_ptr<HidDevice> HidapiBackend::Open(const std::string& path, LinkError* error) {
  if (!Initialise()) {
    *error = LinkError::kGenFailure;
    return nullptr;
  }
  if (HeldHidPaths().count(path) != 0) {
    *error = LinkError::kSharingViolation;
    return nullptr;
  }
  return OpenNode(path, Identity(path), error);
}

bool HidapiBackend::Initialise() {
  if (!initialised_) initialised_ = hid_init() == 0;
  return initialised_;
}

HidIdentity HidapiBackend::Identity(const std::string& path) {
  auto it = identities_.find(path);
  if (it != identities_.end()) return it->second;
  HidIdentity found;
  hid_device_info* list = hid_enumerate(0, 0);
  for (hid_device_info* info = list; info != nullptr; info = info->next) {
    if (info->path != nullptr && path == info->path) {
      found = IdentityOf(*info);
      break;
    }
  }
  hid_free_enumeration(list);
  return found;
}

}  // namespace qplatform
