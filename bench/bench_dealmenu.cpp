// The deal menu's own time per dealt board, on the real clock with the simulated firmware
// sorting in no time: from the operator's start to "SORT" on the wire, and from the machine
// being done to Start/Next enabled again. The baseline, in the same process, is one command
// call through the same link and firmware; the page's fixed floor is its 100 ms "STAT" pace.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "BriDup.h"
#include "FooButton.h"
#include "MessageBox.h"
#include "Page_DealMenu.h"
#include "Settings.h"
#include "SimControl.h"
#include "SimPackets.h"
#include "USBinterface.h"
#include "clock.h"
#include "log.h"
#include "maindlg.h"
#include "platform/Backends.h"
#include "platform/FakeBackend.h"
#include "platform/Reactor.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty()      ? 0
         : v.size() % 2 ? v[v.size() / 2]
                        : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// The program with the simulated machine on the link's fake HID device, on the real clock.
struct Rig {
  Rig() : backends(qplatform::Backends{&hid, &bulk, nullptr}) {
    TraceSetStandardOutput(nullptr);
    qplatform::Reactor::Instance().Install();
    qsim::MachineOptions options;
    options.card_ms = 0;
    sim = std::make_unique<qsim::SimState>(options);
    server = std::make_unique<qsim::PacketServer>(*sim, [this](const std::string& line) {
      if (line.rfind("<- ", 0) == 0 && line.find(" SORT ") != std::string::npos) {
        sort_seen = Clock::now();
        ++sorts;
      }
    });
    device = hid.AddDevice("/dev/hidraw3");
    device->on_write = [this](qplatform::FakeDevice&, const uint8_t* bytes, uint32_t size) {
      for (uint32_t offset = 0; offset + kPacketRecordSize <= size; offset += kPacketRecordSize) {
        PacketRecord record;
        std::memcpy(record.bytes, bytes + offset, kPacketRecordSize);
        server->Receive(record, qclock::GetTickCount());
      }
      const uint32_t now = qclock::GetTickCount();
      for (const qsim::PacketServer::Output& output : server->TakeAll()) {
        const uint32_t delay = static_cast<int32_t>(output.due - now) > 0 ? output.due - now : 0;
        if (!output.hang_up) device->SendPacket(output.record, delay);
      }
    };
    // 8 deals from a sorted deck, dealt 13 times over: more boards than one measurement takes.
    std::string records;
    for (int deal = 0; deal < 8; ++deal) {
      std::string record;
      for (int pos = 0; pos < 39; ++pos) {
        const int card = (pos + deal * 5) % 52 + 1;
        record += static_cast<char>('0' + card / 10);
        record += static_cast<char>('0' + card % 10);
      }
      record.resize(128, ' ');
      records += record;
    }
    FILE* file = std::fopen("bench.bri", "wb");
    std::fwrite(records.data(), 1, records.size(), file);
    std::fclose(file);
    WriteSettingString("CardDistribution", "Filename", "bench.bri");
    WriteSettingInt("CardDistribution", "StartDeal", 1);
    WriteSettingInt("CardDistribution", "NumberOfDeal", 8);
    WriteSettingString("DealMenu", "LastFile", "bench.bri");
    WriteSettingString("DealMenu", "NumberOfCopies", "999");
    dialog = std::make_unique<CMainDlg>();
    dialog->show();
    while (dialog->MachineLink() == nullptr) QCoreApplication::processEvents();
    dialog->ShowPage(3);
    page = static_cast<Page_DealMenu*>(dialog->Page(3));
  }
  ~Rig() {
    dialog.reset();
    ConnectionList().clear();
  }

  template <class Done>
  void RunUntil(Done done) {
    const Clock::time_point limit = Clock::now() + std::chrono::seconds(5);
    while (!done() && Clock::now() < limit) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
    }
  }

  qplatform::FakeHidBackend hid;
  qplatform::FakeBulkBackend bulk;
  qplatform::ScopedBackends backends;
  std::unique_ptr<qsim::SimState> sim;
  std::unique_ptr<qsim::PacketServer> server;
  std::shared_ptr<qplatform::FakeDevice> device;
  MessageBoxCapture boxes;
  std::unique_ptr<CMainDlg> dialog;
  Page_DealMenu* page = nullptr;
  Clock::time_point sort_seen;
  int sorts = 0;
};

Rig& TheRig() {
  static Rig rig;
  return rig;
}

// One board per iteration; manual time is the program's own part of it.
void BM_Board(benchmark::State& state) {
  Rig& rig = TheRig();
  std::vector<double> to_sort;
  std::vector<double> to_enabled;
  for (auto _ : state) {
    const int sorts = rig.sorts;
    const Clock::time_point start = Clock::now();
    rig.page->OnStartNext();  // what the Start/Next button does
    rig.RunUntil([&] { return rig.sorts > sorts; });
    const Clock::time_point sort_seen = rig.sort_seen;
    // The firmware sorts in no time: it is done as soon as it has the deal.
    rig.RunUntil([&] {
      return rig.page->State() == Page_DealMenu::RunState::Idle &&
             rig.page->StartNextButton()->isEnabled();
    });
    const Clock::time_point enabled = Clock::now();
    to_sort.push_back(Ms(sort_seen - start));
    to_enabled.push_back(Ms(enabled - sort_seen));
    state.SetIterationTime(std::chrono::duration<double>(enabled - start).count());
  }
  state.counters["start_to_SORT_median_ms"] = Median(to_sort);
  state.counters["done_to_enabled_median_ms"] = Median(to_enabled);
  state.counters["done_to_enabled_vs_100ms_floor"] = Median(to_enabled) / 100.0;
}
BENCHMARK(BM_Board)->UseManualTime()->Iterations(100)->Unit(benchmark::kMillisecond);

// The baseline: one command call through the same dialog, link and firmware.
void BM_CommandCall(benchmark::State& state) {
  Rig& rig = TheRig();
  char reply[280];
  for (auto _ : state) {
    benchmark::DoNotOptimize(rig.dialog->SendMachineCommand("STAT", reply, sizeof reply));
  }
}
BENCHMARK(BM_CommandCall)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QTemporaryDir scratch;
  qputenv("XDG_CONFIG_HOME", scratch.path().toLocal8Bit() + "/config");
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QDir::setCurrent(scratch.path());
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
