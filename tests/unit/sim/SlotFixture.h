// A scratch folder for the slot tests of every system.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "ScratchFolder.h"

namespace qsim {

class SlotTest : public ::testing::Test {
 protected:
  ScratchFolder scratch_{"qsimslot"};
  const std::string dir_ = scratch_.path();
};

}  // namespace qsim
