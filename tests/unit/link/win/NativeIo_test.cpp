// The completion reactor on Windows: transfers the system finishes itself (ReadFileEx /
// WriteFileEx on a named pipe) report only inside the link's alertable sleeps, wake them early,
// and report 995 once cancelled by a close; a discarded routine never runs.
#include "platform/win/NativeIo.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "LinkFixture.h"
#include "RoutineRecord.h"

namespace {

using qplatform::Overlapped;

// A message pipe: the server end as a native device, the client end plain.
class NativePipe : public ::testing::Test {
 protected:
  NativePipe() {
    qplatform::Reactor::Instance().Install();
    static int count = 0;
    char name[80];
    std::snprintf(name, sizeof name, "\\\\.\\pipe\\quadrelle-native-%lu-%d",
                  static_cast<unsigned long>(::GetCurrentProcessId()), count++);
    const HANDLE server =
        ::CreateNamedPipeA(name, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                           PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, 1, 4096, 4096, 100, nullptr);
    client_ =
        ::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    device_ = std::make_unique<qplatform::NativeDevice>(server);
  }
  ~NativePipe() override {
    device_.reset();
    if (client_ != INVALID_HANDLE_VALUE) ::CloseHandle(client_);
    qclock::SleepEx(0, true);  // let the system report what was cancelled
  }
  void Write(const char* text) {
    DWORD written = 0;
    ASSERT_TRUE(
        ::WriteFile(client_, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr));
  }

  HANDLE client_ = INVALID_HANDLE_VALUE;
  std::unique_ptr<qplatform::NativeDevice> device_;
};

TEST_F(NativePipe, ARoutineRunsOnlyInTheLinksAlertableSleep) {
  ASSERT_NE(client_, INVALID_HANDLE_VALUE);
  Write("ready");  // there before the read starts
  Seen seen;
  Overlapped overlapped{&seen};
  uint8_t buffer[16];
  LinkError error = LinkError::kGenFailure;
  ASSERT_TRUE(device_->ReadEx(buffer, sizeof buffer, &overlapped, Record, &error));
  EXPECT_EQ(error, LinkError::kSuccess);
  EXPECT_TRUE(device_->Pending(false));
  EXPECT_FALSE(device_->ReadEx(buffer, sizeof buffer, &overlapped, Record, &error));
  EXPECT_EQ(error, LinkError::kBusy);
  ::SleepEx(10, TRUE);  // the system's own alertable wait (as Qt's event loop makes)
  EXPECT_EQ(seen.calls, 0);
  EXPECT_TRUE(device_->Pending(false));
  EXPECT_EQ(qclock::SleepEx(10, true), qclock::kWaitIoCompletion);
  EXPECT_EQ(seen.calls, 1);
  EXPECT_EQ(seen.error, LinkError::kSuccess);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), seen.bytes), "ready");
  EXPECT_FALSE(device_->Pending(false));
}

TEST_F(NativePipe, AMessageWakesTheSleepEarly) {
  Seen seen;
  Overlapped overlapped{&seen};
  uint8_t buffer[16];
  LinkError error = LinkError::kSuccess;
  ASSERT_TRUE(device_->ReadEx(buffer, sizeof buffer, &overlapped, Record, &error));
  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Write("abc");
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
}

TEST_F(NativePipe, ClosingCancelsAndADiscardedRoutineNeverRuns) {
  Seen read_seen;
  Overlapped read{&read_seen};
  uint8_t buffer[16];
  LinkError error = LinkError::kSuccess;
  ASSERT_TRUE(device_->ReadEx(buffer, sizeof buffer, &read, Record, &error));
  device_.reset();
  EXPECT_EQ(read_seen.calls, 0);
  EXPECT_EQ(qclock::SleepEx(100, true), qclock::kWaitIoCompletion);
  EXPECT_EQ(read_seen.calls, 1);
  EXPECT_EQ(read_seen.error, LinkError::kOperationAborted);
}

TEST_F(NativePipe, ADiscardedRoutineNeverRunsAndAHangUpReports109) {
  Seen dropped;
  Overlapped gone{&dropped};
  uint8_t buffer[16];
  LinkError error = LinkError::kSuccess;
  ASSERT_TRUE(device_->ReadEx(buffer, sizeof buffer, &gone, Record, &error));
  qplatform::Reactor::Instance().Discard(&gone);  // its owner goes away
  Write("late");
  EXPECT_EQ(qclock::SleepEx(20, true), 0u);
  EXPECT_EQ(dropped.calls, 0);

  Seen seen;
  Overlapped overlapped{&seen};
  ASSERT_TRUE(device_->ReadEx(buffer, sizeof buffer, &overlapped, Record, &error));
  ::CloseHandle(client_);
  client_ = INVALID_HANDLE_VALUE;
  EXPECT_EQ(qclock::SleepEx(100, true), qclock::kWaitIoCompletion);
  EXPECT_EQ(seen.calls, 1);
  EXPECT_EQ(seen.error, LinkError::kBrokenPipe);
  // Started after the hang-up, a read still reports through its routine.
  seen = Seen();
  ASSERT_TRUE(device_->ReadEx(buffer, sizeof buffer, &overlapped, Record, &error));
  EXPECT_EQ(seen.calls, 0);
  EXPECT_EQ(qclock::SleepEx(10, true), qclock::kWaitIoCompletion);
  EXPECT_EQ(seen.error, LinkError::kBrokenPipe);
}

}  // namespace
