// What a completion routine saw, for the reactor's tests: Record is the routine, and the
// Overlapped's context is the Seen it fills in.
#pragma once

#include <cstdint>

#include "platform/DeviceHandle.h"

struct Seen {
  int calls = 0;
  LinkError error = LinkError::kSuccess;
  uint32_t bytes = 0;
};

inline void Record(LinkError error, uint32_t bytes, qplatform::Overlapped* overlapped) {
  auto* seen = static_cast<Seen*>(overlapped->context);
  ++seen->calls;
  seen->error = error;
  seen->bytes = bytes;
}
