// What lies behind the Windows devices' system calls: the hold of a HID machine, the path in
// an interface detail record, and the errors of a failed open.
#include <gtest/gtest.h>
#include <windows.h>
// windows.h first: the device setup header needs its types.
#include <setupapi.h>

#include <cstring>
#include <vector>

#include "platform/win/DevicePaths.h"

namespace {

TEST(HidHold, OneNamePerPathInAnyCaseWithinTheObjectNameLimit) {
  const std::string path = "\\\\?\\HID#VID_1781&PID_3150#7&2A&0&0000#{4d1e55b2-f16f-11cf}";
  const std::string name = qplatform::HidHoldName(path);
  EXPECT_EQ(name,
            "Global\\Quadrelle.hid.//?/hid#vid_1781&pid_3150#7&2a&0&0000#{4d1e55b2-f16f-11cf}");
  EXPECT_EQ(qplatform::HidHoldName("\\\\?\\hid#vid_1781&pid_3150#7&2a&0&0000#{4d1e55b2-f16f-11cf}"),
            name);
  EXPECT_NE(qplatform::HidHoldName(path + "x"), name);
  const std::string long_a = std::string(300, 'a');
  const std::string long_b = std::string(299, 'a') + "b";
  for (const std::string& p : {long_a, long_b}) {
    EXPECT_LT(qplatform::HidHoldName(p).size(), static_cast<size_t>(MAX_PATH));
    EXPECT_EQ(qplatform::HidHoldName(p).find('\\', 7), std::string::npos);
  }
  EXPECT_NE(qplatform::HidHoldName(long_a), qplatform::HidHoldName(long_b));
}

// A detail record as SetupDiGetDeviceInterfaceDetailA fills it in.
std::vector<unsigned char> Detail(const std::string& path, DWORD cb_size, bool terminated) {
  const size_t at = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
  std::vector<unsigned char> bytes(at + path.size() + (terminated ? 1 : 0));
  std::memcpy(bytes.data(), &cb_size, sizeof cb_size);
  std::memcpy(bytes.data() + at, path.data(), path.size());
  return bytes;
}

TEST(InterfaceDetail, ThePathIsReadOnlyFromAWholeRecord) {
  const DWORD good = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  const std::string path =
      "\\\\?\\usb#vid_1781&pid_0c9f#1234abcd#{101f9e3f-8435-4872-bc21-07b27e2baadd}";
  struct Case {
    const char* what;
    std::vector<unsigned char> record;
    bool ok;
  } const cases[] = {
      {"whole", Detail(path, good, true), true},
      {"empty path", Detail("", good, true), true},
      {"wrong cbSize", Detail(path, 5 + good, true), false},
      {"no end", Detail(path, good, false), false},
      {"only the size", Detail("", good, false), false},
  };
  for (const Case& c : cases) {
    std::string out = "untouched";
    EXPECT_EQ(
        qplatform::InterfaceDetailPath(c.record.data(), static_cast<DWORD>(c.record.size()), &out),
        c.ok)
        << c.what;
    if (c.ok) {
      EXPECT_EQ(out, c.what == std::string("whole") ? path : "") << c.what;
    }
  }
  std::string out;
  EXPECT_FALSE(qplatform::InterfaceDetailPath(nullptr, 64, &out));
}

TEST(OpenErrors, TheSystemsCodesBecomeTheLinksErrors) {
  const struct {
    DWORD code;
    LinkError error;
  } cases[] = {
      {ERROR_FILE_NOT_FOUND, LinkError::kFileNotFound},
      {ERROR_PATH_NOT_FOUND, LinkError::kFileNotFound},
      {ERROR_DEVICE_NOT_CONNECTED, LinkError::kFileNotFound},
      {ERROR_ACCESS_DENIED, LinkError::kAccessDenied},
      {ERROR_SHARING_VIOLATION, LinkError::kSharingViolation},
      {ERROR_SUCCESS, LinkError::kGenFailure},
      {ERROR_GEN_FAILURE, LinkError::kGenFailure},
      {ERROR_SEM_TIMEOUT, LinkError::kSemTimeout},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(qplatform::OpenErrorOf(c.code), c.error) << c.code;
  }
}

}  // namespace
