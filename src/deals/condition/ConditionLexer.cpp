#include "ConditionLexer.h"

#include <cstring>

namespace {

bool IsWordCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Longest first, so that "<=" is not read as "<" and "=".
constexpr const char* kOperators[] = {"&&", "||", "==", "!=", "<=", ">=", "<", ">", "+", "-",
                                      "*",  "/",  "%",  "(",  ")",  ",",  "?", ":", "=", "!"};

class Lexer {
 public:
  explicit Lexer(const std::string& text) : text_(text) {}

  bool Run(std::vector<Token>& tokens, ScriptError& error) {
    while (SkipSpaceAndComments(error)) {
      if (at_ >= text_.size()) {
        tokens.push_back(Start(TokenKind::kEnd));
        return true;
      }
      Token token = Start(TokenKind::kOperator);
      const char c = text_[at_];
      if (IsWordCharacter(c)) {
        token.kind = IsDigit(c) ? TokenKind::kNumber : TokenKind::kName;
        while (at_ < text_.size() && IsWordCharacter(text_[at_])) {
          if (token.kind == TokenKind::kNumber && !IsDigit(text_[at_])) {
            token.kind = TokenKind::kMixed;
          }
          token.text += text_[at_];
          Advance();
        }
      } else if (c == '"') {
        Advance();
        while (at_ < text_.size() && text_[at_] != '"' && text_[at_] != '\n') {
          token.text += text_[at_];
          Advance();
        }
        if (at_ >= text_.size() || text_[at_] != '"') {
          return Fail(token, "the text in quotes has no closing quote", error);
        }
        Advance();
        token.kind = TokenKind::kString;
      } else if (!Operator(token)) {
        return Fail(token, std::string("unexpected character '") + c + "'", error);
      }
      tokens.push_back(token);
    }
    return false;
  }

 private:
  Token Start(TokenKind kind) const {
    Token token;
    token.kind = kind;
    token.line = line_;
    token.column = column_;
    return token;
  }
  void Advance() {
    if (text_[at_] == '\n') {
      ++line_;
      column_ = 1;
    } else {
      ++column_;
    }
    ++at_;
  }
  bool LooksAt(const char* what) const { return text_.compare(at_, std::strlen(what), what) == 0; }

  bool Operator(Token& token) {
    for (const char* op : kOperators) {
      if (LooksAt(op)) {
        token.text = op;
        for (size_t i = 0; i < token.text.size(); ++i) Advance();
        return true;
      }
    }
    return false;
  }

  // False only for a comment that never ends.
  bool SkipSpaceAndComments(ScriptError& error) {
    while (at_ < text_.size()) {
      const char c = text_[at_];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
        Advance();
      } else if (c == '#' || LooksAt("//")) {
        while (at_ < text_.size() && text_[at_] != '\n') Advance();
      } else if (LooksAt("/*")) {
        const Token start = Start(TokenKind::kEnd);
        Advance();
        Advance();
        while (at_ < text_.size() && !LooksAt("*/")) Advance();
        if (at_ >= text_.size()) return Fail(start, "the comment has no closing */", error);
        Advance();
        Advance();
      } else {
        break;
      }
    }
    return true;
  }

  static bool Fail(const Token& where, std::string message, ScriptError& error) {
    error = {where.line, where.column, std::move(message)};
    return false;
  }

  const std::string& text_;
  size_t at_ = 0;
  int line_ = 1;
  int column_ = 1;
};

}  // namespace

bool LexConditionScript(const std::string& text, std::vector<Token>& tokens, ScriptError& error) {
  tokens.clear();
  return Lexer(text).Run(tokens, error);
}
