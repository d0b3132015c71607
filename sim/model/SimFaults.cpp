#include "SimFaults.h"

namespace qsim {
namespace {

struct FaultName {
  LinkFault fault;
  const char* name;
};

constexpr FaultName kFaultNames[] = {
    {LinkFault::kUnplugBeforeReply, "unplug-before"},
    {LinkFault::kUnplugMidReply, "unplug-mid"},
    {LinkFault::kLateReply, "late"},
    {LinkFault::kWrongTransmission, "wrong-tn"},
    {LinkFault::kSequenceGap, "seq-gap"},
    {LinkFault::kLengthMismatch, "length"},
    {LinkFault::kUnexpectedType, "type"},
};

}  // namespace

std::optional<LinkFault> ParseLinkFault(std::string_view name) {
  for (const FaultName& entry : kFaultNames) {
    if (name == entry.name) {
      return entry.fault;
    }
  }
  return std::nullopt;
}

const char* LinkFaultName(LinkFault fault) {
  for (const FaultName& entry : kFaultNames) {
    if (entry.fault == fault) {
      return entry.name;
    }
  }
  return "?";
}

}  // namespace qsim
