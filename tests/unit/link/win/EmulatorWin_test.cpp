// The emulator link's Windows slots: the named pipes, their numbering and their security.
#include <windows.h>

#include <cstdlib>

#include "EmulatorFixture.h"
#include "platform/win/PipeSecurity.h"

qsys::SysError HeldSlotError() {
  // The pipe exists, so its first instance cannot be made again.
  return qsys::SysError{qsys::Fault::kAccessDenied, ERROR_ACCESS_DENIED};
}

namespace {

using qplatform::EmulatorLink;

TEST(EmulatorPipes, SlotsAreTheNamedPipesOfTheirFolder) {
  _putenv_s("QUADRELLE_EMULATOR_DIR", "");
  struct Case {
    std::string folder;
    int slot;
    std::string pipe;
  } const cases[] = {
      {"", 0, "\\\\.\\pipe\\tppipe00"},
      {"", 9, "\\\\.\\pipe\\tppipe09"},
      {"\\\\.\\pipe", 7, "\\\\.\\pipe\\tppipe07"},
      {"\\\\.\\PIPE\\q\\", 1, "\\\\.\\PIPE\\q\\tppipe01"},
      {"C:\\Temp\\slots", 2, "\\\\.\\pipe\\C:\\Temp\\slots\\tppipe02"},
      {"/tmp/x/", 3, "\\\\.\\pipe\\tmp\\x\\tppipe03"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EmulatorLink(c.folder).SlotPath(c.slot), c.pipe) << c.folder;
  }
  _putenv_s("QUADRELLE_EMULATOR_DIR", "C:/run/q");
  EXPECT_EQ(EmulatorLink::DefaultDirectory(), "\\\\.\\pipe\\C:\\run\\q");
  _putenv_s("QUADRELLE_EMULATOR_DIR", "");
  EXPECT_EQ(EmulatorLink::DefaultDirectory(), "\\\\.\\pipe");
}

// What a client of a slot finds on the pipe: a protected DACL with one entry, the user's.
TEST_F(EmulatorLinkTest, SlotsArePrivateToTheUser) {
  EXPECT_EQ(Find(), nullptr);
  qplatform::UserOnlySecurity security;
  ASSERT_TRUE(security.Valid());
  ASSERT_FALSE(security.UserSid().empty());
  for (int slot : {0, 9}) {
    const HANDLE client =
        ::CreateFileA(emulator_->SlotPath(slot).c_str(), GENERIC_READ | READ_CONTROL, 0, nullptr,
                      OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(client, INVALID_HANDLE_VALUE) << emulator_->SlotPath(slot);
    const std::string dacl = qplatform::DaclSddlOf(client);
    ::CloseHandle(client);
    EXPECT_EQ(dacl.rfind("D:P(A;;", 0), 0u) << dacl;
    EXPECT_EQ(dacl.find("(A;", 1), dacl.rfind("(A;")) << dacl;  // one entry
    EXPECT_NE(dacl.find(";;;" + security.UserSid() + ")"), std::string::npos) << dacl;
  }
}

}  // namespace
