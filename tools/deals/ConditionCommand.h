// quadrelle-deals --generate [N] --condition FILE ...: boards that meet a condition script.
#pragma once

#include "DealGenerator.h"
#include "DealWrite.h"

struct ConditionCommand {
  const char* script_path = nullptr;
  int count = 0;  // 0: the script's produce, else 40 as the dealer program gives
  int first_board = 1;
  const DealSeed* seed = nullptr;
  bool rotate = false;
  DealFileKind kind = DealFileKind::kPbn;
  const char* out = nullptr;
};

// Searches, writes OUT and prints the report. Exit status: 0 done, 1 no (or too few) boards found
// or OUT not written, 2 a fault in the script (nothing written).
int RunConditionCommand(const ConditionCommand& command);
