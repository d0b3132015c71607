// What differs between the systems the tests run on, said once: whether it is Windows, its null
// device, and the skip of a case that exercises a POSIX-only behaviour.
#pragma once

#include <gtest/gtest.h>

#ifdef _WIN32
inline constexpr bool kTestSystemIsWindows = true;
inline constexpr const char* kNullDevice = "NUL";
#else
inline constexpr bool kTestSystemIsWindows = false;
inline constexpr const char* kNullDevice = "/dev/null";
#endif

// Skips the rest of the case on Windows; `reason` says what there lacks.
#define QUADRELLE_SKIP_ON_WINDOWS(reason) \
  if (kTestSystemIsWindows) GTEST_SKIP() << (reason)
