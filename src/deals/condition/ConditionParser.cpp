#include "ConditionParser.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>
#include <set>

#include "ConditionLexer.h"

namespace {

struct NamedValue {
  const char* name;
  int value;
};

constexpr NamedValue kSeats[] = {{"north", 0}, {"east", 1}, {"south", 2}, {"west", 3}};
constexpr NamedValue kSuits[] = {{"spade", 0},   {"spades", 0},   {"heart", 1}, {"hearts", 1},
                                 {"diamond", 2}, {"diamonds", 2}, {"club", 3},  {"clubs", 3}};
constexpr NamedValue kMeasures[] = {{"hcp", kHighCardPoints}, {"hcps", kHighCardPoints},
                                    {"control", kControls},   {"controls", kControls},
                                    {"loser", kLosers},       {"losers", kLosers},
                                    {"tens", kTens},          {"jack", kJacks},
                                    {"jacks", kJacks},        {"queen", kQueens},
                                    {"queens", kQueens},      {"king", kKings},
                                    {"kings", kKings},        {"ace", kAces},
                                    {"aces", kAces},          {"top2", kTop2},
                                    {"top3", kTop3},          {"top4", kTop4},
                                    {"top5", kTop5},          {"c13", kC13},
                                    {"pt0", kTens},           {"pt1", kJacks},
                                    {"pt2", kQueens},         {"pt3", kKings},
                                    {"pt4", kAces},           {"pt5", kTop2},
                                    {"pt6", kTop3},           {"pt7", kTop4},
                                    {"pt8", kTop5},           {"pt9", kC13}};
constexpr NamedValue kVulnerabilities[] = {{"none", 0}, {"ns", 1}, {"ew", 2}, {"all", 3}};

// Words of the language this reader does not take: refused by name wherever they stand.
constexpr const char* kUnsupported[] = {
    "tricks",       "trick",      "score",         "imps",         "imp",
    "altcount",     "pointcount", "rnd",           "cccc",         "quality",
    "notrump",      "notrumps",   "print",         "printew",      "printes",
    "printcompact", "printside",  "printhandinfo", "evalcontract", "ltc"};

constexpr const char* kKeywords[] = {
    "generate", "produce",  "dealer",       "vulnerable", "predeal", "condition",
    "action",   "shape",    "hascard",      "any",        "and",     "or",
    "not",      "printall", "printoneline", "printpbn",   "average", "frequency"};

template <size_t N>
const NamedValue* Find(const NamedValue (&table)[N], const std::string& name) {
  for (const NamedValue& entry : table) {
    if (name == entry.name) return &entry;
  }
  return nullptr;
}

template <size_t N>
bool Contains(const char* const (&words)[N], const std::string& name) {
  for (const char* word : words) {
    if (name == word) return true;
  }
  return false;
}

bool IsReserved(const std::string& name) {
  return Find(kSeats, name) || Find(kSuits, name) || Find(kMeasures, name) ||
         Contains(kKeywords, name) || Contains(kUnsupported, name);
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

int SuitOfLetter(char c) {
  const char* suits = "SHDC";
  const char* at = std::strchr(suits, std::toupper(static_cast<unsigned char>(c)));
  return c != '\0' && at != nullptr ? static_cast<int>(at - suits) : -1;
}
int RankOfLetter(char c) {
  const char* at = std::strchr(kRankCharacters, std::toupper(static_cast<unsigned char>(c)));
  return c != '\0' && at != nullptr ? static_cast<int>(at - kRankCharacters) : -1;
}

class Parser {
 public:
  Parser(const std::vector<Token>& tokens, ConditionScript& script, ScriptError& error)
      : tokens_(tokens), script_(script), error_(error) {}

  bool Run() {
    while (Peek().kind != TokenKind::kEnd) {
      if (!Statement()) return false;
    }
    return CheckNames();
  }

 private:
  const Token& Peek(size_t ahead = 0) const {
    const size_t at = std::min(next_ + ahead, tokens_.size() - 1);
    return tokens_[at];
  }
  const Token& Take() {
    const Token& token = tokens_[next_];
    if (next_ + 1 < tokens_.size()) ++next_;
    return token;
  }

  bool Fail(const Token& at, std::string message) {
    error_ = {at.line, at.column, std::move(message)};
    return false;
  }
  static std::string Describe(const Token& token) {
    if (token.kind == TokenKind::kEnd) return "the end of the script";
    if (token.kind == TokenKind::kString) return "\"" + token.text + "\"";
    return "'" + token.text + "'";
  }
  bool Expected(const char* what) {
    const Token& at = Peek();
    if (at.kind == TokenKind::kName && Contains(kUnsupported, at.text)) return Unsupported(at);
    return Fail(at, std::string("expected ") + what + ", found " + Describe(at));
  }
  bool Unsupported(const Token& at) { return Fail(at, "'" + at.text + "' is not supported"); }
  bool Expect(const char* op) {
    if (!Peek().Is(op)) return Expected((std::string("'") + op + "'").c_str());
    Take();
    return true;
  }

  bool Statement() {
    const Token& first = Peek();
    if (first.kind == TokenKind::kName && Peek(1).Is("=") && !IsReserved(first.text)) {
      return Define();
    }
    if (first.kind == TokenKind::kName && Peek(1).Is("=")) {
      return Fail(first, "'" + first.text + "' is a word of the language, not a name to define");
    }
    if (first.IsName("generate")) return Count(script_.generate);
    if (first.IsName("produce")) return Count(script_.produce);
    if (first.IsName("dealer")) {
      Take();
      return Seat(script_.dealer);
    }
    if (first.IsName("vulnerable")) return Vulnerable();
    if (first.IsName("predeal")) return Predeal();
    if (first.IsName("action")) return Actions();
    if (first.IsName("condition")) Take();
    // The last condition given is the one that counts.
    return Expression(script_.condition);
  }

  bool Define() {
    const Token& name = Take();
    Take();
    if (script_.names.count(name.text) != 0) {
      return Fail(name, "'" + name.text + "' is defined twice");
    }
    int expr;
    if (!Expression(expr)) return false;
    script_.names[name.text] = {expr, name.line, name.column};
    return true;
  }

  bool Number(int64_t& value) {
    const Token& token = Peek();
    if (token.kind != TokenKind::kNumber) return Expected("a number");
    if (token.text.size() > 15) return Fail(token, "the number " + token.text + " is too large");
    value = std::stoll(token.text);
    Take();
    return true;
  }
  bool SignedNumber(int64_t& value) {
    const bool negative = Peek().Is("-");
    if (negative) Take();
    if (!Number(value)) return false;
    if (negative) value = -value;
    return true;
  }

  bool Count(int64_t& value) {
    Take();
    const Token& at = Peek();
    if (!Number(value)) return false;
    if (value < 1) return Fail(at, "the number of deals must be 1 or more");
    return true;
  }

  bool Seat(int& seat) {
    const NamedValue* found = Find(kSeats, Peek().text);
    if (Peek().kind != TokenKind::kName || found == nullptr) {
      return Expected("a seat (north, east, south or west)");
    }
    Take();
    seat = found->value;
    return true;
  }
  bool Suit(int& suit) {
    const NamedValue* found = Find(kSuits, Peek().text);
    if (Peek().kind != TokenKind::kName || found == nullptr) {
      return Expected("a suit (spades, hearts, diamonds or clubs)");
    }
    Take();
    suit = found->value;
    return true;
  }

  bool Vulnerable() {
    Take();
    const NamedValue* found = Find(kVulnerabilities, Lower(Peek().text));
    if (Peek().kind != TokenKind::kName || found == nullptr) {
      return Expected("a vulnerability (none, NS, EW or all)");
    }
    Take();
    script_.vulnerable = found->value;
    return true;
  }

  // predeal SEAT [,] HOLDING {, HOLDING}: a holding is a suit letter and its cards, "SAQ542".
  bool Predeal() {
    Take();
    int seat = 0;
    if (Peek().kind == TokenKind::kName && Find(kSuits, Peek().text) != nullptr) {
      return Fail(Peek(), "predealing a suit length ('" + Peek().text + "(...)') is not supported");
    }
    if (!Seat(seat)) return false;
    if (Peek().Is(",")) Take();
    do {
      if (!Holding(seat)) return false;
    } while (Peek().Is(",") && Take().Is(","));
    return true;
  }
  bool Holding(int seat) {
    const Token& token = Peek();
    const int suit = SuitOfLetter(token.text.empty() ? '\0' : token.text[0]);
    if (token.kind != TokenKind::kName || suit < 0) {
      return Expected("a holding such as SAQ542 (a suit letter, then the cards)");
    }
    for (size_t i = 1; i < token.text.size(); ++i) {
      const int rank = RankOfLetter(token.text[i]);
      if (rank < 0) {
        return Fail(token, std::string("'") + token.text[i] + "' is no card in " + token.text);
      }
      const uint64_t bit = uint64_t{1} << (CardNumber(suit, rank) - 1);
      for (const uint64_t hand : script_.predeal) {
        if ((hand & bit) != 0) {
          return Fail(token, std::string("the card ") + "SHDC"[suit] + kRankCharacters[rank] +
                                 " is predealt twice");
        }
      }
      script_.predeal[seat] |= bit;
    }
    if (std::popcount(script_.predeal[seat]) > kCardsInHand) {
      return Fail(token, "more than 13 cards are predealt to one seat");
    }
    Take();
    return true;
  }

  bool Actions() {
    Take();
    do {
      if (!OneAction()) return false;
    } while (Peek().Is(",") && Take().Is(","));
    return true;
  }
  bool OneAction() {
    const Token& token = Peek();
    Action action;
    if (token.IsName("printall") || token.IsName("printoneline") || token.IsName("printpbn")) {
      action.kind = token.text == "printall"       ? ActionKind::kPrintAll
                    : token.text == "printoneline" ? ActionKind::kPrintOneLine
                                                   : ActionKind::kPrintPbn;
      Take();
    } else if (token.IsName("average") || token.IsName("frequency")) {
      Take();
      if (Peek().kind == TokenKind::kString) action.text = Take().text;
      if (token.text == "average") {
        action.kind = ActionKind::kAverage;
        if (!Expression(action.expr)) return false;
      } else if (!Frequency(action)) {
        return false;
      }
    } else {
      return Expected("an action (printall, printoneline, printpbn, average or frequency)");
    }
    script_.actions.push_back(action);
    return true;
  }
  bool Frequency(Action& action) {
    action.kind = ActionKind::kFrequency;
    if (!Expect("(") || !Expression(action.expr) || !Expect(",") || !SignedNumber(action.low) ||
        !Expect(",") || !SignedNumber(action.high)) {
      return false;
    }
    if (Peek().Is(",")) return Fail(Peek(), "a frequency of two expressions is not supported");
    if (action.low > action.high)
      return Fail(Peek(), "the frequency's low bound is above its high");
    if (action.high - action.low > 1000) return Fail(Peek(), "a frequency has at most 1000 rows");
    return Expect(")");
  }

  int Add(Expr expr, const Token& at) {
    expr.line = at.line;
    expr.column = at.column;
    script_.exprs.push_back(std::move(expr));
    return static_cast<int>(script_.exprs.size()) - 1;
  }
  int Binary(ExprKind kind, BinaryOp op, int a, int b, const Token& at) {
    Expr expr;
    expr.kind = kind;
    expr.op = op;
    expr.a = a;
    expr.b = b;
    return Add(expr, at);
  }

  bool Expression(int& out) { return Choice(out); }

  bool Choice(int& out) {
    if (!Or(out)) return false;
    if (!Peek().Is("?")) return true;
    const Token& at = Take();
    Expr expr;
    expr.kind = ExprKind::kChoice;
    expr.a = out;
    if (!Choice(expr.b) || !Expect(":") || !Choice(expr.c)) return false;
    out = Add(expr, at);
    return true;
  }
  bool Or(int& out) {
    if (!And(out)) return false;
    while (Peek().Is("||") || Peek().IsName("or")) {
      const Token& at = Take();
      int right;
      if (!And(right)) return false;
      out = Binary(ExprKind::kOr, BinaryOp::kAdd, out, right, at);
    }
    return true;
  }
  bool And(int& out) {
    if (!Equality(out)) return false;
    while (Peek().Is("&&") || Peek().IsName("and")) {
      const Token& at = Take();
      int right;
      if (!Equality(right)) return false;
      out = Binary(ExprKind::kAnd, BinaryOp::kAdd, out, right, at);
    }
    return true;
  }

  struct OperatorEntry {
    const char* text;
    BinaryOp op;
  };
  template <size_t N>
  bool Level(int& out, const OperatorEntry (&ops)[N], bool (Parser::*next)(int&)) {
    if (!(this->*next)(out)) return false;
    for (;;) {
      const OperatorEntry* found = nullptr;
      for (const OperatorEntry& entry : ops) {
        if (Peek().Is(entry.text)) found = &entry;
      }
      if (found == nullptr) return true;
      const Token& at = Take();
      int right;
      if (!(this->*next)(right)) return false;
      out = Binary(ExprKind::kBinary, found->op, out, right, at);
    }
  }
  bool Equality(int& out) {
    static constexpr OperatorEntry kOps[] = {{"==", BinaryOp::kEq}, {"!=", BinaryOp::kNe}};
    return Level(out, kOps, &Parser::Relation);
  }
  bool Relation(int& out) {
    static constexpr OperatorEntry kOps[] = {
        {"<", BinaryOp::kLt}, {"<=", BinaryOp::kLe}, {">", BinaryOp::kGt}, {">=", BinaryOp::kGe}};
    return Level(out, kOps, &Parser::Sum);
  }
  bool Sum(int& out) {
    static constexpr OperatorEntry kOps[] = {{"+", BinaryOp::kAdd}, {"-", BinaryOp::kSubtract}};
    return Level(out, kOps, &Parser::Product);
  }
  bool Product(int& out) {
    static constexpr OperatorEntry kOps[] = {
        {"*", BinaryOp::kMultiply}, {"/", BinaryOp::kDivide}, {"%", BinaryOp::kRemainder}};
    return Level(out, kOps, &Parser::Unary);
  }
  bool Unary(int& out) {
    const Token& at = Peek();
    if (at.Is("!") || at.IsName("not") || at.Is("-")) {
      Take();
      Expr expr;
      expr.kind = at.Is("-") ? ExprKind::kNegate : ExprKind::kNot;
      if (!Unary(expr.a)) return false;
      out = Add(expr, at);
      return true;
    }
    return Primary(out);
  }

  bool Primary(int& out) {
    const Token& at = Peek();
    if (at.kind == TokenKind::kNumber) {
      Expr expr;
      if (!Number(expr.value)) return false;
      out = Add(expr, at);
      return true;
    }
    if (at.Is("(")) {
      Take();
      return Expression(out) && Expect(")");
    }
    if (at.kind != TokenKind::kName) return Expected("an expression");
    if (Contains(kUnsupported, at.text)) return Unsupported(at);
    if (Find(kSuits, at.text) != nullptr) return SuitLength(out);
    if (Find(kMeasures, at.text) != nullptr) return MeasureCall(out);
    if (at.text == "shape") return ShapeCall(out);
    if (at.text == "hascard") return HasCardCall(out);
    if (IsReserved(at.text)) return Expected("an expression");
    if (Peek(1).Is("(")) return Fail(at, "unknown function '" + at.text + "'");
    Take();
    Expr expr;
    expr.kind = ExprKind::kName;
    expr.name = at.text;
    out = Add(expr, at);
    return true;
  }

  bool SuitLength(int& out) {
    const Token& at = Take();
    Expr expr;
    expr.kind = ExprKind::kLength;
    expr.suit = Find(kSuits, at.text)->value;
    if (!Expect("(") || !Seat(expr.seat) || !Expect(")")) return false;
    out = Add(expr, at);
    return true;
  }
  bool MeasureCall(int& out) {
    const Token& at = Take();
    Expr expr;
    expr.kind = ExprKind::kMeasure;
    expr.measure = static_cast<Measure>(Find(kMeasures, at.text)->value);
    if (!Expect("(") || !Seat(expr.seat)) return false;
    if (Peek().Is(",")) {
      Take();
      if (!Suit(expr.suit)) return false;
    }
    if (!Expect(")")) return false;
    out = Add(expr, at);
    return true;
  }
  bool HasCardCall(int& out) {
    const Token& at = Take();
    Expr expr;
    expr.kind = ExprKind::kHasCard;
    if (!Expect("(") || !Seat(expr.seat) || !Expect(",")) return false;
    // The manual writes the rank first (TC); the suit first (CT) reads as well.
    const Token& card = Peek();
    const std::string& t = card.text;
    int suit = -1, rank = -1;
    if (t.size() == 2 && card.kind != TokenKind::kString && card.kind != TokenKind::kOperator) {
      rank = RankOfLetter(t[0]);
      suit = SuitOfLetter(t[1]);
      if (rank < 0 || suit < 0) {
        rank = RankOfLetter(t[1]);
        suit = SuitOfLetter(t[0]);
      }
    }
    if (rank < 0 || suit < 0) return Expected("a card such as TC (the ten of clubs)");
    Take();
    expr.value = CardNumber(suit, rank);
    if (!Expect(")")) return false;
    out = Add(expr, at);
    return true;
  }
  bool ShapeCall(int& out) {
    const Token& at = Take();
    Expr expr;
    expr.kind = ExprKind::kShape;
    if (!Expect("(") || !Seat(expr.seat) || !Expect(",")) return false;
    ShapeSet set;
    bool add = true;
    if (Peek().Is("+") || Peek().Is("-")) add = Take().Is("+");
    for (;;) {
      ShapePattern pattern;
      if (Peek().IsName("any")) {
        Take();
        pattern.any = true;
      }
      const Token& text = Peek();
      std::string message;
      const bool any = pattern.any;
      if (text.kind == TokenKind::kString || text.kind == TokenKind::kOperator ||
          text.kind == TokenKind::kEnd) {
        return Expected("a shape such as 5431 or any 4333");
      }
      if (!ParseShapePattern(text.text, pattern, message)) return Fail(text, message);
      pattern.any = any;
      Take();
      set.Apply(pattern, add);
      if (!Peek().Is("+") && !Peek().Is("-")) break;
      add = Take().Is("+");
    }
    if (!Expect(")")) return false;
    expr.shape = static_cast<int>(script_.shapes.size());
    script_.shapes.push_back(set);
    out = Add(expr, at);
    return true;
  }

  // Every name used is defined, and no definition leads back to itself.
  bool CheckNames() {
    for (const Expr& expr : script_.exprs) {
      if (expr.kind == ExprKind::kName && script_.names.count(expr.name) == 0) {
        return Fail(At(expr), "'" + expr.name + "' is not defined");
      }
    }
    std::set<std::string> done;
    for (const auto& [name, definition] : script_.names) {
      std::set<std::string> open;
      if (!Acyclic(name, open, done)) return false;
    }
    return true;
  }
  bool Acyclic(const std::string& name, std::set<std::string>& open, std::set<std::string>& done) {
    if (done.count(name) != 0) return true;
    const Definition& definition = script_.names.at(name);
    if (!open.insert(name).second) {
      error_ = {definition.line, definition.column, "'" + name + "' is defined in terms of itself"};
      return false;
    }
    std::vector<int> stack = {definition.expr};
    while (!stack.empty()) {
      const Expr& expr = script_.exprs[static_cast<size_t>(stack.back())];
      stack.pop_back();
      if (expr.kind == ExprKind::kName && !Acyclic(expr.name, open, done)) return false;
      for (const int child : {expr.a, expr.b, expr.c}) {
        if (child >= 0) stack.push_back(child);
      }
    }
    open.erase(name);
    done.insert(name);
    return true;
  }
  static Token At(const Expr& expr) {
    Token token;
    token.line = expr.line;
    token.column = expr.column;
    return token;
  }

  const std::vector<Token>& tokens_;
  size_t next_ = 0;
  ConditionScript& script_;
  ScriptError& error_;
};

}  // namespace

bool ParseConditionScript(const std::string& text, ConditionScript& script, ScriptError& error) {
  script = ConditionScript();
  std::vector<Token> tokens;
  if (!LexConditionScript(text, tokens, error)) return false;
  return Parser(tokens, script, error).Run();
}
