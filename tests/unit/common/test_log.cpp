#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "FullDisc.h"
#include "ScratchFolder.h"
#include "clock.h"
#include "log.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A clock whose every reading is far past the previous one: a drain runs out of its time
// budget before it writes a single line.
class RacingClock : public qclock::Clock {
 public:
  uint32_t TickCount() override { return now_ += 10; }
  void Sleep(uint32_t ms) override { now_ += ms; }

 private:
  uint32_t now_ = 5000;
};

// A stream whose text the case reads back: a file in the case's folder, read from its start.
class StreamCapture {
 public:
  explicit StreamCapture(const fs::path& path) : file_(std::fopen(path.string().c_str(), "w+b")) {}
  ~StreamCapture() {
    if (file_ != nullptr) std::fclose(file_);
  }
  StreamCapture(const StreamCapture&) = delete;
  StreamCapture& operator=(const StreamCapture&) = delete;

  FILE* Stream() const { return file_; }
  // All written so far; writing goes on at the end.
  std::string Text() const {
    std::string text;
    if (file_ == nullptr || std::fflush(file_) != 0 || std::fseek(file_, 0, SEEK_END) != 0) {
      return text;
    }
    text.resize(static_cast<size_t>(std::ftell(file_)));
    std::rewind(file_);
    text.resize(std::fread(text.data(), 1, text.size(), file_));
    std::fseek(file_, 0, SEEK_END);
    return text;
  }

 private:
  FILE* file_;
};

std::vector<std::string> g_handler_messages;
void RecordingHandler(const char* message) {
  g_handler_messages.push_back(message);
}

class TraceLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TraceResetForTests();
    g_handler_messages.clear();
    dir_ = MakeScratchFolder("quadrelle-log");
    ASSERT_FALSE(dir_.empty());
    log_path_ = dir_ / "Quadrelle.txt";
    TraceSetFileName(log_path_.string().c_str());
    TraceSetStandardOutput(nullptr);
    console_ = std::make_unique<StreamCapture>(dir_ / "console.txt");
    ASSERT_NE(console_->Stream(), nullptr);
    TraceSetConsole(console_->Stream());
    TraceSetCriticalHandler(RecordingHandler);
  }
  void TearDown() override {
    TraceResetForTests();
    console_.reset();
    fs::remove_all(dir_);
  }
  std::string Console() { return console_->Text(); }

  qclock::FakeClock clock_{1234567};
  qclock::ScopedClock scoped_{&clock_};
  fs::path dir_;
  fs::path log_path_;
  std::unique_ptr<StreamCapture> console_;
};

TEST_F(TraceLogTest, LineFormatCutsFileNameAndTextAndEndsInOneLineFeed) {
  ASSERT_EQ(TraceSetState(TRACE_RUNNING), TRACE_RUNNING);
  TraceSetThreadName("Main");
  const std::string long_text(200, 'x');
  TraceMark('W', 42, "C:\\src\\app/averyverylongname.cpp");
  TracePrint("%s", long_text.c_str());
  TraceMark('I', 7, "short.cpp");
  TracePrint("two endings\n\r\n");

  const auto lines = SplitLines(ReadFile(log_path_));
  ASSERT_EQ(lines.size(), 2u);
  // "%-10s %02u.%02u:%02u:%03u (%05lu) %c %12s %5hu %s": tick 1234567 shows as 34567.
  const std::regex first(
      "Main       \\d\\d\\.\\d\\d:\\d\\d:\\d\\d\\d \\(34567\\) W  averyverylo"
      "    42 x{127}");
  EXPECT_TRUE(std::regex_match(lines[0], first)) << lines[0];
  const std::regex second(
      "Main       \\d\\d\\.\\d\\d:\\d\\d:\\d\\d\\d \\(34567\\) I    short.cpp"
      "     7 two endings");
  EXPECT_TRUE(std::regex_match(lines[1], second)) << lines[1];
  const std::string file = ReadFile(log_path_);
  EXPECT_EQ(file.substr(file.size() - 12), "two endings\n");
  EXPECT_EQ(file.find('\r'), std::string::npos);
}

TEST_F(TraceLogTest, UnnamedThreadShowsItsIdInHexadecimal) {
  ASSERT_EQ(TraceSetState(TRACE_RUNNING), TRACE_RUNNING);
  TRACE('I', "hello\n");
  const std::string line = ReadFile(log_path_);
  EXPECT_TRUE(std::regex_search(line, std::regex("^[0-9A-F]{4,} +\\d\\d\\."))) << line;
}

TEST_F(TraceLogTest, FullOutputQueueKeepsTheNewest4095Lines) {
  ASSERT_EQ(TraceSetState(TRACE_RUNNING), TRACE_RUNNING);
  {
    RacingClock racing;
    qclock::ScopedClock scoped(&racing);
    for (int i = 0; i < 5000; ++i) TRACE('I', "line %d\n", i);
    EXPECT_EQ(TraceQueuedForTests(), 4095u);
  }
  TraceFlush();
  const auto lines = SplitLines(ReadFile(log_path_));
  ASSERT_EQ(lines.size(), 4095u);
  EXPECT_NE(lines.front().find("line 905"), std::string::npos) << lines.front();
  EXPECT_NE(lines.back().find("line 4999"), std::string::npos) << lines.back();
}

TEST_F(TraceLogTest, DetailedLinesStayInMemory) {
  ASSERT_EQ(TraceSetState(TRACE_RUNNING), TRACE_RUNNING);
  const size_t before = TraceHistoryForTests();
  TRACE('T', "only in memory\n");
  EXPECT_EQ(TraceHistoryForTests(), before + 1);
  EXPECT_EQ(ReadFile(log_path_).find("only in memory"), std::string::npos);
  EXPECT_EQ(Console().find("only in memory"), std::string::npos);
}

// A day of polling must neither grow the program nor let a critical dump blow the log file up:
// the history holds a bounded number of records, and a dump keeps the file within its limit
// plus the quarter a trim takes off, leaving out the oldest history lines, never the newest.
TEST_F(TraceLogTest, HistoryAndDumpAreBounded) {
  constexpr uint32_t kLimit = 256 * 1024;
  TraceSetSizeLimit(kLimit);
  {
    std::ofstream(log_path_) << std::string(kLimit + 4096, 'o') << '\n';  // past the limit
  }
  ASSERT_EQ(TraceSetState(TRACE_RUNNING), TRACE_RUNNING);
  for (int i = 0; i < 40000; ++i) TRACE('T', "poll %06d %s\n", i, std::string(90, 'p').c_str());
  EXPECT_EQ(TraceHistoryForTests(), 16383u);
  TRACE('C', "boom\n");
  const std::string file = ReadFile(log_path_);
  EXPECT_LE(file.size(), kLimit + kLimit / 4);
  EXPECT_NE(file.find("poll 039999"), std::string::npos);  // the newest line is in the dump
  EXPECT_EQ(file.find("poll 023617"), std::string::npos);  // the oldest kept one did not fit
  EXPECT_NE(file.find("Dumping lowlevel tracelog done"), std::string::npos);
}

TEST_F(TraceLogTest, CriticalLineIsRedThenDumpsHistoryThenReachesHandlerOnce) {
  ASSERT_EQ(TraceSetState(TRACE_RUNNING), TRACE_RUNNING);
  TRACE('T', "step before the fault\n");
  TraceLowLevel("/x/lowlevel.cpp", 99);
  const int line = __LINE__ + 1;
  TRACE('C', "boom\n");

  const std::string console = Console();
  const size_t red_line = console.find("\033[1;31m");
  const size_t fault = console.find("boom");
  const size_t history = console.find("step before the fault");
  ASSERT_NE(red_line, std::string::npos);
  ASSERT_NE(fault, std::string::npos);
  ASSERT_NE(history, std::string::npos);
  EXPECT_LT(red_line, fault);
  EXPECT_LT(fault, history);
  // The history line is written in red, in the dump format, with its full tick count.
  const std::string before_history = console.substr(0, history);
  EXPECT_NE(before_history.rfind("\033[1;31m\t"), std::string::npos);
  EXPECT_TRUE(std::regex_search(console, std::regex("\t\\S+ +0001234567 +test_log.cp +\\d+ "
                                                    "step before the fault\n")));

  ASSERT_EQ(g_handler_messages.size(), 1u);
  EXPECT_EQ(g_handler_messages[0], "File :test_log.cp\nLine :" + std::to_string(line) + "\nboom\n");

  // The dump reports itself, and the low-level ring goes to the log file.
  TraceFlush();
  const std::string file = ReadFile(log_path_);
  EXPECT_NE(file.find("Dumping tracelog done"), std::string::npos);
  EXPECT_NE(file.find("\t 0001234567, lowlevel.cpp:99\n"), std::string::npos);
  EXPECT_NE(file.find("step before the fault"), std::string::npos);
}

// A clock that writes a critical line while the log is busy with another line.
class MeddlingClock : public qclock::Clock {
 public:
  uint32_t TickCount() override {
    if (armed) {
      armed = false;
      TRACE('C', "written from inside\n");
    }
    return 777;
  }
  void Sleep(uint32_t) override {}
  bool armed = false;
};

TEST_F(TraceLogTest, CriticalLineFromInsideTheLogDoesNotReachTheHandler) {
  ASSERT_EQ(TraceSetState(TRACE_RUNNING), TRACE_RUNNING);
  MeddlingClock meddling;
  qclock::ScopedClock scoped(&meddling);
  meddling.armed = true;
  TRACE('I', "outer\n");
  EXPECT_TRUE(g_handler_messages.empty());
  const std::string file = ReadFile(log_path_);
  EXPECT_NE(file.find("written from inside"), std::string::npos);
  EXPECT_NE(file.find("Dumping tracelog"), std::string::npos);
}

TEST_F(TraceLogTest, LinesBeforeTheFirstStartAreDiscarded) {
  StreamCapture out(dir_ / "stdout.txt");
  ASSERT_NE(out.Stream(), nullptr);
  TraceSetStandardOutput(out.Stream());
  EXPECT_EQ(TraceMark('W', 1, "a.cpp"), 0);
  TracePrint("lost\n");
  EXPECT_EQ(out.Text(), "");
  EXPECT_FALSE(fs::exists(log_path_));
}

TEST_F(TraceLogTest, StoppedLogPrintsToStandardOutputAtOnce) {
  StreamCapture out(dir_ / "stdout.txt");
  ASSERT_NE(out.Stream(), nullptr);
  TraceSetStandardOutput(out.Stream());
  ASSERT_EQ(TraceSetState(TRACE_RUNNING), TRACE_RUNNING);
  ASSERT_EQ(TraceSetState(TRACE_STOPPED), TRACE_STOPPED);
  TRACE('W', "while stopped\n");
  EXPECT_NE(out.Text().find("while stopped\n"), std::string::npos);
  // Stopping flushed what was queued and closed the file.
  EXPECT_NE(ReadFile(log_path_).find("Stopping log"), std::string::npos);
}

TEST_F(TraceLogTest, StateChanges) {
  TraceCapture capture;
  EXPECT_EQ(TraceSetState(TRACE_RUNNING), TRACE_RUNNING);
  EXPECT_EQ(TraceSetState(TRACE_RUNNING), TRACE_RUNNING);
  EXPECT_EQ(TraceSetState(99), TRACE_FAILED);
  EXPECT_TRUE(capture.Contains('W', "Unknown state\n"));
  EXPECT_TRUE(capture.Contains('W', "Init failed\n"));
  EXPECT_EQ(TraceSetState(TRACE_RUNNING), TRACE_RUNNING);
  EXPECT_TRUE(capture.Contains('T', "Init done\n"));
}

TEST_F(TraceLogTest, UnopenableLogFileFailsTheStartWithACriticalLine) {
  TraceSetFileName((dir_ / "missing-dir" / "log.txt").string().c_str());
  TraceCapture capture;
  EXPECT_EQ(TraceSetState(TRACE_RUNNING), TRACE_FAILED);
  EXPECT_TRUE(capture.Contains('C', "Could not open the log file\n"));
  EXPECT_EQ(g_handler_messages.size(), 1u);
  // Lines still reach the console.
  TRACE('W', "still shown\n");
  EXPECT_NE(Console().find("still shown"), std::string::npos);
}

// A trim that cannot be written (a full disc, faked with the file-size limit) keeps the whole
// old log, and the session logs on into it instead of ending the program.
TEST_F(TraceLogTest, FailedTrimKeepsTheOldLogAndLogsOn) {
  QUADRELLE_SKIP_WITHOUT_FULL_DISC();
  constexpr uint32_t kLimit = 8192;
  const std::string old_log(kLimit * 2, 'o');
  std::ofstream(log_path_) << old_log;
  TraceSetSizeLimit(kLimit);
  TraceCapture capture;
  int state;
  {
    FullDisc full(1024);
    state = TraceSetState(TRACE_RUNNING);
  }
  EXPECT_EQ(state, TRACE_RUNNING);
  EXPECT_TRUE(capture.Contains('W', "Error handling log file\n"));
  EXPECT_TRUE(g_handler_messages.empty());
  EXPECT_EQ(ReadFile(log_path_).substr(0, old_log.size()), old_log);
  TRACE('I', "logging goes on\n");
  TraceFlush();
  EXPECT_NE(ReadFile(log_path_).find("logging goes on"), std::string::npos);
}

TEST_F(TraceLogTest, MissingLogFileIsCreatedEvenWithASizeLimit) {
  TraceSetSizeLimit(10485760);
  EXPECT_EQ(TraceSetState(TRACE_RUNNING), TRACE_RUNNING);
  TRACE('I', "first\n");
  EXPECT_NE(ReadFile(log_path_).find("first"), std::string::npos);
}

TEST_F(TraceLogTest, SizeLimitTrimsAtStartAndReopensAtMostEveryFiveSeconds) {
  {
    std::ofstream big(log_path_, std::ios::binary);
    big << std::string(1500, 'a') << std::string(500, 'b');
  }
  TraceSetSizeLimit(1000);
  TraceCapture capture;
  ASSERT_EQ(TraceSetState(TRACE_RUNNING), TRACE_RUNNING);
  // Trimmed to three quarters of the limit, at a byte position.
  EXPECT_EQ(ReadFile(log_path_), std::string(250, 'a') + std::string(500, 'b'));

  TRACE('T', "kept in memory across reopens\n");
  TRACE('I', "first line reopens at once\n");
  EXPECT_EQ(capture.Texts('T').size() > 0, true);
  auto reopens = [&] {
    int n = 0;
    for (const auto& t : capture.Texts('T')) n += t == "Log reopen\n";
    return n;
  };
  EXPECT_EQ(reopens(), 1);
  clock_.Advance(4000);
  TRACE('I', "no reopen yet\n");
  EXPECT_EQ(reopens(), 1);
  for (int i = 0; i < 20; ++i) TRACE('I', "filling the file %d\n", i);
  EXPECT_EQ(reopens(), 1);
  EXPECT_GT(fs::file_size(log_path_), 1000u);
  clock_.Advance(1001);
  TRACE('I', "reopen again\n");
  EXPECT_EQ(reopens(), 2);
  // The reopen cut the file to three quarters of the limit; only the lines about the reopen
  // itself follow.
  EXPECT_LE(fs::file_size(log_path_), 750u + 300u);
  // A reopen keeps the history a later critical line will dump.
  TRACE('C', "fault\n");
  EXPECT_NE(Console().find("kept in memory across reopens"), std::string::npos);
}

TEST_F(TraceLogTest, DumpToAnUnopenablePathGoesOn) {
  ASSERT_EQ(TraceSetState(TRACE_RUNNING), TRACE_RUNNING);
  TraceCapture capture;
  TRACE('T', "history line\n");
  EXPECT_EQ(TraceDump((dir_ / "no" / "such" / "dump.txt").string().c_str()), 1);
  EXPECT_TRUE(capture.Contains(
      'W', "Could not open " + (dir_ / "no" / "such" / "dump.txt").string() + "\n"));
  EXPECT_NE(Console().find("history line"), std::string::npos);
  EXPECT_EQ(TraceHistoryForTests(), 0u);
}

TEST_F(TraceLogTest, ConsoleColoursFollowTheLevel) {
  ASSERT_EQ(TraceSetState(TRACE_RUNNING), TRACE_RUNNING);
  TRACE('D', "device\n");
  TRACE('W', "warning\n");
  const std::string console = Console();
  EXPECT_NE(console.find("\033[1;32m"), std::string::npos);
  EXPECT_LT(console.find("\033[1;32m"), console.find("device"));
  EXPECT_LT(console.find("\033[0;33m"), console.find("warning"));
  EXPECT_GT(console.find("\033[0;33m"), console.find("device"));
}

TEST_F(TraceLogTest, NoConsoleMeansNothingOnStandardOutput) {
  TraceSetConsole(nullptr);
  StreamCapture out(dir_ / "stdout.txt");
  ASSERT_NE(out.Stream(), nullptr);
  TraceSetStandardOutput(out.Stream());
  ASSERT_EQ(TraceSetState(TRACE_RUNNING), TRACE_RUNNING);
  TRACE('I', "to the file only\n");
  EXPECT_EQ(out.Text(), "");
}

}  // namespace
