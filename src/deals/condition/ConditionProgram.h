// A read condition script turned into compact nodes that a search evaluates for every deal.
//
// A deal is looked at once: each hand's four suit holdings and lengths and its shape are worked
// out up front (DealFacts), and every count of a hand is then a table look-up per suit.
#pragma once

#include <cstdint>
#include <vector>

#include "ConditionScript.h"
#include "ScriptError.h"

// One deal as the nodes read it. Hand masks: bit (card - 1) for each card the hand holds.
struct DealFacts {
  uint16_t holding[4][4];  // [hand][suit], bit 0 the ace .. bit 12 the two
  uint8_t length[4][4];
  int shape[4];  // ShapeSet::Index of each hand's lengths

  void Set(const uint64_t hands[4]);
};

class ConditionProgram {
 public:
  // False with `error` set when the script cannot be turned into nodes (it has been checked
  // by the parser, so only when it is too big).
  bool Compile(const ConditionScript& script, ScriptError& error);

  // Whether the deal meets the condition. A division by zero sets `fault` (when not already set)
  // to its place; the deal then counts as not meeting it.
  bool Meets(const DealFacts& deal, ScriptError& fault) const {
    if (condition_ < 0) return true;
    return Evaluate(condition_, deal, fault) != 0;
  }
  // The value of action `index`'s expression (script.actions order; -1 root for print actions).
  int64_t ActionValue(size_t index, const DealFacts& deal, ScriptError& fault) const {
    return Evaluate(actions_[index], deal, fault);
  }

 private:
  enum class Op : uint8_t {
    kConst,
    kNot,
    kNegate,
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
    kGe,
    kAnd,
    kOr,
    kChoice,
    kLength,
    kSuitMeasure,
    kHandMeasure,
    kShape,
    kHasCard
  };
  struct Node {
    Op op = Op::kConst;
    uint8_t seat = 0, suit = 0;
    int32_t a = -1, b = -1, c = -1;
    int64_t value = 0;               // constant, card number or shape index
    const uint8_t* table = nullptr;  // measures
  };

  int64_t Evaluate(int node, const DealFacts& deal, ScriptError& fault) const;
  int CompileExpr(const ConditionScript& script, int expr, std::vector<int>& done);
  void Fault(int node, ScriptError& fault) const;

  std::vector<Node> nodes_;
  std::vector<ShapeSet> shapes_;
  std::vector<ScriptError> places_;  // per node, for faults
  int condition_ = -1;
  std::vector<int> actions_;
};
