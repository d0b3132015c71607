// What a page may ask of whoever hosts it: four operations, whose contract is stated here and
// nowhere else. Pages hold a MachineHost and nothing else of their host, so a page test can hand
// them a scripted host instead of a machine.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "MachineStatus.h"

class MachineHost {
 public:
  // The status codes the command call adds to the machine's own.
  static constexpr int kExchangeFailed = machine_status::kExchangeFailed;
  static constexpr int kNoMachine = machine_status::kNoMachine;
  // The reply buffer the pages pass to SendMachineCommand.
  static constexpr size_t kReplySize = 280;

  virtual ~MachineHost() = default;

  // Sends one command line and returns the reply's two-digit status code, or kExchangeFailed /
  // kNoMachine. On return `reply` (of `size` bytes, zero-terminated) holds:
  //  - a parsed reply: the text after the code and its blanks
  //  - kExchangeFailed for an exchange that succeeded with the machine's bare status packet (how
  //    the split commands are acknowledged): the empty text, and only then
  //  - kExchangeFailed for a failed exchange, or kNoMachine: a text that is never empty ("Test
  //    return", or the raw reply that could not be parsed)
  virtual int SendMachineCommand(const char* command, char* reply, size_t size) = 0;
  // Replaces `text` with the operator's words for `code` when the code has any; otherwise
  // leaves it as it is.
  virtual void StatusCodeText(int code, std::string& text) = 0;
  // Shows the text on the program status line.
  virtual void SetStatusText(const char* text) = 0;
  // Busy disables every menu button; not busy enables them as the machine's presence allows.
  virtual void SetMenuBusy(bool busy) = 0;
};

// The command call as the job models take it: one command line in, the status code out, the
// reply text in `reply`. Reads into a buffer of the size every page passes.
inline std::function<int(const char*, std::string&)> CommandCallOf(MachineHost* host) {
  return [host](const char* command, std::string& reply) {
    char text[MachineHost::kReplySize] = {};
    const int code = host->SendMachineCommand(command, text, sizeof text);
    reply = text;
    return code;
  };
}
