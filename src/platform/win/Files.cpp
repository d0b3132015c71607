#include "Files.h"

#include <windows.h>
// The system's ReplaceFile is a macro for ReplaceFileA: ours is qsys::ReplaceFile.
#undef ReplaceFile

#include <algorithm>
#include <string>

#include "LastError.h"

namespace qsys {
namespace {

bool FailWith(DWORD number, SysError* error) {
  if (error != nullptr) *error = LastErrorFailure(number);
  SetLastError(number);
  return false;
}

bool Failed(SysError* error) {
  return FailWith(GetLastError(), error);
}

HANDLE AsHandle(intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

bool WriteAll(HANDLE file, const unsigned char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, data + done, chunk, &written, nullptr)) return false;
    done += written;
  }
  return true;
}

// The folder part of `path`, "." for a bare name.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) return ".";
  return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

}  // namespace

bool InputFile::Open(const char* path, SysError* error) {
  Close();
  if (path == nullptr || *path == '\0') return FailWith(ERROR_INVALID_NAME, error);
  // Shared every way: the operator may have the file open in another program.
  const HANDLE file =
      CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    // A folder cannot be opened as a file at all; say what it is.
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return FailWith(ERROR_DIRECTORY, error);
    }
    return Failed(error);
  }
  LARGE_INTEGER size{};
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
    CloseHandle(file);
    return FailWith(ERROR_DIRECTORY, error);
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  size_ = static_cast<uint64_t>(size.QuadPart);
  return true;
}

int64_t InputFile::Read(void* buffer, uint64_t size, SysError* error) {
  if (handle_ < 0) {
    FailWith(ERROR_INVALID_HANDLE, error);
    return -1;
  }
  auto* bytes = static_cast<unsigned char*>(buffer);
  uint64_t done = 0;
  while (done < size) {
    const DWORD chunk = static_cast<DWORD>(std::min<uint64_t>(size - done, 1u << 30));
    DWORD n = 0;
    if (!ReadFile(AsHandle(handle_), bytes + done, chunk, &n, nullptr)) {
      Failed(error);
      return -1;
    }
    if (n == 0) break;
    done += n;
  }
  return static_cast<int64_t>(done);
}

void InputFile::Close() {
  if (handle_ >= 0) CloseHandle(AsHandle(handle_));
  handle_ = -1;
  size_ = 0;
}

bool ReplaceFile(const char* name, const void* data, size_t size, SysError* error) {
  if (name == nullptr || *name == '\0') return FailWith(ERROR_INVALID_NAME, error);
  // Full paths: the replace proper does not take every relative one.
  char path[MAX_PATH];
  const DWORD length = GetFullPathNameA(name, sizeof path, path, nullptr);
  if (length == 0) return Failed(error);
  if (length >= sizeof path) return FailWith(ERROR_FILENAME_EXCED_RANGE, error);
  const DWORD attributes = GetFileAttributesA(path);
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (!exists && GetLastError() != ERROR_FILE_NOT_FOUND) return Failed(error);
  if (exists && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
    return FailWith(ERROR_DIRECTORY, error);
  }
  // The temporary file beside the target, so that the last step is a rename on one volume.
  char temporary[MAX_PATH];
  if (GetTempFileNameA(FolderOf(path).c_str(), "qdr", 0, temporary) == 0) return Failed(error);
  const HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD saved = GetLastError();
    DeleteFileA(temporary);
    return FailWith(saved, error);
  }
  bool ok =
      WriteAll(file, static_cast<const unsigned char*>(data), size) && FlushFileBuffers(file) != 0;
  DWORD saved = ok ? ERROR_SUCCESS : GetLastError();
  // The close can be where a full disc shows.
  if (!CloseHandle(file) && ok) {
    ok = false;
    saved = GetLastError();
  }
  if (ok) {
    // An existing file keeps its attributes and permissions (ReplaceFile takes them over); a
    // file another program holds open without sharing fails here and stays as it was.
    const BOOL replaced =
        exists ? ::ReplaceFileA(path, temporary, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                                nullptr)
               : MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!replaced) {
      ok = false;
      saved = GetLastError();
    }
  }
  if (!ok) {
    DeleteFileA(temporary);
    return FailWith(saved, error);
  }
  return true;
}

}  // namespace qsys
