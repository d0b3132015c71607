// Several machines from one computer: three copies of the program, each a process of its own
// bound to one emulator slot, deal three different runs at the same time. Each copy is this
// test program started again with one copy's run in its environment; its simulated machine
// runs on a thread of its own process and plugs into the copy's slot in a directory all three
// share, so the only way between a copy and a machine is the slot it was bound to.
#include <gtest/gtest.h>
#include <time.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sstream>

#include "DealFiles.h"
#include "MachineFilter.h"
#include "MessageBox.h"
#include "Page_DealMenu.h"
#include "RunSections.h"
#include "Settings.h"
#include "SlotThread.h"
#include "USBinterface.h"
#include "log.h"
#include "maindlg.h"
#include "platform/Backends.h"
#include "platform/FakeBackend.h"
#include "platform/Reactor.h"

namespace {

// One copy's run, handed over in QUADRELLE_E2E_COPY as its numbers in this order, then the
// indices of the deals expected board by board.
struct CopyRun {
  int slot, seed, start, number, copies, deal_order, sort_order;
  int unplug_after;  // the machine's cable is pulled after this board (-1: never)
  int idle_ms;       // > 0: no run; the window idles this long on the deal menu
  std::vector<int> expected;

  std::string Encode() const {
    std::ostringstream out;
    for (int v : {slot, seed, start, number, copies, deal_order, sort_order, unplug_after, idle_ms})
      out << v << ' ';
    for (int v : expected) out << v << ' ';
    return out.str();
  }
  static CopyRun Decode(const std::string& text) {
    std::istringstream in(text);
    CopyRun r{};
    in >> r.slot >> r.seed >> r.start >> r.number >> r.copies >> r.deal_order >> r.sort_order >>
        r.unplug_after >> r.idle_ms;
    for (int v = 0; in >> v;) r.expected.push_back(v);
    return r;
  }
  uint32_t Id() const { return static_cast<uint32_t>(slot + 42); }
};

// The deal whose four hands lie in the pockets, whichever pocket holds which; -1 for none.
int DealInPockets(const qsim::Machine& machine, const std::vector<Deal>& deals) {
  const auto sorted = [](std::vector<int> cards) {
    std::sort(cards.begin(), cards.end());
    return cards;
  };
  std::vector<std::vector<int>> pockets;
  for (int pocket = 1; pocket <= 4; ++pocket) pockets.push_back(sorted(machine.Pocket(pocket)));
  std::sort(pockets.begin(), pockets.end());
  for (size_t i = 0; i < deals.size(); ++i) {
    std::vector<std::vector<int>> hands;
    for (int hand = 0; hand < 4; ++hand) {
      const uint8_t* cards = deals[i].HandCards(hand);
      hands.push_back(sorted(std::vector<int>(cards, cards + kCardsInHand)));
    }
    std::sort(hands.begin(), hands.end());
    if (hands == pockets) return static_cast<int>(i);
  }
  return -1;
}

// One copy: the program's window bound to its machine, and that machine on a thread.
class OneCopy {
 public:
  OneCopy(const CopyRun& run, const std::string& slot_dir) : run_(run), emulator_(slot_dir) {
    TraceResetForTests();
    TraceSetStandardOutput(nullptr);
    qplatform::Reactor::Instance().Install();
    ConnectionList().clear();
    qsim::MachineOptions options;
    options.card_ms = 1;
    options.deck.shuffled = true;
    machine_ = std::make_unique<qsim::SlotThread>(options, emulator_.SlotPath(run_.slot));
  }
  ~OneCopy() {
    dialog_.reset();
    machine_.reset();
    ConnectionList().clear();
  }

  // The run as the operator left it for this machine; the window on its deal menu.
  void Start() {
    for (int i = 1; i <= 12; ++i) deals_.push_back(MakeDeal(static_cast<unsigned>(run_.seed + i)));
    const std::string file = "run-" + std::to_string(run_.Id()) + ".bri";
    ASSERT_TRUE(WriteBriFile(file, deals_));
    SetRunSettingsMachine(std::to_string(run_.Id()));
    WriteSettingString(CardDistributionSection(), "Filename", file.c_str());
    WriteSettingInt(CardDistributionSection(), "StartDeal", run_.start);
    WriteSettingInt(CardDistributionSection(), "NumberOfDeal", run_.number);
    WriteSettingString(DealMenuSection(), "LastFile", file.c_str());
    WriteSettingString(DealMenuSection(), "NumberOfCopies", std::to_string(run_.copies).c_str());
    WriteSettingInt("Parameters", "DealOrder", run_.deal_order);
    WriteSettingInt("Parameters", "SortOrder", run_.sort_order);
    WriteSettingInt("Parameters", "buttonstart", 1);
    dialog_ = std::make_unique<CMainDlg>(nullptr, MachineFilter(std::to_string(run_.Id())));
    dialog_->show();
    ShowDealMenu();
  }

  // Deals every board; says on standard output how long each took.
  void DealTheRun() {
    std::vector<int> dealt;
    for (size_t board = 0; board < run_.expected.size(); ++board) {
      const uint32_t started = qsim::SlotThread::Now();
      machine_->WithState(
          [](qsim::SimState& state) { state.machine.PressButton(qsim::SlotThread::Now()); });
      ASSERT_TRUE(RunUntil([&] { return page_->State() == Page_DealMenu::RunState::Sorting; }));
      ASSERT_TRUE(RunUntil([&] { return page_->State() == Page_DealMenu::RunState::Idle; }));
      std::printf("board-ms %u\n", qsim::SlotThread::Now() - started);
      machine_->WithState(
          [&](qsim::SimState& state) { dealt.push_back(DealInPockets(state.machine, deals_)); });
      if (static_cast<int>(board) == run_.unplug_after) Replug();
    }
    EXPECT_EQ(dealt, run_.expected);
  }

  // The main thread's processor time while the window idles, in the program's own event loop.
  double IdleCpuMs() {
    QEventLoop loop;
    QTimer::singleShot(run_.idle_ms, &loop, &QEventLoop::quit);
    const double before = ThreadCpuMs();
    loop.exec();
    return ThreadCpuMs() - before;
  }

 private:
  static double ThreadCpuMs() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
  }

  // Waits until the window holds its own machine, then shows the deal menu (the run resumes
  // where it stood).
  void ShowDealMenu() {
    ASSERT_TRUE(RunUntil([&] { return dialog_->MachineLink() != nullptr; }));
    EXPECT_EQ(dialog_->MachineLink()->Id(), run_.Id());
    dialog_->ShowPage(3);
    page_ = static_cast<Page_DealMenu*>(dialog_->Page(3));
    ASSERT_TRUE(page_->TimerRunning());
  }

  // The cable out and in again: the window drops its machine and takes the same one back.
  void Replug() {
    machine_->SetPlugged(false);
    ASSERT_TRUE(RunUntil([&] { return dialog_->MachineLink() == nullptr; }));
    machine_->SetPlugged(true);
    ShowDealMenu();
  }

  template <class Done>
  bool RunUntil(Done done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < limit) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return done();
  }

  CopyRun run_;
  std::vector<Deal> deals_;
  qplatform::FakeHidBackend hid_;
  qplatform::FakeBulkBackend bulk_;
  qplatform::EmulatorLink emulator_;
  qplatform::ScopedBackends backends_{qplatform::Backends{&hid_, &bulk_, &emulator_}};
  std::unique_ptr<qsim::SlotThread> machine_;
  MessageBoxCapture boxes_;
  std::unique_ptr<CMainDlg> dialog_;
  Page_DealMenu* page_ = nullptr;
};

// The copy's side: runs only in a process the test below started for one copy.
TEST(SeveralMachinesCopy, DealsItsOwnRun) {
  const QByteArray encoded = qgetenv("QUADRELLE_E2E_COPY");
  if (encoded.isEmpty()) GTEST_SKIP() << "started by SeveralMachines only";
  const CopyRun run = CopyRun::Decode(encoded.toStdString());
  OneCopy copy(run, qgetenv("QUADRELLE_E2E_SLOTS").toStdString());
  copy.Start();
  if (run.idle_ms > 0) {
    std::printf("idle-cpu-ms %.1f\n", copy.IdleCpuMs());
  } else {
    copy.DealTheRun();
  }
}

// Starts the copies at once, waits for all, and gives the mean of the numbers after `key` in
// each one's output; every copy must pass.
std::vector<double> RunCopies(const std::vector<CopyRun>& runs, const QString& slot_dir,
                              const std::string& key) {
  std::vector<std::unique_ptr<QProcess>> copies;
  for (const CopyRun& run : runs) {
    copies.push_back(std::make_unique<QProcess>());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QUADRELLE_E2E_COPY", QString::fromStdString(run.Encode()));
    environment.insert("QUADRELLE_E2E_SLOTS", slot_dir);
    copies.back()->setProcessEnvironment(environment);
    copies.back()->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    copies.back()->start(QCoreApplication::applicationFilePath(),
                         {"--gtest_filter=SeveralMachinesCopy.DealsItsOwnRun"});
  }
  std::vector<double> means;
  for (auto& copy : copies) {
    copy->waitForFinished(120000);
    const std::string output = copy->readAllStandardOutput().toStdString();
    EXPECT_EQ(copy->exitCode(), 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
    std::istringstream in(output);
    double sum = 0;
    int count = 0;
    for (std::string word; in >> word;) {
      double value = 0;
      if (word == key && in >> value) sum += value, ++count;
    }
    means.push_back(count == 0 ? 0 : sum / count);
  }
  return means;
}

// Three copies deal at once, each a different file, range, number of copies, deal and sort
// order: after each board every machine's pockets hold a deal of its own copy's file, in its
// own order, and the machine unplugged mid-run comes back to its copy. Then the figures, shown
// and not asserted (absolute times are noise on shared machines): the time per board of one
// machine while the other two deal against it alone, and the idle processor time of three
// windows against one.
TEST(SeveralMachines, ThreeCopiesDealTheirOwnRunsAtOnce) {
  if (!qgetenv("QUADRELLE_E2E_COPY").isEmpty()) GTEST_SKIP() << "this process is one copy";
  QTemporaryDir slot_dir;
  std::vector<CopyRun> runs = {
      {0, 0, 3, 4, 2, 1, 2, -1, 0, {2, 3, 4, 5, 2, 3, 4, 5}},
      {1, 100, 1, 3, 2, 0, 0, -1, 0, {0, 0, 1, 1, 2, 2}},
      {2, 200, 5, 3, 3, 1, 1, 3, 0, {4, 5, 6, 4, 5, 6, 4, 5, 6}},
  };
  const std::vector<double> together = RunCopies(runs, slot_dir.path(), "board-ms");
  const std::vector<double> alone = RunCopies({runs[0]}, slot_dir.path(), "board-ms");
  std::printf("time per board: %.1f ms while three machines deal, %.1f ms alone (ratio %.2f)\n",
              together[0], alone[0], together[0] / std::max(alone[0], 0.1));

  for (CopyRun& run : runs) run.idle_ms = 3000;
  const std::vector<double> three = RunCopies(runs, slot_dir.path(), "idle-cpu-ms");
  const std::vector<double> one = RunCopies({runs[0]}, slot_dir.path(), "idle-cpu-ms");
  const double three_ms = three[0] + three[1] + three[2];
  std::printf(
      "idle processor time in 3 s: %.1f ms for three windows, %.1f ms for one (ratio %.2f)\n",
      three_ms, one[0], three_ms / std::max(one[0], 0.1));
}

}  // namespace
