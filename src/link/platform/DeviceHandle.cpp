#include "DeviceHandle.h"

#include "Reactor.h"

namespace qplatform {

DeviceHandle::~DeviceHandle() {
  // Closing a handle cancels its transfers; their routines still run in a later alertable sleep.
  Reactor::Instance().Cancel(this);
}

bool DeviceHandle::ReadEx(uint8_t* buffer, uint32_t size, Overlapped* overlapped,
                          CompletionRoutine routine, LinkError* error) {
  return Reactor::Instance().StartRead(this, buffer, size, overlapped, routine, error);
}

bool DeviceHandle::WriteEx(const uint8_t* buffer, uint32_t size, Overlapped* overlapped,
                           CompletionRoutine routine, LinkError* error) {
  return Reactor::Instance().StartWrite(this, buffer, size, overlapped, routine, error);
}

bool DeviceHandle::CancelIo(LinkError* error) {
  Reactor::Instance().Cancel(this);
  if (error != nullptr) *error = LinkError::kSuccess;
  return true;
}

bool DeviceHandle::TryRead(uint8_t*, uint32_t, LinkError* error, uint32_t* bytes) {
  *error = LinkError::kInvalidHandle;
  *bytes = 0;
  return true;
}

bool DeviceHandle::TryWrite(const uint8_t*, uint32_t, LinkError* error, uint32_t* bytes) {
  *error = LinkError::kInvalidHandle;
  *bytes = 0;
  return true;
}

IoStart DeviceHandle::Read(uint8_t*, uint32_t, uint32_t* bytes, LinkError* error) {
  *bytes = 0;
  *error = LinkError::kInvalidFunction;
  return IoStart::kFailed;
}

IoStart DeviceHandle::Write(const uint8_t*, uint32_t, uint32_t* bytes, LinkError* error) {
  *bytes = 0;
  *error = LinkError::kInvalidFunction;
  return IoStart::kFailed;
}

WaitResult DeviceHandle::WaitPending(uint32_t) {
  return WaitResult::kFailed;
}

bool DeviceHandle::PendingResult(uint32_t* bytes, LinkError* error) {
  *bytes = 0;
  *error = LinkError::kInvalidFunction;
  return false;
}

bool DeviceHandle::ResetEvent(LinkError* error) {
  if (error != nullptr) *error = LinkError::kSuccess;
  return true;
}

bool DeviceHandle::GetAttributes(HidAttributes*) {
  return false;
}
bool DeviceHandle::GetProductString(std::wstring*) {
  return false;
}
bool DeviceHandle::GetManufacturerString(std::wstring*) {
  return false;
}
bool DeviceHandle::GetSerialNumberString(std::wstring*) {
  return false;
}
bool DeviceHandle::GetNumInputBuffers(uint32_t*) {
  return false;
}
bool DeviceHandle::SetNumInputBuffers(uint32_t) {
  return false;
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
