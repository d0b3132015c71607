// A device whose readiness a file descriptor tells (the emulator's sockets). The reactor polls
// such descriptors instead of looking again every millisecond. POSIX only: the portable
// DeviceHandle carries no descriptor.
#pragma once

namespace qplatform {

class PollSource {
 public:
  // The descriptor whose readiness means "try again", or -1 once closed. Never blocks.
  virtual int PollDescriptor() const = 0;

 protected:
  ~PollSource() = default;
};

}  // namespace qplatform
