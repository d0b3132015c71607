// A lock with the platform mutex's rules: owned by one thread, taken again by its owner without
// blocking (counted), and a release by a thread that does not own it fails instead of
// corrupting anything. Waiting (in steps, with a time-out) is the caller's business, because
// the link waits on the fake-able clock.
#pragma once

#include <mutex>
#include <thread>

namespace qplatform {

class ProcessMutex {
 public:
  // True when the calling thread now owns the mutex.
  bool TryAcquire() {
    std::lock_guard<std::mutex> guard(state_);
    const std::thread::id self = std::this_thread::get_id();
    if (depth_ > 0 && owner_ != self) return false;
    owner_ = self;
    ++depth_;
    return true;
  }
  // False when the calling thread does not own the mutex.
  bool Release() {
    std::lock_guard<std::mutex> guard(state_);
    if (depth_ == 0 || owner_ != std::this_thread::get_id()) return false;
    if (--depth_ == 0) owner_ = std::thread::id();
    return true;
  }

 private:
  std::mutex state_;
  std::thread::id owner_;
  int depth_ = 0;
};

}  // namespace qplatform
