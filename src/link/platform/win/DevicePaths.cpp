#include "DevicePaths.h"

#include <setupapi.h>

#include <cctype>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace qplatform {
namespace {

const char kHoldPrefix[] = "Global\\Quadrelle.";
constexpr size_t kMaxName = MAX_PATH;  // what CreateMutexA takes

uint32_t Fnv1a(const std::string& text) {
  uint32_t hash = 2166136261u;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 16777619u;
  }
  return hash;
}

}  // namespace

std::string HoldName(const char* kind, const std::string& path) {
  std::string tail;
  for (unsigned char c : path) tail.push_back(c == '\\' ? '/' : static_cast<char>(std::tolower(c)));
  std::string name = kHoldPrefix + std::string(kind) + "." + tail;
  if (name.size() < kMaxName) return name;
  char hash[16];
  std::snprintf(hash, sizeof hash, ".%08x", static_cast<unsigned>(Fnv1a(tail)));
  return name.substr(0, kMaxName - 1 - std::strlen(hash)) + hash;
}

HANDLE TakeHold(const std::string& name, DWORD* code) {
  const HANDLE hold = ::CreateMutexA(nullptr, FALSE, name.c_str());
  *code = ::GetLastError();
  if (hold != nullptr && *code != ERROR_ALREADY_EXISTS) {
    *code = ERROR_SUCCESS;
    return hold;
  }
  if (hold != nullptr) ::CloseHandle(hold);
  return nullptr;
}

bool InterfaceDetailPath(const void* detail, DWORD size, std::string* path) {
  constexpr size_t kPathAt = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
  if (detail == nullptr || size <= kPathAt) return false;
  const auto* record = static_cast<const SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(detail);
  if (record->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return false;
  const char* text = static_cast<const char*>(detail) + kPathAt;
  const void* end = std::memchr(text, '\0', size - kPathAt);
  if (end == nullptr) return false;
  path->assign(text, static_cast<const char*>(end));
  return true;
}

LinkError OpenErrorOf(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEVICE_NOT_CONNECTED:
      return LinkError::kFileNotFound;
    case ERROR_ACCESS_DENIED:
      return LinkError::kAccessDenied;
    case ERROR_SHARING_VIOLATION:
      return LinkError::kSharingViolation;
    case ERROR_SUCCESS:
      return LinkError::kGenFailure;  // failed without saying why
    default:
      return LinkErrorFromNumber(code);
  }
}

}  // namespace qplatform
