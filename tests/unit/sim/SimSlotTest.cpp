// Where the slots are and how the machine plugs into one, on every system.
#include <gtest/gtest.h>

#include <string>

#include "SimSlot.h"
#include "SlotChannel.h"
#include "SlotFixture.h"
#include "platform/EmuBackend.h"

namespace qsim {
namespace {

TEST_F(SlotTest, ConnectsOnceTheProgramListens) {
  const std::string path = SlotPath(dir_, 2);
  std::string why;
  EXPECT_EQ(SlotChannel::Connect(path, &why), nullptr);
  EXPECT_FALSE(why.empty());

  qplatform::EmulatorLink program(dir_);
  qsys::SysError error;
  ASSERT_EQ(program.Listen(2, &error), qplatform::EmulatorLink::ListenResult::kListening);
  EXPECT_FALSE(program.Peek(2, &error));
  const std::unique_ptr<SlotChannel> channel = SlotChannel::Connect(path, &why);
  ASSERT_NE(channel, nullptr) << why;
  EXPECT_TRUE(program.Peek(2, &error));
}

}  // namespace
}  // namespace qsim
