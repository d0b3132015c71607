#include "JobsFixture.h"
#include "MachineJob.h"

namespace {

using Kind = MachineJob::Kind;

struct Exchange {
  const char* command;
  int code;
  const char* reply;
};

// What the machine holds after a run of exchanges, and what it then lets through.
TEST(MachineJobTest, JobsAndWhatTheyLetThrough) {
  struct Row {
    const char* name;
    std::vector<Exchange> exchanges;
    Kind kind;
  };
  const Row rows[] = {
      {"nothing yet", {}, Kind::kNone},
      {"a deck taken", {{"SORT 1234", 0, "OK"}}, Kind::kSorting},
      {"a deck refused", {{"SORT 1234", 20, "bad"}}, Kind::kNone},
      {"a SORT whose reply was lost", {{"SORT 1234", 90, "Test return"}}, Kind::kSorting},
      {"a SORT with no machine", {{"SORT 1234", 91, "Test return"}}, Kind::kNone},
      {"busy", {{"SORT 1", 0, "OK"}, {"STAT", 1, "busy"}}, Kind::kSorting},
      {"a STAT lost", {{"SORT 1", 0, "OK"}, {"STAT", 90, "x"}, {"STAT", 91, ""}}, Kind::kSorting},
      {"done", {{"SORT 1", 0, "OK"}, {"STAT", 0, "OK"}}, Kind::kNone},
      {"jam", {{"SORT 1", 0, "OK"}, {"STAT", 25, "jam"}}, Kind::kNone},
      {"split acknowledged", {{"SPLIT 26", 90, ""}}, Kind::kSplitting},
      {"split refused", {{"SPLIT 13", 0, "OK"}}, Kind::kNone},
      {"split exchange failed", {{"SPLIT 13", 90, "Test return"}}, Kind::kNone},
      {"split stops for removal",
       {{"SPLIT 13", 90, ""}, {"STAT", 0, "00 Remove 13 cards from 2"}},
       Kind::kSplitStopped},
      {"split continued",
       {{"SPLIT 13", 90, ""}, {"STAT", 0, "00 Remove 13 cards from 2"}, {"SPLIT CONTINUE", 90, ""}},
       Kind::kSplitting},
      {"split continue refused",
       {{"SPLIT 13", 90, ""},
        {"STAT", 0, "00 Remove 13 cards from 2"},
        {"SPLIT CONTINUE", 20, "x"}},
       Kind::kNone},
      {"split done", {{"SPLIT 13", 90, ""}, {"STAT", 0, "Split done"}}, Kind::kNone},
      {"split failed", {{"SPLIT 13", 90, ""}, {"STAT", 28, "no box"}}, Kind::kNone},
      {"a deck's done is no removal",
       {{"SORT 1", 0, "OK"}, {"STAT", 0, "00 Remove 13 cards from 2"}},
       Kind::kNone},
  };
  struct Probe {
    const char* command;
    bool none, sorting, splitting, stopped;
  };
  const Probe probes[] = {
      {"STAT", true, true, true, true},
      {"BUTSTAT", true, false, false, true},
      {"TRAYSTAT", true, false, false, true},
      {"SPLIT CONTINUE", true, false, false, true},
      {"SPLIT 26", true, false, false, true},
      {"SORT 1111", true, false, false, false},
      {"BUTTONSTART OFF", true, false, false, false},
      {"BARCODE 5BAR", true, false, false, false},
      {"STOPCARD ON", true, false, false, false},
      {"SERVICEINFO", true, false, false, false},
      {"FEEDFEEDER", true, false, false, false},
      {"EXERCISE ON", true, false, false, false},
      {"FIRMWARE", true, false, false, false},
      {"STATUS", true, false, false, false},  // only the exact line STAT
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    qclock::FakeClock clock;
    qclock::ScopedClock scoped(&clock);
    MachineJob job;
    for (const Exchange& exchange : row.exchanges) {
      job.Observe(exchange.command, exchange.code, exchange.reply);
    }
    EXPECT_EQ(job.kind(), row.kind);
    for (const Probe& probe : probes) {
      const bool allowed = row.kind == Kind::kNone        ? probe.none
                           : row.kind == Kind::kSorting   ? probe.sorting
                           : row.kind == Kind::kSplitting ? probe.splitting
                                                          : probe.stopped;
      EXPECT_EQ(job.Allows(probe.command), allowed) << probe.command;
    }
  }
}

// A machine busy past its limit holds nothing any more, so the operator is never locked out; a
// split stopped for removal waits for the operator however long.
TEST(MachineJobTest, AJobPastItsLimitHoldsNothing) {
  struct Row {
    const char* name;
    std::vector<Exchange> exchanges;
    uint32_t wait_ms;
    Kind kind;
  };
  const Row rows[] = {
      {"deck within", {{"SORT 1", 0, "OK"}}, kSortLimitMs - 1, Kind::kSorting},
      {"deck past", {{"SORT 1", 0, "OK"}}, kSortLimitMs, Kind::kNone},
      {"split within", {{"SPLIT 13", 90, ""}}, kSplitLimitMs - 1, Kind::kSplitting},
      {"split past", {{"SPLIT 13", 90, ""}}, kSplitLimitMs, Kind::kNone},
      {"stopped split",
       {{"SPLIT 13", 90, ""}, {"STAT", 0, "00 Remove 13 cards from 3"}},
       10 * kSplitLimitMs,
       Kind::kSplitStopped},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    qclock::FakeClock clock;
    qclock::ScopedClock scoped(&clock);
    MachineJob job;
    for (const Exchange& exchange : row.exchanges) {
      job.Observe(exchange.command, exchange.code, exchange.reply);
    }
    clock.Advance(row.wait_ms);
    EXPECT_EQ(job.kind(), row.kind);
    EXPECT_EQ(job.Allows("FIRMWARE"), row.kind == Kind::kNone);
  }
  // The limit is counted from the job the machine last took.
  qclock::FakeClock clock;
  qclock::ScopedClock scoped(&clock);
  MachineJob job;
  job.Observe("SORT 1", 0, "OK");
  clock.Advance(kSortLimitMs);
  job.Observe("SORT 2", 0, "OK");
  clock.Advance(kSortLimitMs - 1);
  EXPECT_EQ(job.kind(), Kind::kSorting);
}

}  // namespace
