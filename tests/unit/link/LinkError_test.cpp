// The numbers the trace prints for the link's errors are the classic platform ones; a renumbered
// value would change the operator's log on every system.
#include "platform/LinkError.h"

#include <gtest/gtest.h>

namespace {

TEST(LinkError, PrintedValuesKeepTheirClassicNumbersAndEachHasAText) {
  const struct {
    LinkError error;
    uint32_t number;
  } rows[] = {
      {LinkError::kAccessDenied, 5},         {LinkError::kSharingViolation, 32},
      {LinkError::kLockViolation, 33},       {LinkError::kSemTimeout, 121},
      {LinkError::kMessageNotFound, 317},    {LinkError::kOperationAborted, 995},
      {LinkError::kIoPending, 997},          {LinkError::kDeviceNotConnected, 1167},
      {LinkError::kInvalidUserBuffer, 1784},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(LinkErrorNumber(row.error), row.number);
    EXPECT_STRNE(LinkErrorText(row.error), "unknown error") << row.number;
  }
  EXPECT_STREQ(LinkErrorText(LinkErrorFromNumber(4242)), "unknown error");
}

}  // namespace
