#include "MachineFilter.h"

#include <cctype>

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// The decimal number `text` stands for; false when it is not one or does not fit 32 bits.
bool DecimalId(const std::string& text, uint32_t* id) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > UINT32_MAX) return false;
  *id = static_cast<uint32_t>(value);
  return true;
}

}  // namespace

MachineFilter::MachineFilter(const std::string& which) {
  size_t first = 0;
  size_t last = which.size();
  while (first < last && IsBlank(which[first])) ++first;
  while (last > first && IsBlank(which[last - 1])) --last;
  m_Which = which.substr(first, last - first);
}

bool MachineFilter::Matches(uint32_t id, const std::string& serial) const {
  if (Any()) return true;
  uint32_t wanted = 0;
  if (DecimalId(m_Which, &wanted) && wanted == id) return true;
  return !serial.empty() && SameText(m_Which, serial);
}

bool MachineFilter::Valid() const {
  if (m_Which.empty() || m_Which.size() > 63) return false;
  for (char c : m_Which) {
    const bool allowed =
        std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' || c == '.';
    if (!allowed) return false;
  }
  return true;
}
