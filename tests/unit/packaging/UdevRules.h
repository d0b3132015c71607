// Just enough of udev's rule language to ask what a rule file does to a device: the keys our
// rules use, matched and applied the way udev does, and nothing else (anything more is an error,
// so a rule that grows a key nobody checked cannot pass unnoticed).
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace udev_rules {

struct Token {
  std::string key;   // "SUBSYSTEM", "ENV", "ATTRS", ...
  std::string attr;  // the part in braces, if any
  std::string op;    // "==", "!=", "=", "+=", ":=", "-="
  std::string value;
};

using Rule = std::vector<Token>;

struct RuleFile {
  std::vector<Rule> rules;
  std::string error;  // empty when every line parsed; else "line N: what"
};

RuleFile Parse(const std::string& text);

// A device as the rules see it: its own sysfs attributes (ATTR), those of its ancestors too
// (ATTRS), and its properties (ENV, with DEVTYPE among them).
struct Device {
  std::string action = "add";
  std::string subsystem;
  std::map<std::string, std::string> env;
  std::map<std::string, std::string> attrs;
  std::map<std::string, std::string> parent_attrs;
};

struct Outcome {
  std::set<std::string> tags;
  std::map<std::string, std::string> env;
  std::string error;  // a key the evaluator does not know, or a missing label
};

Outcome Apply(const RuleFile& file, Device device);

// udev's pattern match: shell globs, alternatives separated by '|'.
bool MatchPattern(const std::string& pattern, const std::string& text);

}  // namespace udev_rules
