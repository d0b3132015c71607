// Windows: while one lives, this process's HKEY_CURRENT_USER is a fresh key of its own, so that
// tests that store settings neither see each other's values nor leave any (the registry is shared
// by every process of the user, where the INI file of other systems moves to a scratch folder).
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <atomic>
#include <string>

class ScratchRegistry {
 public:
  ScratchRegistry() {
    static std::atomic<unsigned> counter{0};
    name_ = L"Software\\Quadrelle tests\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++counter);
    if (RegCreateKeyExW(HKEY_CURRENT_USER, name_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key_, nullptr) == ERROR_SUCCESS) {
      RegOverridePredefKey(HKEY_CURRENT_USER, key_);
    }
  }
  ~ScratchRegistry() {
    if (key_ == nullptr) return;
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(key_);
    RegDeleteTreeW(HKEY_CURRENT_USER, name_.c_str());
  }
  ScratchRegistry(const ScratchRegistry&) = delete;
  ScratchRegistry& operator=(const ScratchRegistry&) = delete;

 private:
  std::wstring name_;
  HKEY key_ = nullptr;
};
#endif
