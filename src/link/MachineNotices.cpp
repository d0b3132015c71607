#include "MachineNotices.h"

#include <algorithm>
#include <cstdio>

namespace machine_notices {
namespace {

struct Notice {
  char kind;
  std::string path;
  const char* format;
};

// The search runs on the link's one thread; so does everything here.
std::vector<Notice>& Notices() {
  static std::vector<Notice> notices;
  return notices;
}

}  // namespace

void Listed(char kind, const std::vector<qplatform::InterfaceEntry>& listing) {
  std::erase_if(Notices(), [&](const Notice& n) {
    return n.kind == kind && std::none_of(listing.begin(), listing.end(),
                                          [&](const qplatform::InterfaceEntry& entry) {
                                            return entry.path == n.path;
                                          });
  });
}

bool Note(char kind, const std::string& path, const char* format) {
  for (Notice& n : Notices()) {
    if (n.path != path) continue;
    if (n.format == format) return false;
    n.format = format;  // the same machine, another reason: say it
    return true;
  }
  Notices().push_back({kind, path, format});
  return true;
}

void Opened(const std::string& path) {
  std::erase_if(Notices(), [&](const Notice& n) { return n.path == path; });
}

std::vector<std::string> Current() {
  std::vector<std::string> out;
  for (const Notice& n : Notices()) {
    char text[512];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::snprintf(text, sizeof text, n.format, n.path.c_str());
#pragma GCC diagnostic pop
    std::string line = text;
    while (!line.empty() && line.back() == '\n') line.pop_back();
    out.push_back(line);
  }
  return out;
}

}  // namespace machine_notices
