#include "ConditionProgram.h"

#include <bit>

void DealFacts::Set(const uint64_t hands[4]) {
  for (int hand = 0; hand < 4; ++hand) {
    for (int suit = 0; suit < 4; ++suit) {
      const auto cards = static_cast<uint16_t>(hands[hand] >> (13 * suit) & 0x1FFF);
      holding[hand][suit] = cards;
      length[hand][suit] = static_cast<uint8_t>(std::popcount(cards));
    }
    shape[hand] = ShapeSet::Index(length[hand][0], length[hand][1], length[hand][2]);
  }
}

bool ConditionProgram::Compile(const ConditionScript& script, ScriptError& error) {
  nodes_.clear();
  places_.clear();
  actions_.clear();
  shapes_ = script.shapes;
  if (script.exprs.size() > 1000000) {
    error = {0, 0, "the script is too long"};
    return false;
  }
  std::vector<int> done(script.exprs.size(), -1);
  condition_ = script.condition >= 0 ? CompileExpr(script, script.condition, done) : -1;
  for (const Action& action : script.actions) {
    actions_.push_back(action.expr >= 0 ? CompileExpr(script, action.expr, done) : -1);
  }
  return true;
}

// Each expression once: a name used many times is one node, and so costs no more memory.
int ConditionProgram::CompileExpr(const ConditionScript& script, int expr, std::vector<int>& done) {
  const Expr& e = script.exprs[static_cast<size_t>(expr)];
  if (e.kind == ExprKind::kName) {
    return CompileExpr(script, script.names.at(e.name).expr, done);
  }
  if (done[static_cast<size_t>(expr)] >= 0) return done[static_cast<size_t>(expr)];
  Node node;
  node.seat = static_cast<uint8_t>(e.seat);
  node.suit = static_cast<uint8_t>(e.suit < 0 ? 0 : e.suit);
  node.value = e.value;
  if (e.a >= 0) node.a = CompileExpr(script, e.a, done);
  if (e.b >= 0) node.b = CompileExpr(script, e.b, done);
  if (e.c >= 0) node.c = CompileExpr(script, e.c, done);
  static constexpr Op kBinary[] = {Op::kAdd,       Op::kSubtract, Op::kMultiply, Op::kDivide,
                                   Op::kRemainder, Op::kEq,       Op::kNe,       Op::kLt,
                                   Op::kLe,        Op::kGt,       Op::kGe};
  switch (e.kind) {
    case ExprKind::kNumber:
    case ExprKind::kName:
      node.op = Op::kConst;
      break;
    case ExprKind::kNot:
      node.op = Op::kNot;
      break;
    case ExprKind::kNegate:
      node.op = Op::kNegate;
      break;
    case ExprKind::kBinary:
      node.op = kBinary[static_cast<int>(e.op)];
      break;
    case ExprKind::kAnd:
      node.op = Op::kAnd;
      break;
    case ExprKind::kOr:
      node.op = Op::kOr;
      break;
    case ExprKind::kChoice:
      node.op = Op::kChoice;
      break;
    case ExprKind::kLength:
      node.op = Op::kLength;
      break;
    case ExprKind::kMeasure:
      node.op = e.suit < 0 ? Op::kHandMeasure : Op::kSuitMeasure;
      node.table = HoldingTable(e.measure);
      break;
    case ExprKind::kShape:
      node.op = Op::kShape;
      node.value = e.shape;
      break;
    case ExprKind::kHasCard:
      node.op = Op::kHasCard;
      break;
  }
  nodes_.push_back(node);
  places_.push_back({e.line, e.column, "division by zero"});
  done[static_cast<size_t>(expr)] = static_cast<int>(nodes_.size()) - 1;
  return done[static_cast<size_t>(expr)];
}

void ConditionProgram::Fault(int node, ScriptError& fault) const {
  if (fault.message.empty()) fault = places_[static_cast<size_t>(node)];
}

int64_t ConditionProgram::Evaluate(int index, const DealFacts& deal, ScriptError& fault) const {
  const Node& n = nodes_[static_cast<size_t>(index)];
  const auto value = [&](int child) { return Evaluate(child, deal, fault); };
  // Sums and products wrap rather than overflow: a script's arithmetic must not be undefined.
  const auto wrap = [](uint64_t v) { return static_cast<int64_t>(v); };
  switch (n.op) {
    case Op::kConst:
      return n.value;
    case Op::kNot:
      return value(n.a) == 0;
    case Op::kNegate:
      return wrap(0 - static_cast<uint64_t>(value(n.a)));
    case Op::kAdd:
      return wrap(static_cast<uint64_t>(value(n.a)) + static_cast<uint64_t>(value(n.b)));
    case Op::kSubtract:
      return wrap(static_cast<uint64_t>(value(n.a)) - static_cast<uint64_t>(value(n.b)));
    case Op::kMultiply:
      return wrap(static_cast<uint64_t>(value(n.a)) * static_cast<uint64_t>(value(n.b)));
    case Op::kDivide:
    case Op::kRemainder: {
      const int64_t a = value(n.a), b = value(n.b);
      if (b == 0) {
        Fault(index, fault);
        return 0;
      }
      if (b == -1) return n.op == Op::kDivide ? wrap(0 - static_cast<uint64_t>(a)) : 0;
      return n.op == Op::kDivide ? a / b : a % b;
    }
    case Op::kEq:
      return value(n.a) == value(n.b);
    case Op::kNe:
      return value(n.a) != value(n.b);
    case Op::kLt:
      return value(n.a) < value(n.b);
    case Op::kLe:
      return value(n.a) <= value(n.b);
    case Op::kGt:
      return value(n.a) > value(n.b);
    case Op::kGe:
      return value(n.a) >= value(n.b);
    case Op::kAnd:
      return value(n.a) != 0 && value(n.b) != 0;
    case Op::kOr:
      return value(n.a) != 0 || value(n.b) != 0;
    case Op::kChoice:
      return value(n.a) != 0 ? value(n.b) : value(n.c);
    case Op::kLength:
      return deal.length[n.seat][n.suit];
    case Op::kSuitMeasure:
      return n.table[deal.holding[n.seat][n.suit]];
    case Op::kHandMeasure: {
      const uint16_t* h = deal.holding[n.seat];
      return n.table[h[0]] + n.table[h[1]] + n.table[h[2]] + n.table[h[3]];
    }
    case Op::kShape:
      return shapes_[static_cast<size_t>(n.value)].Contains(deal.shape[n.seat]);
    case Op::kHasCard: {
      const int card = static_cast<int>(n.value);
      return deal.holding[n.seat][SuitIndex(card)] >> RankIndex(card) & 1;
    }
  }
  return 0;
}
