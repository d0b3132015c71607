// The slots' directory and the control socket on POSIX.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "SimSlot.h"
#include "SlotFixture.h"
#include "posix/ControlSocket.h"

namespace qsim {
namespace {

TEST_F(SlotTest, DirectoryFollowsTheEnvironment) {
  const char* saved_dir = std::getenv("QUADRELLE_EMULATOR_DIR");
  const char* saved_xdg = std::getenv("XDG_RUNTIME_DIR");
  const std::string keep_dir = saved_dir ? saved_dir : "";
  const std::string keep_xdg = saved_xdg ? saved_xdg : "";
  ::setenv("QUADRELLE_EMULATOR_DIR", "/a", 1);
  ::setenv("XDG_RUNTIME_DIR", "/b", 1);
  EXPECT_EQ(EmulatorDirectory(), "/a");
  ::unsetenv("QUADRELLE_EMULATOR_DIR");
  EXPECT_EQ(EmulatorDirectory(), "/b");
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(EmulatorDirectory(), "/tmp");
  if (saved_dir) ::setenv("QUADRELLE_EMULATOR_DIR", keep_dir.c_str(), 1);
  if (saved_xdg) ::setenv("XDG_RUNTIME_DIR", keep_xdg.c_str(), 1);
  EXPECT_EQ(SlotPath("/run/user/1", 7), "/run/user/1/tppipe07");
}

TEST_F(SlotTest, ControlSocketIsPrivateAndLeavesOtherFilesAlone) {
  const std::string path = dir_ + "/ctl";
  int fd = ListenControl(path);
  ASSERT_GE(fd, 0);
  struct stat info;
  ASSERT_EQ(::lstat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0077, 0u);
  ::close(fd);
  // A socket left behind is replaced.
  fd = ListenControl(path);
  EXPECT_GE(fd, 0);
  ::close(fd);

  const std::string file = dir_ + "/file";
  std::ofstream(file) << "keep me";
  EXPECT_EQ(ListenControl(file), -1);
  std::ifstream kept(file);
  std::string text;
  std::getline(kept, text);
  EXPECT_EQ(text, "keep me");
}

}  // namespace
}  // namespace qsim
