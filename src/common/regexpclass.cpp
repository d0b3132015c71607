// The matcher compiles a pattern into one block: a fixed part (sub-match positions and the search
// hints) followed by the node bytes. The nodes start with a magic byte so that a damaged or foreign
// block is noticed before it is walked.
//
// A node is an opcode byte, a 2-byte offset to the next node (high byte first, 0 = none; counted
// backward for OP_LOOP_BACK, forward otherwise) and its operand: a NUL-terminated string for
// OP_LITERAL, OP_ANY_OF and OP_NONE_OF, the nodes that follow directly for OP_ALT, OP_STAR and
// OP_PLUS.
#include "regexpclass.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "log.h"

namespace {

enum Opcode : int {
  OP_END = 0,         // end of the program: success
  OP_LINE_START = 1,  // only at the line start
  OP_LINE_END = 2,    // only at the end of the text
  OP_ANY_CHAR = 3,    // any one character
  OP_ANY_OF = 4,      // one character of the operand
  OP_NONE_OF = 5,     // one character not in the operand
  OP_ALT = 6,         // the operand, else the next OP_ALT of the chain
  OP_LOOP_BACK = 7,   // nothing; its next node lies behind it
  OP_LITERAL = 8,     // the operand string
  OP_EMPTY = 9,       // the empty string
  OP_STAR = 10,       // zero or more of the simple node in the operand
  OP_PLUS = 11,       // one or more of the simple node in the operand
  OP_WORD_START = 12,
  OP_WORD_END = 13,
  OP_OPEN = 20,   // + group number 1..9
  OP_CLOSE = 30,  // + group number 1..9
};

constexpr unsigned char kMagic = 0x9C;
// Next offsets are 16 bits; keeping the whole program below this keeps every offset valid.
constexpr long kMaxProgram = 32767;
constexpr int kNodeHeader = 3;

// What a parsed element tells the element around it.
constexpr int WORST = 0;
constexpr int HAS_WIDTH = 1;         // cannot match the empty string
constexpr int SIMPLE = 2;            // one node matching exactly one character
constexpr int STARTS_WITH_STAR = 4;  // begins with a repetition

inline int Op(const char* node) {
  return static_cast<unsigned char>(node[0]);
}
inline unsigned NextOffset(const char* node) {
  return (static_cast<unsigned char>(node[1]) << 8) | static_cast<unsigned char>(node[2]);
}
inline const char* Operand(const char* node) {
  return node + kNodeHeader;
}
inline bool IsRepeat(char c) {
  return c == '*' || c == '+' || c == '?';
}
// Word characters in the C locale, whatever locale the process runs in.
inline bool IsWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

const char* Next(const char* node) {
  unsigned offset = NextOffset(node);
  if (offset == 0) return nullptr;
  return Op(node) == OP_LOOP_BACK ? node - offset : node + offset;
}

void Fail(const char* message) {
  TRACE('W', "%s", message);
}

}  // namespace

struct RegexpClass::Program {
  const char* start[NSUBEXP];
  const char* end[NSUBEXP];
  char first;        // every match begins with it; 0 = no hint
  bool anchored;     // can only match at the line start
  const char* must;  // a literal every match contains (inside the nodes), or nullptr
  char* Nodes() { return reinterpret_cast<char*>(this + 1); }
};

// --- Compiling ---------------------------------------------------------------------------------

RegexpClass::RegexpClass(const char* pattern) {
  if (pattern == nullptr) {
    Fail("NULL argument");
    return;
  }
  int flags = 0;

  // First pass: only count the bytes.
  parse_ = pattern;
  npar_ = 1;
  size_ = 0;
  code_ = &dummy_;
  Emit(kMagic);
  if (Reg(false, &flags) == nullptr) return;
  if (size_ >= kMaxProgram) {
    Fail("regexp too big");
    return;
  }

  void* block = std::malloc(sizeof(Program) + static_cast<size_t>(size_));
  if (block == nullptr) {
    Fail("out of space");
    return;
  }
  Program* program = new (block) Program{};

  // Second pass: emit into the block. Every write is bounded by the measured size.
  parse_ = pattern;
  npar_ = 1;
  code_ = program->Nodes();
  code_end_ = code_ + size_;
  overflow_ = false;
  Emit(kMagic);
  char* top = Reg(false, &flags);
  if (top == nullptr || overflow_) {
    if (top != nullptr) Fail("regexp too big");
    std::free(block);
    return;
  }
  program_ = program;
  startp_ = program->start;
  endp_ = program->end;
  FindHints(flags);
}

RegexpClass::~RegexpClass() {
  std::free(program_);
}

void RegexpClass::FindHints(int flags) {
  Program* program = program_;
  char* scan = program->Nodes() + 1;  // the first OP_ALT
  const char* after = Next(scan);
  if (after == nullptr || Op(after) != OP_END) return;  // several top-level alternatives

  const char* first = Operand(scan);
  if (Op(first) == OP_LITERAL) {
    program->first = *Operand(first);
  } else if (Op(first) == OP_LINE_START) {
    program->anchored = true;
  }
  // A required literal only pays when the match can start with a repetition, where the first
  // character hint is of no use.
  if (!(flags & STARTS_WITH_STAR)) return;
  const char* longest = nullptr;
  size_t length = 0;
  for (const char* node = first; node != nullptr; node = Next(node)) {
    if (Op(node) == OP_LITERAL && std::strlen(Operand(node)) >= length) {
      longest = Operand(node);
      length = std::strlen(longest);
    }
  }
  program->must = longest;
}

char* RegexpClass::NextNode(char* node) const {
  if (node == &dummy_) return nullptr;
  return const_cast<char*>(Next(node));
}

// Expression: the top level, or the inside of a group.
char* RegexpClass::Reg(bool paren, int* flagp) {
  *flagp = HAS_WIDTH;
  char* ret = nullptr;
  int parno = 0;
  if (paren) {
    if (npar_ >= NSUBEXP) {
      Fail("too many ()");
      return nullptr;
    }
    parno = npar_++;
    ret = Node(OP_OPEN + parno);
  }

  int flags = 0;
  char* branch = Branch(&flags);
  if (branch == nullptr) return nullptr;
  if (ret != nullptr) {
    Tail(ret, branch);
  } else {
    ret = branch;
  }
  if (!(flags & HAS_WIDTH)) *flagp &= ~HAS_WIDTH;
  *flagp |= flags & STARTS_WITH_STAR;
  while (*parse_ == '|' || *parse_ == '\n') {
    ++parse_;
    branch = Branch(&flags);
    if (branch == nullptr) return nullptr;
    Tail(ret, branch);
    if (!(flags & HAS_WIDTH)) *flagp &= ~HAS_WIDTH;
    *flagp |= flags & STARTS_WITH_STAR;
  }

  char* ender = Node(paren ? OP_CLOSE + parno : OP_END);
  Tail(ret, ender);
  for (char* node = ret; node != nullptr; node = NextNode(node)) OpTail(node, ender);

  if (paren) {
    if (*parse_ != ')') {
      Fail("unmatched ()");
      return nullptr;
    }
    ++parse_;
  } else if (*parse_ != '\0') {
    Fail(*parse_ == ')' ? "unmatched ()" : "junk on end");
    return nullptr;
  }
  return ret;
}

// One alternative: pieces up to "|", newline, ")" or the end.
char* RegexpClass::Branch(int* flagp) {
  *flagp = WORST;
  char* ret = Node(OP_ALT);
  char* chain = nullptr;
  while (*parse_ != '\0' && *parse_ != ')' && *parse_ != '\n' && *parse_ != '|') {
    int flags = 0;
    char* latest = Piece(&flags);
    if (latest == nullptr) return nullptr;
    *flagp |= flags & HAS_WIDTH;
    if (chain == nullptr) {
      *flagp |= flags & STARTS_WITH_STAR;
    } else {
      Tail(chain, latest);
    }
    chain = latest;
  }
  if (chain == nullptr) Node(OP_EMPTY);
  return ret;
}

// An atom with an optional "*", "+" or "?".
char* RegexpClass::Piece(int* flagp) {
  int flags = 0;
  char* ret = Atom(&flags);
  if (ret == nullptr) return nullptr;

  char op = *parse_;
  if (!IsRepeat(op)) {
    *flagp = flags;
    return ret;
  }
  if (!(flags & HAS_WIDTH) && op != '?') {
    Fail("*+ operand could be empty");
    return nullptr;
  }
  *flagp = op != '+' ? (WORST | STARTS_WITH_STAR) : (WORST | HAS_WIDTH);

  if (op == '*' && (flags & SIMPLE)) {
    Insert(OP_STAR, ret);
  } else if (op == '*') {
    // x* as (x<loop back>|<empty>)
    Insert(OP_ALT, ret);
    OpTail(ret, Node(OP_LOOP_BACK));
    OpTail(ret, ret);
    Tail(ret, Node(OP_ALT));
    Tail(ret, Node(OP_EMPTY));
  } else if (op == '+' && (flags & SIMPLE)) {
    Insert(OP_PLUS, ret);
  } else if (op == '+') {
    // x+ as x(<loop back>|<empty>)
    char* next = Node(OP_ALT);
    Tail(ret, next);
    Tail(Node(OP_LOOP_BACK), ret);
    Tail(next, Node(OP_ALT));
    Tail(ret, Node(OP_EMPTY));
  } else {
    // x? as (x|<empty>)
    Insert(OP_ALT, ret);
    Tail(ret, Node(OP_ALT));
    char* next = Node(OP_EMPTY);
    Tail(ret, next);
    OpTail(ret, next);
  }
  ++parse_;
  if (IsRepeat(*parse_)) {
    Fail("nested *?+");
    return nullptr;
  }
  return ret;
}

char* RegexpClass::Atom(int* flagp) {
  *flagp = WORST;
  char* ret = nullptr;
  switch (*parse_) {
    case '^':
      ++parse_;
      ret = Node(OP_LINE_START);
      break;
    case '$':
      ++parse_;
      ret = Node(OP_LINE_END);
      break;
    case '.':
      ++parse_;
      ret = Node(OP_ANY_CHAR);
      *flagp |= HAS_WIDTH | SIMPLE;
      break;
    case '[':
      ++parse_;
      ret = Set();
      if (ret == nullptr) return nullptr;
      *flagp |= HAS_WIDTH | SIMPLE;
      break;
    case '(': {
      ++parse_;
      int flags = 0;
      ret = Reg(true, &flags);
      if (ret == nullptr) return nullptr;
      *flagp |= flags & (HAS_WIDTH | STARTS_WITH_STAR);
      break;
    }
    case '\0':
    case '|':
    case '\n':
    case ')':
      Fail("internal urp");  // the branch stops before these
      return nullptr;
    case '?':
    case '+':
    case '*':
      Fail("?+* follows nothing");
      return nullptr;
    case '\\':
      if (parse_[1] == '\0') {
        Fail("trailing \\");
        return nullptr;
      }
      if (parse_[1] == '<' || parse_[1] == '>') {
        ret = Node(parse_[1] == '<' ? OP_WORD_START : OP_WORD_END);
        parse_ += 2;
        break;
      }
      ++parse_;  // the quoted character starts a literal run
      ret = LiteralRun(flagp);
      break;
    default:
      ret = LiteralRun(flagp);
      break;
  }
  return ret;
}

// The inside of "[...]", after the "[".
char* RegexpClass::Set() {
  char* ret;
  if (*parse_ == '^') {
    ret = Node(OP_NONE_OF);
    ++parse_;
  } else {
    ret = Node(OP_ANY_OF);
  }
  if (*parse_ == ']' || *parse_ == '-') Emit(*parse_++);
  while (*parse_ != '\0' && *parse_ != ']') {
    if (*parse_ != '-') {
      Emit(*parse_++);
      continue;
    }
    ++parse_;
    if (*parse_ == ']' || *parse_ == '\0') {
      Emit('-');
      continue;
    }
    // The range start is already in the set; add the bytes after it.
    int from = static_cast<unsigned char>(parse_[-2]) + 1;
    int to = static_cast<unsigned char>(parse_[0]);
    if (from > to + 1) {
      Fail("invalid [] range");
      return nullptr;
    }
    for (; from <= to; ++from) Emit(from);
    ++parse_;
  }
  Emit('\0');
  if (*parse_ != ']') {
    Fail("unmatched []");
    return nullptr;
  }
  ++parse_;
  return ret;
}

// Ordinary characters matched as one string. When a repetition follows a run of several
// characters, the run hands its last character back so that the operator applies to it alone.
char* RegexpClass::LiteralRun(int* flagp) {
  char* ret = Node(OP_LITERAL);
  const char* backup = nullptr;  // start of the run's last character, once it has two
  for (;;) {
    char ch = *parse_++;
    char next = *parse_;
    if (IsRepeat(next)) {
      if (backup != nullptr) {
        parse_ = backup;
      } else {
        Emit(ch);
      }
      break;
    }
    Emit(ch);
    if (next == '\0' || std::strchr(".[()|\n$^", next) != nullptr) break;
    if (next == '\\') {
      char quoted = parse_[1];
      if (quoted == '\0' || quoted == '<' || quoted == '>') break;
      backup = parse_;
      ++parse_;
      continue;
    }
    backup = parse_;
  }
  Emit('\0');
  *flagp |= HAS_WIDTH;
  if (backup == nullptr) *flagp |= SIMPLE;
  return ret;
}

// Emitting. In the measuring pass code_ points at dummy_ and only size_ grows; in the emitting
// pass nothing is written past code_end_: running out marks the compile as failed instead.

char* RegexpClass::Node(int op) {
  char* ret = code_;
  if (ret == &dummy_) {
    size_ += kNodeHeader;
    return ret;
  }
  if (code_end_ - code_ < kNodeHeader) {
    overflow_ = true;
    code_ = &dummy_;
    return code_;
  }
  ret[0] = static_cast<char>(op);
  ret[1] = 0;
  ret[2] = 0;
  code_ = ret + kNodeHeader;
  return ret;
}

void RegexpClass::Emit(int byte) {
  if (code_ == &dummy_) {
    ++size_;
  } else if (code_ < code_end_) {
    *code_++ = static_cast<char>(byte);
  } else {
    overflow_ = true;
    code_ = &dummy_;
  }
}

// Puts a node in front of `operand`, moving the operand (the last thing emitted) up.
void RegexpClass::Insert(int op, char* operand) {
  if (code_ == &dummy_) {
    size_ += kNodeHeader;
    return;
  }
  if (code_end_ - code_ < kNodeHeader) {
    overflow_ = true;
    code_ = &dummy_;
    return;
  }
  std::memmove(operand + kNodeHeader, operand, static_cast<size_t>(code_ - operand));
  code_ += kNodeHeader;
  operand[0] = static_cast<char>(op);
  operand[1] = 0;
  operand[2] = 0;
}

// Sets the next offset of the last node of the chain that starts at `node`.
void RegexpClass::Tail(char* node, const char* target) {
  if (node == &dummy_ || overflow_) return;
  char* scan = node;
  for (char* next = NextNode(scan); next != nullptr; next = NextNode(scan)) scan = next;
  long offset = Op(scan) == OP_LOOP_BACK ? scan - target : target - scan;
  scan[1] = static_cast<char>((offset >> 8) & 0xFF);
  scan[2] = static_cast<char>(offset & 0xFF);
}

// Tail on the operand of an OP_ALT; nothing for any other node.
void RegexpClass::OpTail(char* node, const char* target) {
  if (node == nullptr || node == &dummy_ || overflow_ || Op(node) != OP_ALT) return;
  Tail(node + kNodeHeader, target);
}

// --- Matching ----------------------------------------------------------------------------------

void RegexpClass::ClearSubs() {
  for (int i = 0; i < NSUBEXP; ++i) {
    startp_[i] = nullptr;
    endp_[i] = nullptr;
  }
}

int RegexpClass::Match(const char* text) {
  if (program_ == nullptr || text == nullptr) {
    Fail("NULL parameter");
    return 0;
  }
  if (static_cast<unsigned char>(program_->Nodes()[0]) != kMagic) {
    Fail("corrupted program");
    return 0;
  }
  // A failed match must not leave the positions of an earlier one behind: they may point
  // into a text that is gone by the time regsub reads them.
  ClearSubs();

  if (program_->must != nullptr && std::strstr(text, program_->must) == nullptr) return 0;

  bol_ = text;
  steps_left_ = kMaxSteps;
  const int found = Search(text);
  if (!found && steps_left_ < 0) {
    ClearSubs();
    Fail("match too complex");
  }
  return found;
}

int RegexpClass::Search(const char* text) {
  if (program_->anchored) return Try(text);
  if (program_->first != '\0') {
    for (const char* s = std::strchr(text, program_->first); s != nullptr;
         s = std::strchr(s + 1, program_->first)) {
      if (Try(s)) return 1;
    }
    return 0;
  }
  const char* s = text;
  do {
    if (Try(s)) return 1;
  } while (*s++ != '\0');
  return 0;
}

int RegexpClass::NextMatch() {
  if (program_ == nullptr || endp_[0] == nullptr) {
    Fail("Error in NextMatch");
    return 0;
  }
  const char* from = endp_[0];
  // An empty match would be found again at the same place; step over one character so that a
  // loop over all matches always ends.
  if (startp_[0] == from) {
    if (*from == '\0') {
      ClearSubs();
      return 0;
    }
    ++from;
  }
  return Match(from);
}

int RegexpClass::Try(const char* at) {
  input_ = at;
  ClearSubs();
  if (!Run(program_->Nodes() + 1)) return 0;
  startp_[0] = at;
  endp_[0] = input_;
  return 1;
}

// Walks the node program from `node`; true when the rest of the program matched. Each branch,
// group and repetition recurses, so the depth is bounded as well as the steps: a long text
// must not run the stack out.
bool RegexpClass::Run(const char* node) {
  if (--steps_left_ < 0 || depth_ >= kMaxDepth) {
    steps_left_ = -1;  // every later attempt fails at once too
    return false;
  }
  ++depth_;
  const bool matched = Walk(node);
  --depth_;
  return matched;
}

bool RegexpClass::Walk(const char* node) {
  for (const char* scan = node; scan != nullptr;) {
    const char* next = Next(scan);
    int op = Op(scan);
    switch (op) {
      case OP_LINE_START:
        if (input_ != bol_) return false;
        break;
      case OP_LINE_END:
        if (*input_ != '\0') return false;
        break;
      case OP_WORD_START:
        if (!IsWordChar(*input_)) return false;
        if (input_ > bol_ && IsWordChar(input_[-1])) return false;
        break;
      case OP_WORD_END:
        if (IsWordChar(*input_)) return false;
        break;
      case OP_ANY_CHAR:
        if (*input_ == '\0') return false;
        ++input_;
        break;
      case OP_LITERAL: {
        const char* operand = Operand(scan);
        if (*operand != *input_) return false;
        size_t length = std::strlen(operand);
        if (length > 1 && std::strncmp(operand, input_, length) != 0) return false;
        input_ += length;
        break;
      }
      case OP_ANY_OF:
        if (*input_ == '\0' || std::strchr(Operand(scan), *input_) == nullptr) return false;
        ++input_;
        break;
      case OP_NONE_OF:
        if (*input_ == '\0' || std::strchr(Operand(scan), *input_) != nullptr) return false;
        ++input_;
        break;
      case OP_EMPTY:
      case OP_LOOP_BACK:
        break;
      case OP_ALT:
        if (next == nullptr || Op(next) != OP_ALT) {
          next = Operand(scan);  // no choice here: go on without recursing
        } else {
          do {
            const char* save = input_;
            if (Run(Operand(scan))) return true;
            input_ = save;
            scan = Next(scan);
          } while (scan != nullptr && Op(scan) == OP_ALT);
          return false;
        }
        break;
      case OP_STAR:
      case OP_PLUS: {
        // Take as many as possible, then give back one at a time. When a literal follows, only
        // counts after which its first character comes are worth a try.
        char nextch = (next != nullptr && Op(next) == OP_LITERAL) ? *Operand(next) : '\0';
        long min = op == OP_STAR ? 0 : 1;
        const char* save = input_;
        long count = Repeat(Operand(scan));
        if (count < 0) return false;
        while (count >= min) {
          if ((nextch == '\0' || *input_ == nextch) && Run(next)) return true;
          --count;
          input_ = save + count;
        }
        return false;
      }
      case OP_END:
        return true;
      default:
        if (op > OP_OPEN && op < OP_OPEN + NSUBEXP) {
          // The rest decides; the innermost (last) repetition of a group sets it first.
          const char* save = input_;
          if (!Run(next)) return false;
          if (startp_[op - OP_OPEN] == nullptr) startp_[op - OP_OPEN] = save;
          return true;
        }
        if (op > OP_CLOSE && op < OP_CLOSE + NSUBEXP) {
          const char* save = input_;
          if (!Run(next)) return false;
          if (endp_[op - OP_CLOSE] == nullptr) endp_[op - OP_CLOSE] = save;
          return true;
        }
        Fail("memory corruption");
        return false;
    }
    scan = next;
  }
  Fail("corrupted pointers");
  return false;
}

// How many characters in a row the simple node matches from input_; moves input_ past them.
// -1 when the node is not a simple one.
long RegexpClass::Repeat(const char* node) {
  const char* scan = input_;
  const char* operand = Operand(node);
  switch (Op(node)) {
    case OP_ANY_CHAR:
      scan += std::strlen(scan);
      break;
    case OP_LITERAL:
      while (*scan != '\0' && *scan == *operand) ++scan;
      break;
    case OP_ANY_OF:
      while (*scan != '\0' && std::strchr(operand, *scan) != nullptr) ++scan;
      break;
    case OP_NONE_OF:
      while (*scan != '\0' && std::strchr(operand, *scan) == nullptr) ++scan;
      break;
    default:
      Fail("internal foulup");
      return -1;
  }
  long count = scan - input_;
  input_ = scan;
  return count;
}

// --- Substitution ------------------------------------------------------------------------------

int RegexpClass::regsub(const char* source, char* dest, size_t dest_size, int limit) {
  if (program_ == nullptr || source == nullptr || dest == nullptr || dest_size == 0) {
    Fail("NULL parm to regsub");
    return 0;
  }
  if (static_cast<unsigned char>(program_->Nodes()[0]) != kMagic) {
    Fail("damaged regexp fed to regsub");
    return 0;
  }
  char* dst = dest;
  char* const last = dest + dest_size - 1;  // kept for the terminating NUL
  const char* src = source;
  for (char c = *src++; c != '\0'; c = *src++) {
    int no = -1;
    if (c == '&') {
      no = 0;
    } else if (c == '\\' && *src >= '0' && *src <= '9') {
      no = *src++ - '0';
    }
    if (no < 0) {
      if (c == '\\' && (*src == '\\' || *src == '&')) c = *src++;
      if (dst < last) *dst++ = c;
      continue;
    }
    const char* from = startp_[no];
    const char* to = endp_[no];
    if (from == nullptr || to == nullptr || to < from) continue;
    size_t length = static_cast<size_t>(to - from);
    if (limit >= 0 && length > static_cast<size_t>(limit)) length = static_cast<size_t>(limit);
    // The matched text may have been changed since; never read past a NUL in it.
    size_t present = strnlen(from, length);
    size_t room = static_cast<size_t>(last - dst);
    size_t copy = present < room ? present : room;
    std::memcpy(dst, from, copy);
    dst += copy;
    if (present < length) {
      *dst = '\0';
      Fail("damaged match string");
      return 0;
    }
  }
  *dst = '\0';
  return 1;
}

const char* RegexpClass::SubStart(int n) const {
  if (program_ == nullptr || n < 0 || n >= NSUBEXP) return nullptr;
  return startp_[n];
}

const char* RegexpClass::SubEnd(int n) const {
  if (program_ == nullptr || n < 0 || n >= NSUBEXP) return nullptr;
  return endp_[n];
}
