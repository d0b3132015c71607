#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "Fileutils.h"
#include "FullDisc.h"
#include "log.h"

namespace fs = std::filesystem;

namespace {

class FileUtilsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TraceResetForTests();
    TraceSetStandardOutput(nullptr);
    dir_ = fs::temp_directory_path() /
           ("quadrelle-files-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Write(const std::string& name, const std::string& bytes) {
    const fs::path path = dir_ / name;
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return path;
  }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  fs::path dir_;
};

// Bytes whose position can be told from their value.
std::string Pattern(size_t size) {
  std::string s(size, 0);
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
  return s;
}

TEST_F(FileUtilsTest, TrimCutsToTheLastBytesAtABytePosition) {
  const std::string content = Pattern(10485761);
  const fs::path path = Write("big.txt", content);
  TraceCapture capture;
  EXPECT_EQ(TrimFileToTail(path.c_str(), 10485760, 7864320), 1);
  EXPECT_EQ(Read(path), content.substr(content.size() - 7864320));
  EXPECT_TRUE(capture.Contains('T', "Read 10485761 from " + path.string() + "\n"));
  EXPECT_TRUE(capture.Contains('T', "Wrote 7864320 to " + path.string() + "\n"));
}

TEST_F(FileUtilsTest, TrimLeavesAFileAtTheLimitUntouched) {
  const std::string content = Pattern(1000);
  const fs::path path = Write("exact.txt", content);
  EXPECT_EQ(TrimFileToTail(path.c_str(), 1000, 750), 1);
  EXPECT_EQ(Read(path), content);
}

TEST_F(FileUtilsTest, TrimOfAMissingFileFailsAndCreatesNothing) {
  const fs::path path = dir_ / "missing.txt";
  TraceCapture capture;
  EXPECT_EQ(TrimFileToTail(path.c_str(), 10, 5), 0);
  EXPECT_FALSE(fs::exists(path));
  const auto warnings = capture.Texts('W');
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_EQ(warnings[0], "Could not open the file " + std::to_string(ENOENT) + "\n");
  EXPECT_EQ(warnings[1], "Could not open the file " + path.string() + "\n");
}

TEST_F(FileUtilsTest, DirectoriesAreNotFiles) {
  TraceCapture capture;
  EXPECT_EQ(FileExists(dir_.c_str()), 0);
  EXPECT_EQ(FileSizeOf(dir_.c_str()), 0u);
  EXPECT_TRUE(capture.Contains('I', "Could not open " + dir_.string() + "\n"));
  EXPECT_EQ(TrimFileToTail(dir_.c_str(), 1, 1), 0);
}

TEST_F(FileUtilsTest, ExistenceAndSize) {
  const fs::path path = Write("five.bin", "12345");
  EXPECT_EQ(FileExists(path.c_str()), 1);
  EXPECT_EQ(FileSizeOf(path.c_str()), 5u);
  EXPECT_EQ(FileExists((dir_ / "nope").c_str()), 0);
  EXPECT_EQ(FileSizeOf((dir_ / "nope").c_str()), 0u);
  EXPECT_EQ(FileExists(nullptr), 0);
}

TEST_F(FileUtilsTest, AFifoDoesNotHangTheCaller) {
  const fs::path path = dir_ / "fifo";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  EXPECT_EQ(FileExists(path.c_str()), 0);
  EXPECT_EQ(FileSizeOf(path.c_str()), 0u);
}

TEST_F(FileUtilsTest, SizeOfFourGigabytesOrMoreDoesNotWrap) {
  const fs::path path = dir_ / "sparse.bin";
  { std::ofstream out(path, std::ios::binary); }
  // A sparse file: no disk is used.
  fs::resize_file(path, (1ull << 32) + 128);
  EXPECT_EQ(FileSizeOf(path.c_str()), 0xFFFFFFFFu);
}

TEST(BaseNameTest, TakesTheTextAfterTheLastSeparatorOfEitherKind) {
  struct Case {
    const char* path;
    const char* base;
  } cases[] = {
      {"C:\\work\\app/maindlg.cpp", "maindlg.cpp"},
      {"/usr/src\\common\\log.cpp", "log.cpp"},
      {"plain.cpp", "plain.cpp"},
      {"/rooted", "/rooted"},  // nor here
      {"\\", "\\"},            // a separator in the first place is not looked at
      {"dir/", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(BaseName(c.path), c.base) << c.path;
  }
}

size_t FilesIn(const fs::path& dir) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// Nothing is ever lost: a replace or a trim that fails on a full disc leaves the old file whole
// and no temporary file beside it; one that succeeds keeps the file's permissions and writes
// through a link to the file it names.
TEST_F(FileUtilsTest, ReplacingAFileNeverLosesIt) {
  const std::string old_bytes = Pattern(5000);
  const fs::path file = Write("deals.pbn", old_bytes);
  {
    FullDisc full(1024);
    EXPECT_EQ(ReplaceFileContents(file.c_str(), Pattern(4096).data(), 4096), 0);
    EXPECT_EQ(TrimFileToTail(file.c_str(), 2000, 1500), 0);
  }
  EXPECT_EQ(Read(file), old_bytes);
  EXPECT_EQ(FilesIn(dir_), 1u);

  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const fs::path link = dir_ / "link.pbn";
  fs::create_symlink(file, link);
  ASSERT_EQ(ReplaceFileContents(link.c_str(), "new", 3), 1);
  EXPECT_EQ(Read(file), "new");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  EXPECT_EQ(ReplaceFileContents(dir_.c_str(), "x", 1), 0);  // not a regular file
  EXPECT_EQ(ReplaceFileContents((dir_ / "none/x").c_str(), "x", 1), 0);
  EXPECT_EQ(FilesIn(dir_), 2u);
}

}  // namespace
