// The emulator link's POSIX slots: Unix sockets with lock files, private to the user.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

#include "EmulatorFixture.h"

qsys::SysError HeldSlotError() {
  return qsys::SysError{qsys::Fault::kOther, static_cast<uint32_t>(EADDRINUSE)};
}

namespace {

using qplatform::EmulatorLink;

// A slot that cannot listen says why, as the system numbered it, and the search later traces
// that number.
TEST_F(EmulatorLinkTest, AFailedListenCarriesTheSystemsNumber) {
  const std::string file = root_ + "/plain";
  std::ofstream(file) << "x";
  struct Case {
    std::string directory;
    qsys::Fault fault;
    int number;
  };
  const Case cases[] = {
      {file, qsys::Fault::kNotFound, ENOTDIR},                    // the directory is a file
      {root_ + "/" + std::string(120, 'd'), qsys::Fault::kOther,  // the name cannot be bound
       ENAMETOOLONG},
  };
  for (const Case& c : cases) {
    EmulatorLink link(c.directory);
    qsys::SysError error;
    EXPECT_EQ(link.Listen(0, &error), EmulatorLink::ListenResult::kOpenFailed) << c.directory;
    EXPECT_EQ(error.fault, c.fault) << c.directory;
    EXPECT_EQ(error.number, static_cast<uint32_t>(c.number)) << c.directory;
    EXPECT_TRUE(link.Attempted(0));
    EXPECT_FALSE(link.Listening(0));
    ::rmdir(c.directory.c_str());
  }
  ::unlink(file.c_str());
}
TEST_F(EmulatorLinkTest, SlotsArePrivateToTheUser) {
  EXPECT_EQ(Find(), nullptr);
  struct stat st;
  ASSERT_EQ(::stat(dir_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  for (int slot = 0; slot < EmulatorLink::kSlots; ++slot) {
    const std::string path = emulator_->SlotPath(slot);
    ASSERT_EQ(::stat(path.c_str(), &st), 0) << path;
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
  }
  EXPECT_EQ(emulator_->SlotPath(9), dir_ + "/tppipe09");
}
// A slot is held through its lock file, which goes with the program.
TEST_F(EmulatorLinkTest, HeldSlotsHaveLockFilesPrivateToTheUser) {
  EXPECT_EQ(Find(), nullptr);
  struct stat st;
  ASSERT_EQ(::stat(emulator_->LockPath(0).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  emulator_.reset();
  EXPECT_NE(::stat((dir_ + "/tppipe00.lock").c_str(), &st), 0);
}

TEST_F(EmulatorLinkTest, LeftoverSocketsAreTakenOverButOtherFilesAreLeftAlone) {
  ASSERT_EQ(::mkdir(dir_.c_str(), 0700), 0);
  {
    // A socket file whose program has ended.
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", emulator_->SlotPath(0).c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
  }
  std::ofstream(emulator_->SlotPath(1)) << "keep me";
  EXPECT_EQ(Find(), nullptr);
  EXPECT_TRUE(emulator_->Listening(0));
  EXPECT_FALSE(emulator_->Listening(1));
  EXPECT_EQ(Count("Error opening pipe \r\n"), 1);
  std::ifstream kept(emulator_->SlotPath(1));
  std::string text;
  std::getline(kept, text);
  EXPECT_EQ(text, "keep me");
  // A failed slot is not retried on every search.
  EXPECT_EQ(Find(), nullptr);
  EXPECT_EQ(Count("Error opening pipe \r\n"), 1);
  // The slot it did not take leaves no lock file behind.
  struct stat st;
  EXPECT_NE(::stat(emulator_->LockPath(1).c_str(), &st), 0);
  emulator_.reset();
  ::unlink((dir_ + "/tppipe01").c_str());
}

// Two copies on one computer: each bound copy serves only its own slot, and no copy takes a
// slot another one already serves.

}  // namespace
