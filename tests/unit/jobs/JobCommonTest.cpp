#include "JobCommon.h"
#include "JobsFixture.h"

namespace {

using JobCommonTest = JobsTest;

TEST_F(JobCommonTest, PollDueOncePerInterval) {
  struct Row {
    const char* name;
    uint32_t now, next_poll;
    bool due;
  };
  const Row rows[] = {
      {"never polled", 10000, 0, true},         {"just polled", 10000, 10100, false},
      {"one tick before", 10099, 10100, false}, {"at the time", 10100, 10100, true},
      {"long past", 50000, 10100, true},        {"before the wrap", 0xFFFFFFF0u, 0x54, false},
      {"after the wrap", 0x54, 0x54, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    clock_.Set(row.now);
    uint32_t next_poll = row.next_poll;
    EXPECT_EQ(PollDue(next_poll), row.due);
    EXPECT_EQ(next_poll, row.due ? row.now + kPollMs : row.next_poll);
  }
}

TEST_F(JobCommonTest, TickGuardTurnsNestedTicksAway) {
  {
    const TickGuard outer(shared_.nesting_depth);
    EXPECT_TRUE(outer.Entered());
    {
      const TickGuard nested(shared_.nesting_depth);
      EXPECT_FALSE(nested.Entered());
    }
    EXPECT_EQ(shared_.nesting_depth, 1);
  }
  EXPECT_EQ(shared_.nesting_depth, 0);
  EXPECT_TRUE(TickGuard(shared_.nesting_depth).Entered());
}

}  // namespace
