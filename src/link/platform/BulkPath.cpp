// The bulk machine's device path, the same on every system: the link reads the machine's id
// from it, and a copy bound to a machine names it by its instance.
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "Backends.h"

namespace qplatform {
namespace {

const char kInterfaceClass[] = "{101f9e3f-8435-4872-bc21-07b27e2baadd}";

}  // namespace

std::string BulkInstance(const std::string& serial, uint8_t bus, const uint8_t* ports, int depth) {
  const bool hex = !serial.empty() && serial.size() <= 8 &&
                   std::all_of(serial.begin(), serial.end(),
                               [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
  if (hex) return serial;
  char text[16];
  int at = std::snprintf(text, sizeof text, "%02X", bus);
  for (int i = depth > 3 ? depth - 3 : 0; i < depth; ++i) {
    at += std::snprintf(text + at, sizeof text - static_cast<size_t>(at), "%02X", ports[i]);
  }
  return text;
}

std::string BulkDevicePath(uint16_t vendor, uint16_t product, const std::string& instance) {
  char head[64];
  std::snprintf(head, sizeof head, "\\\\?\\usb#vid_%04x&pid_%04x#", vendor, product);
  return head + instance + "#" + kInterfaceClass;
}

}  // namespace qplatform
