// The machine link's errors: one value per failure the link and its backends tell apart, with
// one table of texts (LinkError.cpp). Where the trace prints a number the value is the classic
// platform number of that failure (5 no permission, 32 held by this process, 33 held by another
// program, 995 cancelled, 997 pending, 1167 unplugged, ...), so the log reads the same on every
// system; a backend maps its system's own codes onto these. Failures the platform has no number
// for carry the customer bit (0x20000000), as the platform reserves it for programs' own codes.
#pragma once

#include <cstdint>

enum class LinkError : uint32_t {
  kSuccess = 0,
  kInvalidFunction = 1,
  kFileNotFound = 2,
  kAccessDenied = 5,
  kInvalidHandle = 6,
  kNotEnoughMemory = 8,
  kInvalidData = 13,
  kGenFailure = 31,
  kSharingViolation = 32,
  kLockViolation = 33,
  kInvalidParameter = 87,
  kBrokenPipe = 109,
  kSemTimeout = 121,
  kInsufficientBuffer = 122,
  kBusy = 170,
  kMoreData = 234,
  kNoMoreItems = 259,
  kNotOwner = 288,
  kMessageNotFound = 317,
  kOperationAborted = 995,
  kIoIncomplete = 996,
  kIoPending = 997,
  kDeviceNotConnected = 1167,
  kInvalidUserBuffer = 1784,
  // Ours: the machine answered, but with one of its error codes.
  kMachineRefused = 0x20000001,
};

// The number the trace prints for an error.
constexpr uint32_t LinkErrorNumber(LinkError error) {
  return static_cast<uint32_t>(error);
}

// What the error means, in a few words ("access denied"); "unknown error" for a value no
// backend gives. Never blocks.
const char* LinkErrorText(LinkError error);

// A backend's own number taken as a link error (the emulator passes the system's number on).
constexpr LinkError LinkErrorFromNumber(uint32_t number) {
  return static_cast<LinkError>(number);
}
