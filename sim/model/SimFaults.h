// Faults of the machine's USB side that tests and operators can inject. The model only keeps
// them; the packet server acts on them.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace qsim {

enum class LinkFault {
  kUnplugBeforeReply,  // the command is read, then the connection closes without a reply
  kUnplugMidReply,     // the connection closes after the reply's HEADER
  kLateReply,          // the reply goes out `late_ms` after the command
  kWrongTransmission,  // the reply's HEADER names the previous transmission number
  kSequenceGap,        // the DATA packets skip a sequence number
  kLengthMismatch,     // the HEADER's reply length does not fit its packet count
  kUnexpectedType,     // a packet of a type outside the protocol stands where the HEADER belongs
};

// "unplug-before", "unplug-mid", "late", "wrong-tn", "seq-gap", "length", "type".
std::optional<LinkFault> ParseLinkFault(std::string_view name);
const char* LinkFaultName(LinkFault fault);

struct LinkFaults {
  std::deque<LinkFault> pending;  // one fault for each of the next replies, oldest first
  uint32_t late_ms = 1500;        // beyond the program's 1,000 ms wait for the first packet
  uint32_t replug_ms = 1000;      // an unplugging fault plugs in again after this long
  int log_every = 0;              // a stray LOG packet with every n-th reply (0: never)
  int userstatus_every = 0;       // a stray USERSTATUS packet with every n-th reply (0: never)
  bool plugged = true;            // false: stay away from the program until plugged in again

  std::optional<LinkFault> Take() {
    if (pending.empty()) {
      return std::nullopt;
    }
    const LinkFault fault = pending.front();
    pending.pop_front();
    return fault;
  }
};

}  // namespace qsim
