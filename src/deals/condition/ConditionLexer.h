// The words, numbers, strings and operators of a condition script, with their places.
//
// A word is a run of letters, digits and underscores. It is a number when all digits, a name
// when it starts with a letter or an underscore, and a "mixed" word otherwise (shape patterns
// such as 54xx, cards such as 5C): the parser gives each its meaning where it stands.
// Comments: '#' and '//' to the end of the line, '/* ... */' anywhere.
#pragma once

#include <string>
#include <vector>

#include "ScriptError.h"

enum class TokenKind { kName, kNumber, kMixed, kString, kOperator, kEnd };

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string text;  // a string's text without its quotes
  int line = 1;
  int column = 1;

  bool Is(const char* op) const { return kind == TokenKind::kOperator && text == op; }
  bool IsName(const char* name) const { return kind == TokenKind::kName && text == name; }
};

// The tokens of `text`, ending in one kEnd. False with `error` set at the first character that
// starts no token, or an unterminated string or comment.
bool LexConditionScript(const std::string& text, std::vector<Token>& tokens, ScriptError& error);
