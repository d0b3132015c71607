// The Windows stand-in of a tool: reads the marker's name from "<its own name>.marker" beside
// it and writes the number of its arguments there.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

int main(int argc, char**) {
  wchar_t own[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, own, MAX_PATH);
  if (length == 0 || length == MAX_PATH) return 1;
  std::filesystem::path where(own);
  where.replace_extension(L".marker");
  std::ifstream in(where, std::ios::binary);
  std::string marker;
  std::getline(in, marker);
  if (marker.empty()) return 0;
  std::ofstream out(std::filesystem::u8path(marker), std::ios::binary);
  out << argc - 1 << '\n';
  return out ? 0 : 1;
}
