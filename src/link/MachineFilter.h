// Which machine a copy of the program drives. Empty: any machine (the first free one the search
// finds). Otherwise the machine's id written in decimal (an emulator slot's id is slot + 42) or
// its serial number (a HID machine's serial string, a bulk machine's instance in its device
// path), letters in either case. The device search opens only machines the filter takes, so a
// bound copy never holds a machine meant for another copy.
#pragma once

#include <cstdint>
#include <string>

class MachineFilter {
 public:
  // Any machine.
  MachineFilter() = default;
  // `which` as the operator wrote it; leading and trailing blanks do not count.
  explicit MachineFilter(const std::string& which);

  bool Any() const { return m_Which.empty(); }
  // The machine as given ("" for any); used in the caption, the instance name and file names.
  const std::string& Text() const { return m_Which; }

  // True for any machine when Any(); else when `id` is the decimal number given, or `serial`
  // (empty when the machine has none) equals the text given, case ignored. Never blocks.
  bool Matches(uint32_t id, const std::string& serial) const;
  // True when the text can name a machine: letters, digits, '-', '_' and '.', at most 63
  // characters (it becomes part of file and socket names).
  bool Valid() const;

 private:
  std::string m_Which;
};
