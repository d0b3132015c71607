// A long run: 2,000 boards against the simulated machine with no sorting time, the trace log
// written to a file with the program's size limit. It prints the resident memory and the log
// size as it goes. Too long for every test run: it runs only with QUADRELLE_SOAK=1 (the board
// count can be changed with QUADRELLE_SOAK_BOARDS).
#include <unistd.h>

#include <QLabel>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "DealFiles.h"
#include "DealViewer.h"
#include "MachineRig.h"
#include "Page_DealMenu.h"
#include "Settings.h"
#include "SoakHistory.h"

namespace {

constexpr uint32_t kLogLimit = 10485760;  // the program's own limit
constexpr int kDeals = 40;

// Resident memory (/proc/self/statm): all of it, and the part backed by files (mapped
// libraries and files, which the system can take back at any time).
long ResidentKiB(long* file_backed = nullptr) {
  std::ifstream statm("/proc/self/statm");
  long size = 0;
  long resident = 0;
  long shared = 0;
  statm >> size >> resident >> shared;
  const long page_kib = sysconf(_SC_PAGESIZE) / 1024;
  if (file_backed != nullptr) *file_backed = shared * page_kib;
  return resident * page_kib;
}

uintmax_t FileSize(const std::string& path) {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(path, error);
  return error ? 0 : size;
}

class Soak : public MachineRig {
 protected:
  void SetUp() override {
    if (std::getenv("QUADRELLE_SOAK") == nullptr) {
      GTEST_SKIP() << "set QUADRELLE_SOAK=1 to run the soak";
    }
    if (const char* boards = std::getenv("QUADRELLE_SOAK_BOARDS")) boards_ = std::atoi(boards);
    sim_->machine.SetCardTime(0);
  }
  void TearDown() override {
    TraceSetState(TRACE_STOPPED);
    TraceResetForTests();
  }

  // The trace log written to `log`, which starts just under the program's limit (as after some
  // weeks of use), so the run has to trim it.
  static void StartLogAtItsLimit(const std::string& log) {
    {
      std::ofstream old(log, std::ios::binary);
      const std::string line(99, 'x');
      for (uint32_t size = 0; size + 100 < kLogLimit - 4096; size += 100) old << line << '\n';
    }
    TraceSetFileName(log.c_str());
    TraceSetSizeLimit(kLogLimit);
    ASSERT_EQ(TraceSetState(TRACE_RUNNING), TRACE_RUNNING);
  }

  // `deals` deals in `copies` copies, D1,D2,D3, NESW, started by the button (and the tray), the
  // machine found and the deal menu open.
  void OpenRun(const char* file, int deals, int copies, bool tray, Page_DealMenu*& page) {
    ASSERT_TRUE(WriteBriFile(file, MakeDeals(deals)));
    WriteSettingString("CardDistribution", "Filename", file);
    WriteSettingInt("CardDistribution", "StartDeal", 1);
    WriteSettingInt("CardDistribution", "NumberOfDeal", deals);
    WriteSettingString("DealMenu", "LastFile", file);
    WriteSettingString("DealMenu", "NumberOfCopies", std::to_string(copies).c_str());
    WriteSettingInt("Parameters", "DealOrder", 1);
    WriteSettingInt("Parameters", "SortOrder", 0);
    WriteSettingInt("Parameters", "buttonstart", 1);
    WriteSettingInt("Parameters", "traystart", tray ? 1 : 0);
    Connect();
    dialog_->ShowPage(3);
    page = static_cast<Page_DealMenu*>(dialog_->Page(3));
    ASSERT_TRUE(page->TimerRunning());
  }

  int boards_ = 2000;
};

TEST_F(Soak, TwoThousandBoards) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string log = dir.path().toStdString() + "/Quadrelle.txt";
  ASSERT_NO_FATAL_FAILURE(StartLogAtItsLimit(log));

  const int copies = (boards_ + kDeals - 1) / kDeals;
  Page_DealMenu* page = nullptr;
  ASSERT_NO_FATAL_FAILURE(OpenRun("soak.bri", kDeals, copies, false, page));

  const long start_kib = ResidentKiB();
  const size_t start_history = TraceHistoryForTests();
  long at_half_kib = 0;
  uintmax_t largest_log = FileSize(log);
  uintmax_t last_size = largest_log;
  int trims = 0;
  int wrong = 0;
  std::printf("board     0: resident %ld KiB, log %ju bytes\n", start_kib, largest_log);
  for (int board = 1; board <= boards_; ++board) {
    page->OnStartNext();
    bool sorted = false;
    for (int i = 0; i < 500; ++i) {
      clock_.Advance(kTickMs);
      dialog_->OnKickIdle();
      page->OnTimer();
      sorted = sorted || page->State() == Page_DealMenu::RunState::Sorting;
      if (sorted && page->State() == Page_DealMenu::RunState::Idle) break;
    }
    ASSERT_TRUE(sorted && page->State() == Page_DealMenu::RunState::Idle) << "board " << board;
    // Deal (board - 1) % kDeals lies in the pockets: West in pocket 1 under "NESW".
    const uint8_t* west = page->Deals()[static_cast<size_t>((board - 1) % kDeals)].HandCards(kWest);
    std::vector<int> expected(west, west + kCardsInHand);
    std::vector<int> pocket = sim_->machine.Pocket(1);
    std::sort(expected.begin(), expected.end());
    std::sort(pocket.begin(), pocket.end());
    wrong += pocket != expected;

    // What the rig itself records of the traffic is not the program's memory.
    sim_log_.clear();
    device_->writes.clear();

    const uintmax_t size = FileSize(log);
    trims += size < last_size;
    last_size = size;
    largest_log = std::max(largest_log, size);
    if (board == boards_ / 2) at_half_kib = ResidentKiB();
    if (board % 250 == 0) {
      long file_backed = 0;
      const long resident = ResidentKiB(&file_backed);
      std::printf("board %5d: resident %ld KiB (%ld KiB of it file-backed), log %ju bytes\n", board,
                  resident, file_backed, size);
    }
  }
  const long end_kib = ResidentKiB();
  std::printf("resident: start %ld KiB, half-way %ld KiB, end %ld KiB\n", start_kib, at_half_kib,
              end_kib);
  std::printf("growth per 1,000 boards: %.1f KiB over the whole run, %.1f KiB in its second half\n",
              (end_kib - start_kib) * 1000.0 / boards_,
              (end_kib - at_half_kib) * 1000.0 / (boards_ - boards_ / 2));
  // The in-memory history is a fixed ring of static records: its pages become resident as it
  // fills, up to its full size, and that is most of the growth above.
  const size_t history = TraceHistoryForTests() - start_history;
  const double history_kib = history * HistoryRecordBytes() / 1024.0;
  std::printf(
      "history ring: %zu records more (%.0f KiB of its pages); growth besides: %.1f KiB "
      "per 1,000 boards\n",
      history, history_kib, (end_kib - start_kib - history_kib) * 1000.0 / boards_);
  std::printf("log: largest %ju bytes, now %ju bytes, trimmed %d time(s)\n", largest_log,
              FileSize(log), trims);
  EXPECT_EQ(wrong, 0);
  // The file is trimmed when the log reopens it, at most every 5 s: in between it may pass the
  // limit by what those seconds write (here some 45 boards, as no time goes into sorting).
  EXPECT_LE(largest_log, uintmax_t{kLogLimit} + 64 * 1024);
  EXPECT_GT(trims, 0) << "the log was never trimmed";
}

// An operator's whole day: 12 hours of the fake clock with the deal menu shown and polling at
// its 20 ms pace, 500 boards (50 deals in 10 copies) dealt spread over the day, and a two-second
// cable glitch every hour in the middle of a sort. After each glitch the operator opens the deal
// menu again and the run goes on where it stood. Every board the program reports done must hold
// its deal's hands in the pockets, every deal must be reported done exactly its copies, and the
// resident memory and the log file must stay flat.
TEST_F(Soak, TwelveHoursWithAGlitchEveryHour) {
  constexpr int kDayDeals = 50;
  constexpr int kCopies = 10;
  constexpr int kBoards = kDayDeals * kCopies;
  constexpr uint32_t kHour = 3600 * 1000;
  // QUADRELLE_SOAK_HOURS shortens the day for a quick look.
  const char* hours_text = std::getenv("QUADRELLE_SOAK_HOURS");
  const uint32_t hours = hours_text != nullptr ? static_cast<uint32_t>(std::atoi(hours_text)) : 12;
  ASSERT_GE(hours, 2u);
  const uint32_t kDay = hours * kHour;
  constexpr int kPocketHand[4] = {kWest, kSouth, kEast, kNorth};  // "NESW"
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string log = dir.path().toStdString() + "/Quadrelle.txt";
  ASSERT_NO_FATAL_FAILURE(StartLogAtItsLimit(log));

  Page_DealMenu* page = nullptr;
  ASSERT_NO_FATAL_FAILURE(OpenRun("day.bri", kDayDeals, kCopies, true, page));

  std::vector<int> done(kDayDeals, 0);
  int reported = 0, wrong = 0, glitches = 0, returns = 0, mid_run = 0, resumed = 0;
  int sending = -1;  // the deal of the sort under way
  const uint32_t start = Now();
  uint32_t next_board = start + 1000;
  uint32_t next_glitch = start + kHour / 2;
  long hour_one_kib = 0;
  uintmax_t largest_log = 0;
  std::printf("hour  0: resident %ld KiB, log %ju bytes\n", ResidentKiB(), FileSize(log));
  for (uint32_t elapsed = 0; elapsed < kDay; elapsed = Now() - start) {
    clock_.Advance(kTickMs);
    dialog_->OnKickIdle();
    ReplugWhenDue();
    if (page->isHidden() && dialog_->MachineLink() != nullptr) {
      dialog_->ShowPage(3);  // the operator opens the deal menu again
      ++returns;
      if (reported < kBoards) {  // a finished run has nothing to resume
        ++mid_run;
        // Where it stood: at the deck the machine may still hold, or at the next not done.
        const QString status = dialog_->StatusPane()->text();
        resumed += status.startsWith("Run resumed at") ||
                   status.startsWith("The machine is still sorting");
      }
    }
    if (page->isHidden()) continue;
    const bool was_sorting = page->State() == Page_DealMenu::RunState::Sorting;
    const int counter_before = page->DealCounter();
    page->OnTimer();
    const bool now_sorting = page->State() == Page_DealMenu::RunState::Sorting;
    if (!was_sorting && now_sorting) {
      sending = page->Viewer()->GetCurrentDeal();
    } else if (was_sorting && !now_sorting &&
               (page->DealCounter() != counter_before || page->DealCounter() == 1)) {
      // Reported done: the pockets hold this deal's hands.
      const Deal& deal = page->Deals()[static_cast<size_t>(sending)];
      for (int pocket = 1; pocket <= 4; ++pocket) {
        const uint8_t* hand = deal.HandCards(kPocketHand[pocket - 1]);
        std::vector<int> want(hand, hand + kCardsInHand), got = sim_->machine.Pocket(pocket);
        std::sort(want.begin(), want.end());
        std::sort(got.begin(), got.end());
        wrong += want != got;
      }
      ++done[static_cast<size_t>(sending)];
      ++reported;
    }
    // In the middle of a sort while boards remain, else whenever it is due.
    if ((now_sorting || reported >= kBoards) && static_cast<int32_t>(Now() - next_glitch) >= 0 &&
        Plugged()) {
      PullFor(2000);
      ++glitches;
      next_glitch += kHour;
    }
    if (!now_sorting && reported < kBoards && static_cast<int32_t>(Now() - next_board) >= 0) {
      page->OnStartNext();
      next_board += (kDay - kHour) / kBoards;  // an hour to spare for starts a glitch undid
    }
    // What the rig itself records of the traffic is not the program's memory.
    sim_log_.clear();
    device_->writes.clear();
    largest_log = std::max(largest_log, FileSize(log));
    if (elapsed % kHour < kTickMs && elapsed >= kHour) {
      const long resident = ResidentKiB();
      if (hour_one_kib == 0) hour_one_kib = resident;
      std::printf("hour %2u: resident %ld KiB, log %ju bytes, %d boards\n", elapsed / kHour,
                  resident, FileSize(log), reported);
    }
  }
  const long end_kib = ResidentKiB();
  // At the end of the day a critical line (the operator's Shift+Ctrl+F7) dumps the history of
  // the deal menu's polling into the log: the file stays within its limit and slack.
  TRACE('C', "critical line at the end of the day\n");
  const uintmax_t after_dump = FileSize(log);
  std::printf("log after the critical dump: %ju bytes\n", after_dump);
  EXPECT_LE(after_dump, uintmax_t{kLogLimit} + kLogLimit / 4);
  std::printf("day: %d boards reported, %d glitches, %d returns to the deal menu (%d resumed)\n",
              reported, glitches, returns, resumed);
  std::printf("resident: after hour 1 %ld KiB, after hour %u %ld KiB; log at most %ju bytes\n",
              hour_one_kib, hours, end_kib, largest_log);
  EXPECT_EQ(reported, kBoards);
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(std::count(done.begin(), done.end(), kCopies), kDayDeals)
      << "a deal not reported done exactly its copies";
  EXPECT_EQ(glitches, static_cast<int>(hours));
  EXPECT_EQ(resumed, mid_run);
  EXPECT_LE(largest_log, uintmax_t{kLogLimit} + kLogLimit / 4);
  // Flat: what the first hour brought in may stay, the eleven after it add next to nothing.
  EXPECT_LT(end_kib - hour_one_kib, 4 * 1024);
}

}  // namespace
