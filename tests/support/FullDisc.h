// A full disc, faked with the file-size limit: while one lives, a write past `bytes` fails with
// EFBIG instead of ending the program (SIGXFSZ is ignored, also by programs started meanwhile).
// Windows has no such limit: there a case that needs one skips itself with
// QUADRELLE_SKIP_WITHOUT_FULL_DISC().
#pragma once

#include "TestSystem.h"

#define QUADRELLE_SKIP_WITHOUT_FULL_DISC() \
  QUADRELLE_SKIP_ON_WINDOWS("a full disc is faked with the file-size limit, which Windows lacks")

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>

class FullDisc {
 public:
  explicit FullDisc(rlim_t bytes) : previous_(std::signal(SIGXFSZ, SIG_IGN)) {
    ok_ = getrlimit(RLIMIT_FSIZE, &saved_) == 0;
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    ok_ = ok_ && setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FullDisc() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }
  FullDisc(const FullDisc&) = delete;
  FullDisc& operator=(const FullDisc&) = delete;

  // True when the limit is in force.
  bool ok() const { return ok_; }

 private:
  void (*previous_)(int);
  rlimit saved_{};
  bool ok_ = false;
};
#else
// Never in force; the cases skip before they get here.
class FullDisc {
 public:
  explicit FullDisc(unsigned long long) {}
  bool ok() const { return false; }
};
#endif
