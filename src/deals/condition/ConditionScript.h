// A condition script as read: its settings, its predealt cards, its named expressions, its
// condition and its actions. Expressions are nodes of one array that refer to each other by
// index; a name stands for its expression wherever it is used, before or after it is defined.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Deal.h"
#include "HoldingTables.h"
#include "ShapePattern.h"

enum class ExprKind {
  kNumber,   // value
  kName,     // name: the expression defined under it
  kNot,      // a
  kNegate,   // a
  kBinary,   // a op b
  kAnd,      // a && b, b only when a holds
  kOr,       // a || b
  kChoice,   // a ? b : c
  kLength,   // seat, suit
  kMeasure,  // measure of seat, in suit or (suit -1) the whole hand
  kShape,    // shape set `shape` of seat
  kHasCard,  // seat holds card `value` (1..52)
};

enum class BinaryOp {
  kAdd,
  kSubtract,
  kMultiply,
  kDivide,
  kRemainder,
  kEq,
  kNe,
  kLt,
  kLe,
  kGt,
  kGe
};

struct Expr {
  ExprKind kind = ExprKind::kNumber;
  BinaryOp op = BinaryOp::kAdd;
  int a = -1, b = -1, c = -1;  // operands
  int64_t value = 0;
  int seat = 0;   // Hand: 0 North .. 3 West
  int suit = -1;  // Suit, -1 for the whole hand
  Measure measure = kHighCardPoints;
  int shape = -1;  // index into ConditionScript::shapes
  std::string name;
  int line = 0, column = 0;
};

enum class ActionKind { kPrintAll, kPrintOneLine, kPrintPbn, kAverage, kFrequency };

struct Action {
  ActionKind kind = ActionKind::kPrintAll;
  std::string text;  // average and frequency: the text printed before the result
  int expr = -1;
  int64_t low = 0, high = 0;  // frequency bounds, both included
};

struct Definition {
  int expr = -1;
  int line = 0, column = 0;
};

struct ConditionScript {
  std::vector<Expr> exprs;
  std::vector<ShapeSet> shapes;
  std::map<std::string, Definition> names;
  int condition = -1;                  // -1: every deal meets it
  int64_t generate = 0;                // 0: not given
  int64_t produce = 0;                 // 0: not given
  int dealer = -1;                     // Hand, -1 when not given
  int vulnerable = -1;                 // Vulnerability, -1 when not given
  uint64_t predeal[4] = {0, 0, 0, 0};  // per hand, bit (card - 1) for each predealt card
  std::vector<Action> actions;
};
