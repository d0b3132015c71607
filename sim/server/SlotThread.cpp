#include "SlotThread.h"

#include <chrono>

namespace qsim {

SlotThread::SlotThread(MachineOptions options, std::string path, LogSink log)
    : state_(std::move(options)),
      path_(std::move(path)),
      log_(std::move(log)),
      thread_([this] { Run(); }) {}

SlotThread::~SlotThread() {
  stop_ = true;
  thread_.join();
}

uint32_t SlotThread::Now() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SlotThread::WithState(const std::function<void(SimState&)>& work) {
  std::lock_guard<std::mutex> lock(mutex_);
  work(state_);
}

void SlotThread::SetPlugged(bool plugged) {
  std::lock_guard<std::mutex> lock(mutex_);
  state_.link.plugged = plugged;
  if (!plugged && server_ != nullptr) server_->Disconnect("unplugged");
}

void SlotThread::Run() {
  SimServer server(state_, [this](const std::string& line) {
    if (log_) log_(line);
  });
  {
    std::lock_guard<std::mutex> lock(mutex_);
    server_ = &server;
  }
  while (!stop_) {
    std::shared_ptr<SlotChannel> channel;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      server.PlugInto(path_, Now());
      server.Pump(Now());
      channel = server.channel();
    }
    if (channel) {
      channel->Wait(2);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  server_ = nullptr;
}

}  // namespace qsim
