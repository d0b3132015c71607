#include "TraceGuard.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "log.h"

namespace {

std::vector<std::pair<char, std::string>> g_expected;

bool Expected(const TraceLine& line) {
  for (const auto& [level, start] : g_expected) {
    if (line.level == level && line.text.compare(0, start.size(), start) == 0) return true;
  }
  return false;
}

class TraceGuardListener : public ::testing::EmptyTestEventListener {
 public:
  void OnTestStart(const ::testing::TestInfo&) override {
    g_expected.clear();
    capture_ = std::make_unique<TraceCapture>();
    capture_->levels = "WC";
  }

  // GoogleTest calls the listeners' OnTestEnd last-registered first, so a failure added here is
  // part of the case's result before the printer reports it.
  void OnTestEnd(const ::testing::TestInfo&) override {
    if (!capture_) return;
    const std::vector<TraceLine> lines = std::move(capture_->lines);
    capture_.reset();
    std::string unexpected;
    for (const TraceLine& line : lines) {
      // A line a capture of the case's own took is one the case reads itself.
      if (!line.inner && !Expected(line)) {
        unexpected += std::string(1, line.level) + " " + line.file + ":" +
                      std::to_string(line.line) + " " + line.text;
        if (unexpected.back() != '\n') unexpected += '\n';
      }
    }
    g_expected.clear();
    if (!unexpected.empty()) {
      ADD_FAILURE() << "trace lines of level W or C the test did not declare "
                       "(ExpectTraceLine):\n"
                    << unexpected;
    }
  }

 private:
  std::unique_ptr<TraceCapture> capture_;
};

}  // namespace

void ExpectTraceLine(char level, const std::string& text_start) {
  g_expected.emplace_back(level, text_start);
}

void ExpectTraceLines(char level, std::initializer_list<const char*> text_starts) {
  for (const char* start : text_starts) ExpectTraceLine(level, start);
}

void InstallTraceGuard() {
  ::testing::UnitTest::GetInstance()->listeners().Append(new TraceGuardListener);
}
