// The completion reactor on POSIX: a device whose descriptor turns ready wakes the sleep.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "LinkFixture.h"
#include "RoutineRecord.h"
#include "platform/posix/PollSource.h"

namespace {

using qplatform::Overlapped;
using qplatform::PolledDevice;

// A device over a pipe descriptor: reads finish when the pipe has bytes.
class FdDevice : public PolledDevice, public qplatform::PollSource {
 public:
  explicit FdDevice(int fd) : fd_(fd) {}
  int PollDescriptor() const override { return fd_; }
  bool TryRead(uint8_t* buffer, uint32_t size, LinkError* error, uint32_t* bytes) override {
    const ssize_t n = ::read(fd_, buffer, size);
    if (n < 0) return false;
    *error = LinkError::kSuccess;
    *bytes = static_cast<uint32_t>(n);
    return true;
  }
  bool TryWrite(const uint8_t*, uint32_t, LinkError*, uint32_t*) override { return false; }
  bool AcceptTransfer(bool, LinkError*) override { return true; }

 private:
  int fd_;
};

TEST(Reactor, RealDescriptorWakesTheSleepEarly) {
  qplatform::Reactor::Instance().Install();
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_NONBLOCK), 0);
  FdDevice device(fds[0]);
  Seen seen;
  Overlapped overlapped{&seen};
  uint8_t buffer[8];
  LinkError error = LinkError::kSuccess;
  ASSERT_TRUE(device.ReadEx(buffer, sizeof buffer, &overlapped, Record, &error));
  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(::write(fds[1], "abc", 3), 3);
  });
  const auto start = std::chrono::steady_clock::now();
  uint32_t result = 0;
  while (seen.calls == 0 && std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
    result = qclock::SleepEx(10000, true);
  }
  const auto waited = std::chrono::steady_clock::now() - start;
  writer.join();
  EXPECT_EQ(result, qclock::kWaitIoCompletion);
  EXPECT_EQ(seen.bytes, 3u);
  EXPECT_LT(waited, std::chrono::seconds(5));
  ::close(fds[0]);
  ::close(fds[1]);
}

}  // namespace
