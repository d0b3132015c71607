// The main of the unit-test programs: GoogleTest with the trace guard installed.
#include <gtest/gtest.h>

#include "TraceGuard.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  InstallTraceGuard();
  return RUN_ALL_TESTS();
}
