// The bulk machine through libusb-1.0.
//
// A bulk machine is a USB device of vendor 6017 whose product id is neither of the HID
// machine's (12624, 12625) and which has exactly one vendor-specific interface (class 0xFF)
// with exactly one bulk IN and one bulk OUT endpoint. Any other device of the vendor is listed
// as not a machine (with the reason), never opened. Its device path has the form the link
// takes apart:
//   \\?\usb#vid_VVVV&pid_PPPP#INSTANCE#{101f9e3f-8435-4872-bc21-07b27e2baadd}
// INSTANCE is the serial-number string when it is 1 to 8 hexadecimal digits, else the bus
// number and the last (up to three) port numbers, two hexadecimal digits each. The path with
// "\PIPE00" appended opens the IN endpoint, with "\PIPE01" the OUT endpoint; both share one
// claimed interface. The bare path opens only as a probe.
//
// A read of n bytes finishes when n bytes have arrived: the machine packs 64-byte packets back
// to back, and a short USB packet does not end the transfer early. Reads ask the device for
// whole USB packets (a high-speed device packs several 64-byte packets into one 512-byte USB
// packet, so a transfer may bring more than was asked for); bytes beyond the read stay in the
// pipe for the next one. Transfers move through the pipe's own buffer, never the caller's, and
// a transfer being cancelled is never submitted again: a buffer is only ever freed once libusb
// has given its transfer back.
#include <libusb.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "Backends.h"
#include "MachineIds.h"
#include "clock.h"

namespace qplatform {
namespace {

const std::string kReadPipe = "\\PIPE00";
const std::string kWritePipe = "\\PIPE01";

LinkError MapError(int code) {
  switch (code) {
    case LIBUSB_SUCCESS:
      return LinkError::kSuccess;
    case LIBUSB_ERROR_ACCESS:
      return LinkError::kAccessDenied;
    case LIBUSB_ERROR_NO_DEVICE:
      return LinkError::kDeviceNotConnected;
    case LIBUSB_ERROR_NOT_FOUND:
      return LinkError::kFileNotFound;
    case LIBUSB_ERROR_BUSY:
      return LinkError::kSharingViolation;
    case LIBUSB_ERROR_TIMEOUT:
      return LinkError::kSemTimeout;
    case LIBUSB_ERROR_NO_MEM:
      return LinkError::kNotEnoughMemory;
    case LIBUSB_ERROR_INVALID_PARAM:
      return LinkError::kInvalidParameter;
    default:
      return LinkError::kGenFailure;
  }
}

LinkError MapStatus(libusb_transfer_status status) {
  switch (status) {
    case LIBUSB_TRANSFER_COMPLETED:
      return LinkError::kSuccess;
    case LIBUSB_TRANSFER_TIMED_OUT:
      return LinkError::kSemTimeout;
    case LIBUSB_TRANSFER_CANCELLED:
      return LinkError::kOperationAborted;
    case LIBUSB_TRANSFER_NO_DEVICE:
      return LinkError::kDeviceNotConnected;
    default:
      return LinkError::kGenFailure;
  }
}

constexpr uint8_t kVendorSpecificClass = 0xFF;
// The largest read the link asks for (256 packets) rounded up to a high-speed USB packet.
constexpr uint32_t kPipeBuffer = 16384 + 512;

struct Endpoints {
  int interface = -1;
  uint8_t in = 0;
  uint8_t out = 0;
  uint16_t in_max_packet = 64;
};

// The machine's interface: the one vendor-specific interface with exactly one bulk IN and one
// bulk OUT endpoint. Returns "" when found, else why the device is not a machine.
std::string FindBulkInterface(libusb_device* device, Endpoints* found) {
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(device, &config) != 0 &&
      libusb_get_config_descriptor(device, 0, &config) != 0) {
    return "no configuration";
  }
  int vendor_specific = 0;
  int with_pair = 0;
  int last_ins = 0;
  int last_outs = 0;
  uint8_t other_class = 0;
  for (int i = 0; i < config->bNumInterfaces; ++i) {
    const libusb_interface& interface = config->interface[i];
    if (interface.num_altsetting < 1) continue;
    const libusb_interface_descriptor& alt = interface.altsetting[0];
    if (alt.bInterfaceClass != kVendorSpecificClass) {
      other_class = alt.bInterfaceClass;
      continue;
    }
    ++vendor_specific;
    int ins = 0;
    int outs = 0;
    Endpoints e;
    e.interface = alt.bInterfaceNumber;
    for (int k = 0; k < alt.bNumEndpoints; ++k) {
      const libusb_endpoint_descriptor& ep = alt.endpoint[k];
      if ((ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) continue;
      if (ep.bEndpointAddress & LIBUSB_ENDPOINT_IN) {
        ++ins;
        e.in = ep.bEndpointAddress;
        e.in_max_packet = ep.wMaxPacketSize == 0 ? 64 : ep.wMaxPacketSize;
      } else {
        ++outs;
        e.out = ep.bEndpointAddress;
      }
    }
    if (ins == 1 && outs == 1) {
      ++with_pair;
      *found = e;
    } else {
      last_ins = ins;
      last_outs = outs;
    }
  }
  libusb_free_config_descriptor(config);
  // Kept short: the reason ends a trace line after the device path.
  char why[64] = "";
  if (vendor_specific == 0) {
    std::snprintf(why, sizeof why, "interface class %u", other_class);
  } else if (with_pair == 0) {
    std::snprintf(why, sizeof why, "bulk IN %d, bulk OUT %d", last_ins, last_outs);
  } else if (with_pair > 1) {
    std::snprintf(why, sizeof why, "%d bulk pairs", with_pair);
  }
  return why;
}

// A device that is not a machine is never opened: its instance is its place on the bus.
std::string InstanceOf(libusb_device* device, const libusb_device_descriptor& descriptor,
                       bool open_for_serial) {
  std::string serial;
  if (open_for_serial && descriptor.iSerialNumber != 0) {
    libusb_device_handle* handle = nullptr;
    if (libusb_open(device, &handle) == 0) {
      unsigned char text[256] = {};
      if (libusb_get_string_descriptor_ascii(handle, descriptor.iSerialNumber, text,
                                             sizeof text - 1) > 0) {
        serial = reinterpret_cast<char*>(text);
      }
      libusb_close(handle);
    }
  }
  uint8_t ports[8] = {};
  const int depth = libusb_get_port_numbers(device, ports, sizeof ports);
  return BulkInstance(serial, libusb_get_bus_number(device), ports, depth < 0 ? 0 : depth);
}

std::string PathOf(libusb_device* device, const libusb_device_descriptor& descriptor,
                   bool open_for_serial) {
  return BulkDevicePath(descriptor.idVendor, descriptor.idProduct,
                        InstanceOf(device, descriptor, open_for_serial));
}

// One claimed machine shared by its two pipes.
struct OpenMachine {
  libusb_device_handle* handle = nullptr;
  Endpoints endpoints;
  bool read_open = false;
  bool write_open = false;
};

class LibusbBackend;

class PipeHandle : public PipeDevice {
 public:
  PipeHandle(LibusbBackend* backend, std::string base, OpenMachine* machine, bool reading,
             libusb_context* context)
      : backend_(backend),
        base_(std::move(base)),
        machine_(machine),
        reading_(reading),
        max_packet_(reading ? machine->endpoints.in_max_packet : 64),
        context_(context),
        transfer_(libusb_alloc_transfer(0)),
        io_(new uint8_t[kPipeBuffer]) {}
  ~PipeHandle() override;

  IoStart Read(uint8_t* buffer, uint32_t size, uint32_t* bytes, LinkError* error) override {
    *bytes = 0;
    if (!Begin(true, size, error)) return IoStart::kFailed;
    caller_ = buffer;
    if (stash_.size() >= want_) {
      done_ = 1;  // already here: the wait finds it finished
    } else if (const int rc = Submit(); rc != 0) {
      caller_ = nullptr;
      *error = MapError(rc);
      return IoStart::kFailed;
    }
    *error = LinkError::kIoPending;
    return IoStart::kPending;
  }

  IoStart Write(const uint8_t* buffer, uint32_t size, uint32_t* bytes, LinkError* error) override {
    *bytes = 0;
    if (!Begin(false, size, error)) return IoStart::kFailed;
    std::memcpy(io_.get(), buffer, size);
    if (const int rc = Submit(); rc != 0) {
      *error = MapError(rc);
      return IoStart::kFailed;
    }
    *error = LinkError::kIoPending;
    return IoStart::kPending;
  }

  WaitResult WaitPending(uint32_t ms) override {
    if (!in_flight_ && !done_) return WaitResult::kFailed;
    const uint32_t start = qclock::GetTickCount();
    while (!done_) {
      const uint32_t elapsed = qclock::GetTickCount() - start;
      if (elapsed >= ms) return WaitResult::kTimeout;
      const uint32_t left = ms - elapsed;
      timeval tv{static_cast<time_t>(left / 1000), static_cast<suseconds_t>((left % 1000) * 1000)};
      if (libusb_handle_events_timeout_completed(context_, &tv, &done_) < 0) {
        return WaitResult::kFailed;
      }
    }
    return WaitResult::kSignaled;
  }

  bool PendingResult(uint32_t* bytes, LinkError* error) override {
    *bytes = 0;
    if (!done_) {
      *error = LinkError::kIoIncomplete;
      return false;
    }
    done_ = 0;
    *error = status_error_;
    if (!reading_) {
      *bytes = got_;
      return status_error_ == LinkError::kSuccess;
    }
    if (status_error_ != LinkError::kSuccess || stash_.size() < want_ || caller_ == nullptr) {
      caller_ = nullptr;
      if (*error == LinkError::kSuccess) *error = LinkError::kOperationAborted;
      return false;
    }
    // The bytes asked for go to the caller; any beyond them wait for the next read.
    std::memcpy(caller_, stash_.data(), want_);
    stash_.erase(stash_.begin(), stash_.begin() + want_);
    caller_ = nullptr;
    *bytes = want_;
    return true;
  }

  bool CancelIo(LinkError* error) override {
    if (error != nullptr) *error = LinkError::kSuccess;
    caller_ = nullptr;
    if (in_flight_) {
      // A transfer finishing as it is cancelled must not be submitted again.
      cancelling_ = true;
      libusb_cancel_transfer(transfer_);
      const uint32_t start = qclock::GetTickCount();
      while (in_flight_ && qclock::GetTickCount() - start < 1000) {
        timeval tv{0, 10000};
        libusb_handle_events_timeout_completed(context_, &tv, nullptr);
      }
      cancelling_ = false;
    }
    done_ = 0;
    return true;
  }

  // A libusb transfer carries no event to reset.
  bool ResetEvent(LinkError* error) override {
    if (error != nullptr) *error = LinkError::kSuccess;
    return true;
  }

 private:
  // Checks that a transfer of `size` bytes can start, and takes it on; false with *error when
  // it cannot.
  bool Begin(bool reading, uint32_t size, LinkError* error) {
    if (reading != reading_) {
      *error = LinkError::kAccessDenied;
      return false;
    }
    if (transfer_ == nullptr) {
      *error = LinkError::kNotEnoughMemory;
      return false;
    }
    if (in_flight_) {
      *error = LinkError::kBusy;
      return false;
    }
    if (size == 0 || size > kPipeBuffer - max_packet_) {
      *error = LinkError::kInvalidParameter;
      return false;
    }
    want_ = size;
    got_ = 0;
    done_ = 0;
    status_error_ = LinkError::kSuccess;
    return true;
  }

  // Reads ask for whole USB packets covering what is still missing; writes send what is left.
  int Submit() {
    uint8_t endpoint = machine_->endpoints.out;
    uint32_t length = want_ - got_;
    uint8_t* from = io_.get() + got_;
    if (reading_) {
      endpoint = machine_->endpoints.in;
      const uint32_t missing = want_ - static_cast<uint32_t>(stash_.size());
      length = (missing + max_packet_ - 1) / max_packet_ * max_packet_;
      from = io_.get();
    }
    libusb_fill_bulk_transfer(transfer_, machine_->handle, endpoint, from, static_cast<int>(length),
                              &PipeHandle::Finished, this, 0);
    const int rc = libusb_submit_transfer(transfer_);
    in_flight_ = rc == 0;
    return rc;
  }

  static void LIBUSB_CALL Finished(libusb_transfer* transfer) {
    auto* self = static_cast<PipeHandle*>(transfer->user_data);
    self->in_flight_ = false;
    const auto actual = static_cast<uint32_t>(std::max(transfer->actual_length, 0));
    if (self->reading_) {
      self->stash_.insert(self->stash_.end(), self->io_.get(), self->io_.get() + actual);
    } else {
      self->got_ += actual;
    }
    const bool more = self->reading_ ? self->stash_.size() < self->want_ : self->got_ < self->want_;
    if (transfer->status == LIBUSB_TRANSFER_COMPLETED && more && !self->cancelling_) {
      const int rc = self->Submit();  // a short packet: wait for the rest
      if (rc == 0) return;
      self->status_error_ = MapError(rc);
    } else if (transfer->status == LIBUSB_TRANSFER_COMPLETED && more) {
      self->status_error_ = LinkError::kOperationAborted;
    } else {
      self->status_error_ = MapStatus(transfer->status);
    }
    self->done_ = 1;
  }

  LibusbBackend* backend_;
  std::string base_;
  OpenMachine* machine_;
  const bool reading_;
  const uint32_t max_packet_;
  libusb_context* context_;
  libusb_transfer* transfer_;
  // The transfers' own buffer: a transfer never touches the caller's memory.
  std::unique_ptr<uint8_t[]> io_;
  // Read: bytes that arrived and were not handed out yet.
  std::vector<uint8_t> stash_;
  uint8_t* caller_ = nullptr;  // where a finished read is copied; nullptr once given up
  uint32_t want_ = 0;
  uint32_t got_ = 0;  // write: bytes written so far
  int done_ = 0;
  bool in_flight_ = false;
  bool cancelling_ = false;
  LinkError status_error_ = LinkError::kSuccess;
};

class LibusbBackend : public BulkBackend {
 public:
  ~LibusbBackend() override {
    for (auto& [path, machine] : open_) {
      libusb_release_interface(machine.handle, machine.endpoints.interface);
      libusb_close(machine.handle);
    }
    if (context_ != nullptr) libusb_exit(context_);
  }

  bool ListInterfaces(std::vector<InterfaceEntry>* entries, LinkError* error) override {
    entries->clear();
    if (!Initialise(error)) return false;
    libusb_device** list = nullptr;
    const ssize_t n = libusb_get_device_list(context_, &list);
    if (n < 0) {
      *error = MapError(static_cast<int>(n));
      return false;
    }
    for (ssize_t i = 0; i < n; ++i) {
      InterfaceEntry entry;
      Endpoints endpoints;
      if (OfTheVendor(list[i], &entry.path, &entry.not_machine, &endpoints)) {
        entries->push_back(entry);
      }
    }
    libusb_free_device_list(list, 1);
    *error = LinkError::kSuccess;
    return true;
  }

  std::unique_ptr<PipeDevice> Open(const std::string& path, LinkError* error) override {
    if (!Initialise(error)) return nullptr;
    const bool reading = EndsWith(path, kReadPipe);
    if (!reading && !EndsWith(path, kWritePipe)) {
      *error = LinkError::kFileNotFound;
      return nullptr;
    }
    const std::string base = path.substr(0, path.size() - kReadPipe.size());
    auto it = open_.find(base);
    if (it != open_.end()) {
      bool& held = reading ? it->second.read_open : it->second.write_open;
      if (held) {
        *error = LinkError::kSharingViolation;
        return nullptr;
      }
      held = true;
      *error = LinkError::kSuccess;
      return std::make_unique<PipeHandle>(this, base, &it->second, reading, context_);
    }
    libusb_device_handle* handle = nullptr;
    Endpoints endpoints;
    if (!OpenDevice(base, &handle, &endpoints, error)) return nullptr;
    libusb_set_auto_detach_kernel_driver(handle, 1);
    const int rc = libusb_claim_interface(handle, endpoints.interface);
    if (rc != 0) {
      libusb_close(handle);
      *error = MapError(rc);
      return nullptr;
    }
    OpenMachine& machine = open_[base];
    machine.handle = handle;
    machine.endpoints = endpoints;
    (reading ? machine.read_open : machine.write_open) = true;
    *error = LinkError::kSuccess;
    return std::make_unique<PipeHandle>(this, base, &machine, reading, context_);
  }

  bool Probe(const std::string& path, LinkError* error) override {
    if (!Initialise(error)) return false;
    libusb_device_handle* handle = nullptr;
    Endpoints endpoints;
    if (!OpenDevice(path, &handle, &endpoints, error)) return false;
    libusb_close(handle);
    *error = LinkError::kSuccess;
    return true;
  }

  // A pipe closed: the machine is released once both are.
  void PipeClosed(const std::string& base, bool reading) {
    auto it = open_.find(base);
    if (it == open_.end()) return;
    (reading ? it->second.read_open : it->second.write_open) = false;
    if (!it->second.read_open && !it->second.write_open) {
      libusb_release_interface(it->second.handle, it->second.endpoints.interface);
      libusb_close(it->second.handle);
      open_.erase(it);
    }
  }

 private:
  static bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
  }

  bool Initialise(LinkError* error) {
    if (context_ == nullptr) {
      const int rc = libusb_init(&context_);
      if (rc != 0) {
        context_ = nullptr;
        *error = MapError(rc);
        return false;
      }
    }
    return true;
  }

  // A device of the machine's vendor other than the HID machine: its path, and why it is not a
  // bulk machine ("" when it is one).
  bool OfTheVendor(libusb_device* device, std::string* path, std::string* not_machine,
                   Endpoints* endpoints) {
    libusb_device_descriptor descriptor;
    if (libusb_get_device_descriptor(device, &descriptor) != 0) return false;
    if (descriptor.idVendor != machine_ids::kVendor ||
        machine_ids::IsHidProduct(descriptor.idProduct)) {
      return false;
    }
    *not_machine = FindBulkInterface(device, endpoints);
    *path = PathOf(device, descriptor, not_machine->empty());
    return true;
  }

  // Finds the machine whose path is `base` in a fresh device list and opens it (unclaimed).
  // False with *error: LinkError::kFileNotFound when no machine has the path, else libusb's.
  bool OpenDevice(const std::string& base, libusb_device_handle** handle, Endpoints* endpoints,
                  LinkError* error) {
    libusb_device** list = nullptr;
    const ssize_t n = libusb_get_device_list(context_, &list);
    if (n < 0) {
      *error = MapError(static_cast<int>(n));
      return false;
    }
    *error = LinkError::kFileNotFound;
    bool opened = false;
    for (ssize_t i = 0; i < n; ++i) {
      std::string candidate;
      std::string not_machine;
      if (!OfTheVendor(list[i], &candidate, &not_machine, endpoints) || !not_machine.empty() ||
          candidate != base) {
        continue;
      }
      const int rc = libusb_open(list[i], handle);
      if (rc != 0) {
        *error = MapError(rc);
      } else {
        opened = true;
      }
      break;
    }
    libusb_free_device_list(list, 1);
    return opened;
  }

  libusb_context* context_ = nullptr;
  std::map<std::string, OpenMachine> open_;
};

PipeHandle::~PipeHandle() {
  CancelIo(nullptr);
  if (in_flight_) {
    // libusb never gave the transfer back: it may still write into the buffer, so both are
    // left alive rather than freed under it.
    (void)io_.release();
  } else if (transfer_ != nullptr) {
    libusb_free_transfer(transfer_);
  }
  backend_->PipeClosed(base_, reading_);
}

}  // namespace

std::unique_ptr<BulkBackend> MakeLibusbBackend() {
  return std::make_unique<LibusbBackend>();
}

}  // namespace qplatform
