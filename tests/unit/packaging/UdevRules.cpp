#include "UdevRules.h"

#include <fnmatch.h>

#include <cctype>
#include <sstream>

namespace udev_rules {
namespace {

bool IsKeyChar(char c) {
  return std::isupper(static_cast<unsigned char>(c)) || c == '_';
}

// One KEY{attr}OP"value" at `pos`; false with a reason on anything else.
bool ParseToken(const std::string& line, size_t& pos, Token* token, std::string* why) {
  const size_t start = pos;
  while (pos < line.size() && IsKeyChar(line[pos])) ++pos;
  token->key = line.substr(start, pos - start);
  if (token->key.empty()) {
    *why = "expected a key at column " + std::to_string(start + 1);
    return false;
  }
  if (pos < line.size() && line[pos] == '{') {
    const size_t close = line.find('}', pos);
    if (close == std::string::npos) {
      *why = "unclosed '{'";
      return false;
    }
    token->attr = line.substr(pos + 1, close - pos - 1);
    pos = close + 1;
  }
  static const char* const kOps[] = {"==", "!=", "+=", "-=", ":=", "="};
  token->op.clear();
  for (const char* op : kOps) {
    if (line.compare(pos, std::string(op).size(), op) == 0) {
      token->op = op;
      break;
    }
  }
  if (token->op.empty()) {
    *why = "expected an operator after " + token->key;
    return false;
  }
  pos += token->op.size();
  if (pos >= line.size() || line[pos] != '"') {
    *why = "expected a quoted value after " + token->key + token->op;
    return false;
  }
  const size_t close = line.find('"', pos + 1);
  if (close == std::string::npos) {
    *why = "unclosed quote";
    return false;
  }
  token->value = line.substr(pos + 1, close - pos - 1);
  pos = close + 1;
  return true;
}

void SkipBlanks(const std::string& line, size_t& pos) {
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
}

bool Matches(const Token& token, const Device& device,
             const std::map<std::string, std::string>& env, bool* known) {
  *known = true;
  auto lookup = [](const std::map<std::string, std::string>& map, const std::string& name,
                   std::string* value) {
    auto it = map.find(name);
    if (it == map.end()) return false;
    *value = it->second;
    return true;
  };
  std::string value;
  bool present = true;
  if (token.key == "ACTION") {
    value = device.action;
  } else if (token.key == "SUBSYSTEM") {
    value = device.subsystem;
  } else if (token.key == "ENV") {
    present = lookup(env, token.attr, &value);
  } else if (token.key == "ATTR") {
    present = lookup(device.attrs, token.attr, &value);
  } else if (token.key == "ATTRS") {
    present =
        lookup(device.attrs, token.attr, &value) || lookup(device.parent_attrs, token.attr, &value);
  } else {
    *known = false;
    return false;
  }
  // udev compares a missing value as the empty string.
  if (!present) value.clear();
  const bool match = MatchPattern(token.value, value);
  return token.op == "==" ? match : !match;
}

}  // namespace

bool MatchPattern(const std::string& pattern, const std::string& text) {
  std::stringstream alternatives(pattern);
  std::string one;
  while (std::getline(alternatives, one, '|')) {
    if (fnmatch(one.c_str(), text.c_str(), 0) == 0) return true;
  }
  return pattern.empty() && text.empty();
}

RuleFile Parse(const std::string& text) {
  RuleFile file;
  std::stringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    size_t pos = 0;
    SkipBlanks(line, pos);
    if (pos == line.size() || line[pos] == '#') continue;
    Rule rule;
    while (true) {
      Token token;
      std::string why;
      if (!ParseToken(line, pos, &token, &why)) {
        file.error = "line " + std::to_string(number) + ": " + why;
        return file;
      }
      rule.push_back(token);
      SkipBlanks(line, pos);
      if (pos == line.size()) break;
      if (line[pos] != ',') {
        file.error = "line " + std::to_string(number) + ": expected ',' at column " +
                     std::to_string(pos + 1);
        return file;
      }
      ++pos;
      SkipBlanks(line, pos);
    }
    file.rules.push_back(rule);
  }
  return file;
}

Outcome Apply(const RuleFile& file, Device device) {
  Outcome outcome;
  outcome.env = device.env;
  std::string skip_to;  // a GOTO's label while jumping
  for (const Rule& rule : file.rules) {
    if (!skip_to.empty()) {
      if (rule.size() == 1 && rule[0].key == "LABEL" && rule[0].value == skip_to) skip_to.clear();
      continue;
    }
    bool all_match = true;
    for (const Token& token : rule) {
      if (token.op != "==" && token.op != "!=") continue;
      bool known = false;
      if (!Matches(token, device, outcome.env, &known)) {
        if (!known) {
          outcome.error = "unknown match key " + token.key;
          return outcome;
        }
        all_match = false;
        break;
      }
    }
    if (!all_match) continue;
    for (const Token& token : rule) {
      if (token.op == "==" || token.op == "!=") continue;
      if (token.key == "ENV" && token.op == "=") {
        outcome.env[token.attr] = token.value;
      } else if (token.key == "TAG" && token.op == "+=") {
        outcome.tags.insert(token.value);
      } else if (token.key == "GOTO" && token.op == "=") {
        skip_to = token.value;
      } else if (token.key == "LABEL" && token.op == "=") {
        // a jump target; nothing to do when reached in order
      } else {
        outcome.error = "unknown assignment " + token.key + token.op;
        return outcome;
      }
    }
  }
  if (!skip_to.empty()) outcome.error = "GOTO to a missing LABEL " + skip_to;
  return outcome;
}

}  // namespace udev_rules
