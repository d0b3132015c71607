// What a new operator finds: the parameters' first-start values, stored when the program starts
// on an empty store, so every page (not only the parameters page) sees them from the start.
#pragma once

struct ParameterDefault {
  const char* name;  // value name in section "Parameters"
  int value;
};

// 7-bar cards, sort order NESW, deal order D1,D1,D1, no stop card, both start triggers on, the
// deals and the just-dealt hands shown.
inline constexpr ParameterDefault kParameterDefaults[] = {
    {"CardBarcode", 0}, {"SortOrder", 0}, {"DealOrder", 0},   {"stopcard", 0},
    {"buttonstart", 1}, {"traystart", 1}, {"dealvisible", 1}, {"justdealtvisible", 1},
};

// The first-start value of one parameter; 0 for a name that has none.
int ParameterDefaultValue(const char* name);

// Stores every first-start value, and the two tool paths "DealTool" and "PrintTool" as empty
// texts, when the store has no "CardBarcode" yet (a new user, or a store
// that never got past its first start). A store that has one is never touched. True when the
// values were stored; false when the store already had them or a write failed (the store
// traces that).
bool StoreFirstStartDefaults();
