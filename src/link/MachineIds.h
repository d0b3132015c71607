// The USB identities of the dealing machine. The device search uses them, and so does the udev
// rule that lets the operator open the machine's device nodes (packaging/udev/); a test keeps
// the rule in step with these numbers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace machine_ids {

constexpr uint16_t kVendor = 6017;        // 0x1781
constexpr uint16_t kHidProduct1 = 12624;  // 0x3150
constexpr uint16_t kHidProduct2 = 12625;  // 0x3151

// The HID machine is one of the two HID products; every other product of the vendor may be a bulk
// machine (when it has one vendor-specific interface with one bulk IN and one bulk OUT endpoint).
constexpr bool IsHidProduct(uint16_t product) {
  return product == kHidProduct1 || product == kHidProduct2;
}

// A HID machine's id is its serial number read as hexadecimal (up to eight digits). False, `id`
// untouched, when the serial does not begin with one.
inline bool HidIdFromSerial(const std::string& serial, uint32_t* id) {
  unsigned int value = 0;
  if (std::sscanf(serial.c_str(), "%08X", &value) != 1) return false;
  *id = value;
  return true;
}

// A machine on an emulator slot has no USB identity: its id is the slot number plus 42.
constexpr uint32_t EmulatorId(int slot) {
  return static_cast<uint32_t>(slot) + 42;
}

}  // namespace machine_ids
