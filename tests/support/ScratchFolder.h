// A private folder of the test's own under the system's temporary folder: a fresh name each
// time, so that parallel runs and earlier crashed runs never meet.
#pragma once

#include <filesystem>
#include <random>
#include <string>

// Creates "<prefix>-<random>" under the temporary folder, open only to the user where the system
// has permission bits. Returns the empty path when none could be created.
inline std::filesystem::path MakeScratchFolder(const std::string& prefix) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path base = fs::temp_directory_path(error);
  if (error) return {};
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[17];
    const unsigned long long value = random();
    for (int i = 0; i < 16; ++i) suffix[i] = "0123456789abcdef"[(value >> (4 * i)) & 0xF];
    suffix[16] = '\0';
    const fs::path folder = base / (prefix + "-" + suffix);
    if (fs::create_directory(folder, error)) {
      fs::permissions(folder, fs::perms::owner_all, error);
      return folder;
    }
    if (error) return {};
  }
  return {};
}

// A scratch folder (MakeScratchFolder) for the life of the object, removed with everything in
// it when the object goes.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& prefix) : path_(MakeScratchFolder(prefix).string()) {}
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // Empty when no folder could be made.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};
