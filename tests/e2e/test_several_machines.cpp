// Several machines from one computer: three copies of the program, each a process of its own
// bound to one emulator slot, deal three different runs at the same time. Each copy is this
// test program started again with one copy's run in its environment; its simulated machine
// runs on a thread of its own process and plugs into the copy's slot in a directory all three
// share, so the only way between a copy and a machine is the slot it was bound to.
#include <gtest/gtest.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <sstream>
#include <thread>

#include "DealFiles.h"
#include "MachineFilter.h"
#include "MessageBox.h"
#include "Page_DealMenu.h"
#include "RunSections.h"
#include "Settings.h"
#include "SimServer.h"
#include "USBinterface.h"
#include "log.h"
#include "maindlg.h"
#include "platform/Backends.h"
#include "platform/EmuBackend.h"
#include "platform/FakeBackend.h"
#include "platform/Reactor.h"

namespace {

constexpr const char* kCopyVariable = "QUADRELLE_E2E_COPY";

uint32_t SteadyMs() {
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

double ThreadCpuMs() {
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

// One copy's run, as the parent hands it over in the environment:
// "slot seed start number copies deal_order sort_order unplug_after idle_ms expected,indices".
struct CopyRun {
  int slot = 0;
  int seed = 0;  // the file's deals are MakeDeal(seed + 1) onwards: every copy's file differs
  int start = 1;
  int number = 1;
  int copies = 1;
  int deal_order = 0;
  int sort_order = 0;
  int unplug_after = -1;  // the machine's cable is pulled after this board (-1: never)
  int idle_ms = 0;        // > 0: no run, the window idles this long on the deal menu
  std::vector<int> expected;

  std::string Encode() const {
    std::ostringstream out;
    out << slot << ' ' << seed << ' ' << start << ' ' << number << ' ' << copies << ' '
        << deal_order << ' ' << sort_order << ' ' << unplug_after << ' ' << idle_ms << ' ';
    for (size_t i = 0; i < expected.size(); ++i) out << (i ? "," : "") << expected[i];
    return out.str();
  }
  static bool Decode(const std::string& text, CopyRun* run) {
    std::istringstream in(text);
    std::string list;
    if (!(in >> run->slot >> run->seed >> run->start >> run->number >> run->copies >>
          run->deal_order >> run->sort_order >> run->unplug_after >> run->idle_ms)) {
      return false;
    }
    in >> list;
    std::istringstream items(list);
    std::string item;
    while (std::getline(items, item, ',')) run->expected.push_back(std::stoi(item));
    return true;
  }
  std::string Machine() const { return std::to_string(slot + 42); }
};

// The deal whose four hands lie in the pockets, whichever pocket holds which hand; -1 for none.
template <class Deals>
int DealInPockets(const qsim::Machine& machine, const Deals& deals) {
  std::vector<std::vector<int>> pockets;
  for (int pocket = 1; pocket <= 4; ++pocket) {
    std::vector<int> cards = machine.Pocket(pocket);
    std::sort(cards.begin(), cards.end());
    pockets.push_back(cards);
  }
  std::sort(pockets.begin(), pockets.end());
  for (size_t i = 0; i < deals.size(); ++i) {
    std::vector<std::vector<int>> hands;
    for (int hand = 0; hand < 4; ++hand) {
      const uint8_t* cards = deals[i].HandCards(hand);
      std::vector<int> sorted(cards, cards + kCardsInHand);
      std::sort(sorted.begin(), sorted.end());
      hands.push_back(sorted);
    }
    std::sort(hands.begin(), hands.end());
    if (hands == pockets) return static_cast<int>(i);
  }
  return -1;
}

// One copy: the program's window bound to its machine, and that machine on a thread.
class OneCopy {
 public:
  OneCopy(const CopyRun& run, const std::string& slot_dir) : run_(run) {
    TraceResetForTests();
    TraceSetStandardOutput(nullptr);
    qplatform::Reactor::Instance().Install();
    ConnectionList().clear();
    emulator_ = std::make_unique<qplatform::EmulatorLink>(slot_dir);
    backends_ = std::make_unique<qplatform::ScopedBackends>(
        qplatform::Backends{&hid_, &bulk_, emulator_.get()});
    qsim::MachineOptions options;
    options.card_ms = 1;
    options.deck.shuffled = true;
    state_ = std::make_unique<qsim::SimState>(options);
    thread_ = std::thread([this, path = emulator_->SlotPath(run.slot)] { RunMachine(path); });
  }
  ~OneCopy() {
    dialog_.reset();
    stop_ = true;
    thread_.join();
    ConnectionList().clear();
    backends_.reset();
    emulator_.reset();
  }

  // The run's file and values as the operator left them for this machine.
  void StoreRun() {
    for (int i = 0; i < 12; ++i)
      deals_.push_back(MakeDeal(static_cast<unsigned>(run_.seed + i + 1)));
    const std::string file = "run-" + run_.Machine() + ".bri";
    ASSERT_TRUE(WriteBriFile(file, deals_));
    SetRunSettingsMachine(run_.Machine());
    ASSERT_TRUE(WriteSettingString(CardDistributionSection(), "Filename", file.c_str()));
    ASSERT_TRUE(WriteSettingInt(CardDistributionSection(), "StartDeal", run_.start));
    ASSERT_TRUE(WriteSettingInt(CardDistributionSection(), "NumberOfDeal", run_.number));
    ASSERT_TRUE(WriteSettingString(DealMenuSection(), "LastFile", file.c_str()));
    ASSERT_TRUE(WriteSettingString(DealMenuSection(), "NumberOfCopies",
                                   std::to_string(run_.copies).c_str()));
    ASSERT_TRUE(WriteSettingInt("Parameters", "DealOrder", run_.deal_order));
    ASSERT_TRUE(WriteSettingInt("Parameters", "SortOrder", run_.sort_order));
    ASSERT_TRUE(WriteSettingInt("Parameters", "buttonstart", 1));
    ASSERT_TRUE(WriteSettingInt("Parameters", "traystart", 0));
  }

  // Opens the window and waits until it holds its machine, then shows the deal menu.
  void Connect() {
    dialog_ = std::make_unique<CMainDlg>(nullptr, MachineFilter(run_.Machine()));
    dialog_->show();
    ASSERT_TRUE(RunUntil([&] { return dialog_->MachineLink() != nullptr; }));
    EXPECT_EQ(dialog_->MachineLink()->Id(), static_cast<uint32_t>(run_.slot + 42));
    dialog_->ShowPage(3);
    page_ = static_cast<Page_DealMenu*>(dialog_->Page(3));
    ASSERT_TRUE(page_->TimerRunning());
  }

  // Deals every board of the run; says on standard output how long each took.
  void DealTheRun() {
    for (size_t board = 0; board < run_.expected.size(); ++board) {
      const uint32_t started = SteadyMs();
      {
        std::lock_guard<std::mutex> lock(mutex_);
        state_->machine.PressButton(SteadyMs());
      }
      ASSERT_TRUE(RunUntil([&] { return page_->State() == Page_DealMenu::RunState::Sorting; }));
      ASSERT_TRUE(RunUntil([&] { return page_->State() == Page_DealMenu::RunState::Idle; }));
      std::printf("board-ms %u\n", SteadyMs() - started);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        dealt_.push_back(DealInPockets(state_->machine, page_->Deals()));
        ASSERT_GE(dealt_.back(), 0);
        // The run's own deals, never another copy's file.
        EXPECT_EQ(DealInPockets(state_->machine, deals_), dealt_.back());
      }
      if (static_cast<int>(board) == run_.unplug_after) Replug();
    }
    EXPECT_EQ(dealt_, run_.expected);
  }

  // The cable out and in again: the window drops its machine and takes the same one back.
  void Replug() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      state_->link.plugged = false;
      server_->Disconnect("unplugged by the test");
    }
    ASSERT_TRUE(RunUntil([&] { return dialog_->MachineLink() == nullptr; }));
    {
      std::lock_guard<std::mutex> lock(mutex_);
      state_->link.plugged = true;
    }
    ASSERT_TRUE(RunUntil([&] { return dialog_->MachineLink() != nullptr; }));
    EXPECT_EQ(dialog_->MachineLink()->Id(), static_cast<uint32_t>(run_.slot + 42));
    dialog_->ShowPage(3);  // the same run, resumed where it stood
    ASSERT_TRUE(page_->TimerRunning());
  }

  // The window with its machine on the deal menu, doing nothing, for `ms`: the main thread's
  // processor time in that while.
  double Idle(int ms) {
    // The program's own event loop, as the operator's window runs it (no polling of ours).
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    const double before = ThreadCpuMs();
    loop.exec();
    return ThreadCpuMs() - before;
  }

 private:
  // quadrelle-sim's loop, reduced: plug into the slot, serve, wait a little for input.
  void RunMachine(const std::string& path) {
    qsim::SimServer server(*state_, [](const std::string&) {});
    {
      std::lock_guard<std::mutex> lock(mutex_);
      server_ = &server;
    }
    while (!stop_) {
      int fd = -1;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        server.PlugInto(path, SteadyMs());
        server.Pump(SteadyMs());
        fd = server.fd();
      }
      pollfd p{fd, POLLIN, 0};
      ::poll(&p, fd >= 0 ? 1 : 0, 2);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    server_ = nullptr;
  }

  template <class Done>
  bool RunUntil(Done done, int ms = 10000) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done() && std::chrono::steady_clock::now() < limit) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return done();
  }

  CopyRun run_;
  std::vector<Deal> deals_;
  std::vector<int> dealt_;
  qplatform::FakeBackend hid_{qplatform::FakeDevice::Kind::kHid};
  qplatform::FakeBackend bulk_{qplatform::FakeDevice::Kind::kBulk};
  std::unique_ptr<qplatform::EmulatorLink> emulator_;
  std::unique_ptr<qplatform::ScopedBackends> backends_;
  std::mutex mutex_;  // guards the simulated machine between the two threads
  std::unique_ptr<qsim::SimState> state_;
  qsim::SimServer* server_ = nullptr;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  MessageBoxCapture boxes_;
  std::unique_ptr<CMainDlg> dialog_;
  Page_DealMenu* page_ = nullptr;
};

// The copy's side: runs only when the parent below started this program for one copy.
TEST(SeveralMachinesCopy, DealsItsOwnRun) {
  const QByteArray encoded = qgetenv(kCopyVariable);
  if (encoded.isEmpty()) GTEST_SKIP() << "started by SeveralMachines only";
  CopyRun run;
  ASSERT_TRUE(CopyRun::Decode(encoded.toStdString(), &run));
  OneCopy copy(run, qgetenv("QUADRELLE_E2E_SLOTS").toStdString());
  copy.StoreRun();
  copy.Connect();
  if (run.idle_ms > 0) {
    std::printf("idle-cpu-ms %.1f\n", copy.Idle(run.idle_ms));
    return;
  }
  copy.DealTheRun();
}

struct Started {
  std::unique_ptr<QProcess> process;
  std::string output;
};

// Starts the copies at once and waits for all; each one's standard output.
std::vector<std::string> RunCopies(const std::vector<CopyRun>& runs, const QString& slot_dir,
                                   std::vector<int>* exit_codes) {
  std::vector<Started> started(runs.size());
  for (size_t i = 0; i < runs.size(); ++i) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kCopyVariable, QString::fromStdString(runs[i].Encode()));
    environment.insert("QUADRELLE_E2E_SLOTS", slot_dir);
    started[i].process = std::make_unique<QProcess>();
    started[i].process->setProcessEnvironment(environment);
    started[i].process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    started[i].process->start(QCoreApplication::applicationFilePath(),
                              {"--gtest_filter=SeveralMachinesCopy.DealsItsOwnRun"});
  }
  std::vector<std::string> outputs;
  for (Started& s : started) {
    s.process->waitForFinished(120000);
    outputs.push_back(s.process->readAllStandardOutput().toStdString());
    exit_codes->push_back(s.process->exitStatus() == QProcess::NormalExit ? s.process->exitCode()
                                                                          : -1);
  }
  return outputs;
}

// The mean of the numbers after `key` in a copy's output.
double MeanOf(const std::string& output, const std::string& key) {
  std::istringstream in(output);
  std::string word;
  double sum = 0;
  int count = 0;
  while (in >> word) {
    if (word != key) continue;
    double value = 0;
    if (in >> value) {
      sum += value;
      ++count;
    }
  }
  return count == 0 ? 0 : sum / count;
}

class SeveralMachines : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!qgetenv(kCopyVariable).isEmpty()) GTEST_SKIP() << "this process is one copy";
    ASSERT_TRUE(slots_.isValid());
  }

  // Three runs: different files, ranges, copies, deal and sort orders.
  static std::vector<CopyRun> ThreeRuns() {
    CopyRun a{0, 0, 3, 4, 2, 1, 2, -1, 0, {2, 3, 4, 5, 2, 3, 4, 5}};
    CopyRun b{1, 100, 1, 3, 2, 0, 0, -1, 0, {0, 0, 1, 1, 2, 2}};
    CopyRun c{2, 200, 5, 3, 3, 1, 1, 3, 0, {4, 5, 6, 4, 5, 6, 4, 5, 6}};
    return {a, b, c};
  }

  QTemporaryDir slots_;
};

// Three copies deal at once; after each board every machine's pockets hold the hands of its own
// copy's file, in its own order, and the machine unplugged mid-run comes back to its copy.
TEST_F(SeveralMachines, ThreeCopiesDealTheirOwnRunsAtOnce) {
  std::vector<int> codes;
  const std::vector<std::string> outputs = RunCopies(ThreeRuns(), slots_.path(), &codes);
  EXPECT_EQ(codes, (std::vector<int>{0, 0, 0}));
  for (const std::string& output : outputs) {
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
  }

  // The time per board of one machine while the other two deal, against it dealing alone.
  std::vector<int> alone_codes;
  const std::vector<std::string> alone = RunCopies({ThreeRuns()[0]}, slots_.path(), &alone_codes);
  EXPECT_EQ(alone_codes, (std::vector<int>{0}));
  const double together_ms = MeanOf(outputs[0], "board-ms");
  const double alone_ms = MeanOf(alone[0], "board-ms");
  std::printf("time per board: %.1f ms with three machines dealing, %.1f ms alone (ratio %.2f)\n",
              together_ms, alone_ms, alone_ms > 0 ? together_ms / alone_ms : 0.0);
  RecordProperty("board_ms_three", std::to_string(together_ms));
  RecordProperty("board_ms_alone", std::to_string(alone_ms));
}

// Idle processor use of three windows with three machines against one window with one. Shown,
// not asserted: absolute times are noise on shared machines.
TEST_F(SeveralMachines, IdleProcessorUseOfThreeWindows) {
  std::vector<CopyRun> runs = ThreeRuns();
  for (CopyRun& run : runs) run.idle_ms = 3000;
  std::vector<int> codes;
  const std::vector<std::string> three = RunCopies(runs, slots_.path(), &codes);
  const std::vector<std::string> one = RunCopies({runs[0]}, slots_.path(), &codes);
  EXPECT_EQ(codes, (std::vector<int>{0, 0, 0, 0}));
  double three_ms = 0;
  for (const std::string& output : three) three_ms += MeanOf(output, "idle-cpu-ms");
  const double one_ms = MeanOf(one[0], "idle-cpu-ms");
  EXPECT_GT(one_ms, 0.0);
  std::printf(
      "idle processor time in 3 s: %.1f ms for three windows, %.1f ms for one (ratio %.2f)\n",
      three_ms, one_ms, one_ms > 0 ? three_ms / one_ms : 0.0);
  RecordProperty("idle_cpu_ms_three", std::to_string(three_ms));
  RecordProperty("idle_cpu_ms_one", std::to_string(one_ms));
}

}  // namespace
