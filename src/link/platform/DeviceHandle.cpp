#include "DeviceHandle.h"

#include "Reactor.h"

namespace qplatform {

PolledDevice::~PolledDevice() {
  // Closing a handle cancels its transfers; their routines still run in a later alertable sleep.
  Reactor::Instance().Cancel(this);
}

bool PolledDevice::ReadEx(uint8_t* buffer, uint32_t size, Overlapped* overlapped,
                          CompletionRoutine routine, LinkError* error) {
  return Reactor::Instance().StartRead(this, buffer, size, overlapped, routine, error);
}

bool PolledDevice::WriteEx(const uint8_t* buffer, uint32_t size, Overlapped* overlapped,
                           CompletionRoutine routine, LinkError* error) {
  return Reactor::Instance().StartWrite(this, buffer, size, overlapped, routine, error);
}

bool PolledDevice::Pending(bool write) const {
  return Reactor::Instance().HasPending(this, write);
}

bool PolledDevice::CancelIo(LinkError* error) {
  Reactor::Instance().Cancel(this);
  if (error != nullptr) *error = LinkError::kSuccess;
  return true;
}

std::string NarrowDeviceString(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    if (c == 0 || out.size() >= 127) break;
    out.push_back(static_cast<uint32_t>(c) < 256 ? static_cast<char>(c) : '?');
  }
  return out;
}

}  // namespace qplatform
