// A small backtracking regular-expression matcher: a pattern is compiled once into a compact
// node program, then matched against texts with sub-matches 0 to 9.
//
// Syntax: concatenation; "|" or newline between branches; groups "(" ")" numbered 1..9; "*", "+",
// "?" after an atom (greedy); "." any character; sets "[...]" and "[^...]" with ranges (a
// backslash inside a set is an ordinary member); "^" line start and "$" end of text anywhere;
// "\<" word start, "\>" word end; a backslash before any other character makes it literal.
// Matching is leftmost-first, not longest. Errors are written to the trace log at level W.
// A match that needs more than kMaxSteps steps of backtracking (a pattern like "(a|a)+b" on a
// long text takes exponential time), or nests deeper than kMaxDepth (a group repeated over a
// long text), gives up and fails rather than hang the program or run out of stack.
#pragma once

#include <cstddef>

class RegexpClass {
 public:
  static constexpr int NSUBEXP = 10;
  static constexpr long kMaxSteps = 1000000;
  static constexpr int kMaxDepth = 10000;

  explicit RegexpClass(const char* pattern);
  ~RegexpClass();
  RegexpClass(const RegexpClass&) = delete;
  RegexpClass& operator=(const RegexpClass&) = delete;

  // 1 when the pattern matches somewhere in the text, else 0. Fills sub-matches 0 to 9.
  int Match(const char* text);
  // The next match after the previous whole match, 1 or 0.
  int NextMatch();
  // Writes `source` with "&", "\0" .. "\9" replaced by sub-matches into `dest`, never more than
  // `dest_size` bytes including the terminating NUL (the text is cut to fit). `limit` caps the
  // characters copied for each inserted sub-match, -1 (any negative value) for no cap. Returns 1 on
  // success, 0 on failure (NULL or damaged program, damaged match string).
  int regsub(const char* source, char* dest, size_t dest_size, int limit = -1);

  // True when the pattern compiled.
  bool IsValid() const { return program_ != nullptr; }
  // Start and end of sub-match n of the last match; nullptr when it took no part.
  // (For callers that want the text without copying it.)
  const char* SubStart(int n) const;
  const char* SubEnd(int n) const;

 private:
  struct Program;

  // Compiling: the same parser runs twice, first measuring (code_ == &dummy_), then emitting.
  char* Reg(bool paren, int* flagp);
  char* Branch(int* flagp);
  char* Piece(int* flagp);
  char* Atom(int* flagp);
  char* Set();
  char* LiteralRun(int* flagp);
  char* Node(int op);
  void Emit(int byte);
  void Insert(int op, char* operand);
  void Tail(char* node, const char* target);
  void OpTail(char* node, const char* target);
  char* NextNode(char* node) const;
  void FindHints(int flags);

  // Matching.
  int Search(const char* text);
  int Try(const char* at);
  bool Run(const char* node);
  bool Walk(const char* node);
  long Repeat(const char* node);
  void ClearSubs();

  Program* program_ = nullptr;
  const char* parse_ = nullptr;
  int npar_ = 0;
  char dummy_ = 0;
  char* code_ = nullptr;
  char* code_end_ = nullptr;
  bool overflow_ = false;
  long size_ = 0;
  long steps_left_ = 0;
  int depth_ = 0;
  const char* input_ = nullptr;
  const char* bol_ = nullptr;
  const char** startp_ = nullptr;
  const char** endp_ = nullptr;
};
