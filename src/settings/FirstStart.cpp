#include "FirstStart.h"

#include <cstring>

#include "Settings.h"

namespace {
constexpr const char* kSection = "Parameters";
}

int ParameterDefaultValue(const char* name) {
  for (const ParameterDefault& entry : kParameterDefaults) {
    if (std::strcmp(entry.name, name) == 0) return entry.value;
  }
  return 0;
}

bool StoreFirstStartDefaults() {
  if (ReadSettingInt(kSection, "CardBarcode", -1) != -1) return false;
  bool stored = true;
  // The barcode last: a write that fails part-way leaves the store "empty", and the next start
  // tries again.
  for (const ParameterDefault& entry : kParameterDefaults) {
    if (std::strcmp(entry.name, "CardBarcode") != 0) {
      stored = WriteSettingInt(kSection, entry.name, entry.value) && stored;
    }
  }
  // The two tool paths are there from the start too, empty: no tool of the operator's own.
  for (const char* tool : {"DealTool", "PrintTool"}) {
    stored = WriteSettingString(kSection, tool, "") && stored;
  }
  return stored && WriteSettingInt(kSection, "CardBarcode", ParameterDefaultValue("CardBarcode"));
}
