// The completion reactor: routines run only inside alertable sleeps, on the calling thread.
#include "LinkFixture.h"
#include "RoutineRecord.h"

namespace {

using qplatform::Overlapped;
using qplatform::PolledDevice;

TEST_F(LinkTest, RoutinesRunOnlyInAlertableSleeps) {
  auto machine = AddHid("/dev/hidraw0");
  LinkError error = LinkError::kSuccess;
  auto handle = hid_.Open("/dev/hidraw0", &error);
  ASSERT_TRUE(handle);
  machine->SendAt(Now(), std::vector<uint8_t>(65, 1));
  Seen seen;
  Overlapped overlapped{&seen};
  uint8_t buffer[65];
  ASSERT_TRUE(handle->ReadEx(buffer, sizeof buffer, &overlapped, Record, &error));
  // A second read while one is pending is refused.
  EXPECT_FALSE(handle->ReadEx(buffer, sizeof buffer, &overlapped, Record, &error));
  EXPECT_EQ(error, LinkError::kBusy);
  qclock::SleepEx(10, false);
  EXPECT_EQ(seen.calls, 0);
  const uint32_t start = Now();
  EXPECT_EQ(qclock::SleepEx(10, true), qclock::kWaitIoCompletion);
  EXPECT_EQ(Now(), start);  // the routine was due: no waiting
  EXPECT_EQ(seen.calls, 1);
  EXPECT_EQ(seen.bytes, 65u);
  // Nothing pending: the alertable sleep sleeps its time out.
  EXPECT_EQ(qclock::SleepEx(10, true), 0u);
  EXPECT_EQ(Now(), start + 10);
}

TEST_F(LinkTest, AlertableSleepWakesAtTheDevicesTimeAndCancelAborts) {
  auto machine = AddHid("/dev/hidraw0");
  LinkError error = LinkError::kSuccess;
  auto handle = hid_.Open("/dev/hidraw0", &error);
  machine->SendAt(Now() + 7, std::vector<uint8_t>(65, 1));
  Seen seen;
  Overlapped overlapped{&seen};
  uint8_t buffer[65];
  ASSERT_TRUE(handle->ReadEx(buffer, sizeof buffer, &overlapped, Record, &error));
  const uint32_t start = Now();
  EXPECT_EQ(qclock::SleepEx(100, true), qclock::kWaitIoCompletion);
  EXPECT_EQ(Now() - start, 7u);

  ASSERT_TRUE(handle->ReadEx(buffer, sizeof buffer, &overlapped, Record, &error));
  handle.reset();  // closing cancels; the routine still runs, later
  EXPECT_EQ(seen.calls, 1);
  EXPECT_EQ(qclock::SleepEx(10, true), qclock::kWaitIoCompletion);
  EXPECT_EQ(seen.calls, 2);
  EXPECT_EQ(seen.error, LinkError::kOperationAborted);
}

}  // namespace
