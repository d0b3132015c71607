#include "MachineStatus.h"

#include <cstdlib>
#include <vector>

#include "regexpclass.h"

namespace machine_status {

namespace {

struct StatusEntry {
  int code;
  const char* text;
};

// The operator texts exactly as the machine's documentation words them.
constexpr StatusEntry kStatusTexts[] = {
    {kBusy, "busy"},
    {kFeedError, "error feeding card"},
    {kUnexpectedJoker, "unexpected joker"},
    {kMissingJoker, "missing joker)"},
    {kCardReadTwice, "two or more identical card detected"},
    {kInvalidBarcode, "invalid barcode"},
    {kBadCommunication, "illigal communication with machine"},
    {kJam, "jam"},
    {kCardboxMissing, "cardbox not inserted"},
    {kYes, "YES"},
    {kNo, "NO"},
    {kExchangeFailed, "internal USB error"},
    {kNoMachine, "No device or device disconneted"},
};

constexpr const char* kReplyPattern = "^([0-9][0-9])[ \t]+(.*)";

}  // namespace

const char* StatusText(int code) {
  for (const StatusEntry& entry : kStatusTexts) {
    if (entry.code == code) {
      return entry.text;
    }
  }
  return nullptr;
}

bool IsSplitAcknowledgement(int code, const char* reply) {
  return code == kExchangeFailed && reply != nullptr && reply[0] == '\0';
}

bool ParseReply(const char* reply, ParsedReply& out) {
  if (reply == nullptr) {
    return false;
  }
  RegexpClass pattern(kReplyPattern);
  if (!pattern.Match(reply)) {
    return false;
  }
  // Both parts are shorter than the reply, so buffers of its size hold them.
  const size_t size = std::char_traits<char>::length(reply) + 1;
  std::vector<char> text(size, '\0');
  std::vector<char> code(size, '\0');
  pattern.regsub("\\2", text.data(), text.size(), -1);
  pattern.regsub("\\1", code.data(), code.size(), -1);
  out.code = static_cast<int>(std::strtol(code.data(), nullptr, 10));
  out.text = text.data();
  return true;
}

}  // namespace machine_status
