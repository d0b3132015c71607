#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "Fileutils.h"
#include "FullDisc.h"
#include "ScratchFolder.h"
#include "PosixFileKinds.h"
#include "log.h"

namespace fs = std::filesystem;

namespace {

class FileUtilsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TraceResetForTests();
    TraceSetStandardOutput(nullptr);
    dir_ = MakeScratchFolder("quadrelle-files");
    ASSERT_FALSE(dir_.empty());
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
  EXPECT_EQ(TrimFileToTail(path.string().c_str(), 10485760, 7864320), 1);
  EXPECT_EQ(Read(path), content.substr(content.size() - 7864320));
  EXPECT_TRUE(capture.Contains('T', "Read 10485761 from " + path.string() + "\n"));
  EXPECT_TRUE(capture.Contains('T', "Wrote 7864320 to " + path.string() + "\n"));
}

TEST_F(FileUtilsTest, TrimLeavesAFileAtTheLimitUntouched) {
  const std::string content = Pattern(1000);
  const fs::path path = Write("exact.txt", content);
  EXPECT_EQ(TrimFileToTail(path.string().c_str(), 1000, 750), 1);
  EXPECT_EQ(Read(path), content);
}

TEST_F(FileUtilsTest, TrimOfAMissingFileFailsAndCreatesNothing) {
  const fs::path path = dir_ / "missing.txt";
  TraceCapture capture;
  EXPECT_EQ(TrimFileToTail(path.string().c_str(), 10, 5), 0);
  EXPECT_FALSE(fs::exists(path));
  const auto warnings = capture.Texts('W');
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_EQ(warnings[0], "Could not open the file " + std::to_string(ENOENT) + "\n");
  EXPECT_EQ(warnings[1], "Could not open the file " + path.string() + "\n");
}

TEST_F(FileUtilsTest, DirectoriesAreNotFiles) {
  TraceCapture capture;
  EXPECT_EQ(FileExists(dir_.string().c_str()), 0);
  EXPECT_EQ(FileSizeOf(dir_.string().c_str()), 0u);
  EXPECT_TRUE(capture.Contains('I', "Could not open " + dir_.string() + "\n"));
  EXPECT_EQ(TrimFileToTail(dir_.string().c_str(), 1, 1), 0);
}

TEST_F(FileUtilsTest, ExistenceAndSize) {
  const fs::path path = Write("five.bin", "12345");
  EXPECT_EQ(FileExists(path.string().c_str()), 1);
  EXPECT_EQ(FileSizeOf(path.string().c_str()), 5u);
  EXPECT_EQ(FileExists((dir_ / "nope").string().c_str()), 0);
  EXPECT_EQ(FileSizeOf((dir_ / "nope").string().c_str()), 0u);
  EXPECT_EQ(FileExists(nullptr), 0);
}

TEST_F(FileUtilsTest, AFifoDoesNotHangTheCaller) {
  QUADRELLE_SKIP_ON_WINDOWS("FIFOs are POSIX");
  const fs::path path = dir_ / "fifo";
  ASSERT_TRUE(MakeFifo(path.string()));
  EXPECT_EQ(FileExists(path.string().c_str()), 0);
  EXPECT_EQ(FileSizeOf(path.string().c_str()), 0u);
}

TEST_F(FileUtilsTest, SizeOfFourGigabytesOrMoreDoesNotWrap) {
  const fs::path path = dir_ / "sparse.bin";
  { std::ofstream out(path, std::ios::binary); }
  // A sparse file: no disk is used.
  fs::resize_file(path, (1ull << 32) + 128);
  EXPECT_EQ(FileSizeOf(path.string().c_str()), 0xFFFFFFFFu);
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
  // The faked full disc, the link and the permission bits kept are POSIX's.
  QUADRELLE_SKIP_WITHOUT_FULL_DISC();
  const std::string old_bytes = Pattern(5000);
  const fs::path file = Write("deals.pbn", old_bytes);
  {
    FullDisc full(1024);
    EXPECT_EQ(ReplaceFileContents(file.string().c_str(), Pattern(4096).data(), 4096), 0);
    EXPECT_EQ(TrimFileToTail(file.string().c_str(), 2000, 1500), 0);
  }
  EXPECT_EQ(Read(file), old_bytes);
  EXPECT_EQ(FilesIn(dir_), 1u);

  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const fs::path link = dir_ / "link.pbn";
  fs::create_symlink(file, link);
  ASSERT_EQ(ReplaceFileContents(link.string().c_str(), "new", 3), 1);
  EXPECT_EQ(Read(file), "new");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  EXPECT_EQ(FilesIn(dir_), 2u);
}

// The writers tell "cannot be created there" from "failed while writing" by the fault alone.
TEST_F(FileUtilsTest, AFailedReplaceSaysWhatKindOfFault) {
  const fs::path file = Write("deals.pbn", "old");
  struct Row {
    fs::path path;
    size_t disc_room;  // 0: no faked full disc
    qsys::Fault fault;
  } rows[] = {
      {dir_, 0, qsys::Fault::kNotAFile},
      {dir_ / "none/x", 0, qsys::Fault::kNotFound},
      {"", 0, qsys::Fault::kInvalid},
      {file, 1024, qsys::Fault::kOther},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path.string());
    if (row.disc_room != 0 && kTestSystemIsWindows) continue;  // no faked full disc there
    qsys::SysError error;
    if (row.disc_room != 0) {
      FullDisc full(row.disc_room);
      EXPECT_EQ(ReplaceFileContents(row.path.string().c_str(), Pattern(4096).data(), 4096, &error),
                0);
    } else {
      EXPECT_EQ(ReplaceFileContents(row.path.string().c_str(), "x", 1, &error), 0);
    }
    EXPECT_EQ(error.fault, row.fault);
    EXPECT_NE(error.number, 0u);
  }
  EXPECT_EQ(FilesIn(dir_), 1u);
}

// The one reader of the deal files: exactly the bytes FileSizeOf promised, or one line why not.
TEST_F(FileUtilsTest, ReadWholeFileReadsExactlyTheSizeItWasGiven) {
  const fs::path file = Write("deals.bri", Pattern(300));
  const fs::path fifo = dir_ / "fifo.bri";
  if (!kTestSystemIsWindows) {
    ASSERT_TRUE(MakeFifo(fifo.string()));
  }
  struct Row {
    fs::path path;
    uint32_t size;
    const char* warning;  // nullptr: read
  } rows[] = {
      {file, 300, nullptr},
      {dir_ / "missing.bri", 300, "Error opening file\n"},
      {dir_, 0, "Error opening file\n"},
      {fifo, 0, "Error opening file\n"},  // never waits for a writer
      {file, 299, "File size changed\n"},
      {file, 301, "File size changed\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path.string() + " " + std::to_string(row.size));
    if (row.path == fifo && kTestSystemIsWindows) continue;  // FIFOs are POSIX
    std::string buffer(row.size, '\0');
    TraceCapture capture;
    const int read = ReadWholeFile(row.path.string().c_str(), buffer.data(), row.size);
    if (row.warning == nullptr) {
      EXPECT_EQ(read, 1);
      EXPECT_EQ(buffer, Pattern(300));
      EXPECT_TRUE(capture.Texts('W').empty());
    } else {
      EXPECT_EQ(read, 0);
      EXPECT_EQ(capture.Texts('W'), std::vector<std::string>{row.warning});
    }
  }
}

}  // namespace
